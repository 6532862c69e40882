#include "Vault.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace store {
namespace {

// A value sealed alone: the marker, the nonce, the cipher text and the tag.
constexpr std::string_view kSealed = "KV1";
// A field of an account sealed whole: the marker, the nonce (in the name only), the cipher
// text of a null flag and the value, and the tag.
constexpr std::string_view kSealedField = "KV2";
constexpr std::size_t kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
static_assert(kKeySize == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
// The fields' numbers bound to their sealed values; the wrapped key is bound to a label of its
// own, so no sealed value can stand for another kind.
constexpr std::string_view kFieldLabels[] = {"账号名称", "账号类型", "账号内容", "创建时间",
                                             "最后修改"};

void requireSodium() {
  static const bool ready = sodium_init() >= 0;
  if (!ready) throw std::runtime_error("libsodium could not start");
}

unsigned char* bytes(std::string& s) {
  return reinterpret_cast<unsigned char*>(s.data());
}
const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

void encrypt(unsigned char* out, std::string_view plain, std::string_view associated,
             const unsigned char* nonce, const Secret& key) {
  crypto_aead_xchacha20poly1305_ietf_encrypt(out, nullptr, bytes(plain), plain.size(),
                                             bytes(associated), associated.size(), nullptr, nonce,
                                             key.data());
}

bool decrypt(std::string& plain, std::string_view cipher, std::string_view associated,
             const unsigned char* nonce, const Secret& key) {
  if (cipher.size() < kTagSize) return false;
  plain.resize(cipher.size() - kTagSize);
  return crypto_aead_xchacha20poly1305_ietf_decrypt(bytes(plain), nullptr, nullptr, bytes(cipher),
                                                    cipher.size(), bytes(associated),
                                                    associated.size(), nonce, key.data()) == 0;
}

std::string accountData(std::string_view created, std::string_view name) {
  std::string data(created);
  data += '\0';
  return data += name;
}

// The nonce of field `i` of an account: the account's own, its last byte changed by i.
std::array<unsigned char, kNonceSize> fieldNonce(const unsigned char* accountNonce, std::size_t i) {
  std::array<unsigned char, kNonceSize> nonce;
  std::memcpy(nonce.data(), accountNonce, kNonceSize);
  nonce.back() ^= static_cast<unsigned char>(i);
  return nonce;
}

}  // namespace

Secret::Secret(std::string_view bytes) : size_(bytes.size()) {
  requireSodium();
  data_ = static_cast<unsigned char*>(sodium_malloc(std::max<std::size_t>(size_, 1)));
  if (!data_) throw std::bad_alloc();
  if (size_ > 0) std::memcpy(data_, bytes.data(), size_);
}
Secret::~Secret() {
  sodium_free(data_);  // wipes it
}
Secret::Secret(Secret&& other) noexcept : data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}
bool Secret::operator==(const Secret& other) const {
  return size_ == other.size_ && sodium_memcmp(data_, other.data_, size_) == 0;
}
Secret Secret::random(std::size_t size) {
  Secret secret(std::string(size, '\0'));
  randombytes_buf(secret.data(), size);
  return secret;
}

std::size_t sealedSize(std::size_t plainSize) {
  return kSealed.size() + kNonceSize + plainSize + kTagSize;
}

std::string sealWith(const Secret& key, std::string_view plain, std::string_view associated) {
  std::string out(sealedSize(plain.size()), '\0');
  kSealed.copy(out.data(), kSealed.size());
  unsigned char* nonce = bytes(out) + kSealed.size();
  randombytes_buf(nonce, kNonceSize);
  encrypt(nonce + kNonceSize, plain, associated, nonce, key);
  return out;
}

std::optional<std::string> openWith(const Secret& key, std::string_view sealed,
                                    std::string_view associated) {
  if (sealed.size() < sealedSize(0) || !sealed.starts_with(kSealed)) return std::nullopt;
  std::string plain;
  if (!decrypt(plain, sealed.substr(kSealed.size() + kNonceSize), associated,
               bytes(sealed) + kSealed.size(), key))
    return std::nullopt;
  return plain;
}

std::string Vault::sealContent(std::string_view content, std::string_view created,
                               std::string_view name) const {
  return sealWith(key_, content, accountData(created, name));
}

std::optional<std::string> Vault::openContent(std::string_view sealed, std::string_view created,
                                              std::string_view name) const {
  return openWith(key_, sealed, accountData(created, name));
}

std::array<std::string, 5> Vault::sealRow(
    const std::array<std::optional<std::string_view>, 5>& row) const {
  unsigned char accountNonce[kNonceSize];
  randombytes_buf(accountNonce, kNonceSize);
  std::array<std::string, 5> sealed;
  for (std::size_t i = 0; i < row.size(); ++i) {
    std::string plain(1, row[i] ? '\1' : '\0');
    if (row[i]) plain += *row[i];
    const std::size_t head = kSealedField.size() + (i == 0 ? kNonceSize : 0);
    sealed[i].assign(head + plain.size() + kTagSize, '\0');
    kSealedField.copy(sealed[i].data(), kSealedField.size());
    if (i == 0) std::memcpy(bytes(sealed[i]) + kSealedField.size(), accountNonce, kNonceSize);
    encrypt(bytes(sealed[i]) + head, plain, kFieldLabels[i], fieldNonce(accountNonce, i).data(),
            key_);
    sodium_memzero(plain.data(), plain.size());
  }
  return sealed;
}

std::optional<Field> Vault::openField(std::string_view sealedName, std::size_t i,
                                      std::string_view sealed) const {
  const std::size_t head = kSealedField.size() + (i == 0 ? kNonceSize : 0);
  if (sealedName.size() < kSealedField.size() + kNonceSize ||
      !sealedName.starts_with(kSealedField) || sealed.size() < head ||
      !sealed.starts_with(kSealedField) || i >= std::size(kFieldLabels))
    return std::nullopt;
  std::string plain;
  const auto nonce = fieldNonce(bytes(sealedName) + kSealedField.size(), i);
  if (!decrypt(plain, sealed.substr(head), kFieldLabels[i], nonce.data(), key_) || plain.empty() ||
      plain[0] > '\1' || (plain[0] == '\0' && plain.size() > 1))
    return std::nullopt;
  if (plain[0] == '\0') return Field();
  return Field(plain.substr(1));
}

bool hasSealedMarker(std::string_view stored) {
  return stored.starts_with(kSealed) || stored.starts_with(kSealedField);
}

}  // namespace store
