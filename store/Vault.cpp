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

// XChaCha20-Poly1305 under an account's nonce with its last byte changed by the field's number,
// worked out as libsodium does it (HChaCha20 over the nonce's first 16 bytes, then
// ChaCha20-Poly1305 with its last 8), the first step once for all the fields of the account.
class AccountKey {
 public:
  AccountKey(const Secret& key, const unsigned char* accountNonce) {
    crypto_core_hchacha20(subkey_, accountNonce, key.data(), nullptr);
    std::memcpy(nonce_ + 4, accountNonce + 16, 8);
  }
  ~AccountKey() { sodium_memzero(subkey_, sizeof subkey_); }
  AccountKey(const AccountKey&) = delete;
  AccountKey& operator=(const AccountKey&) = delete;

  void seal(unsigned char* out, std::string_view plain, std::size_t i) {
    crypto_aead_chacha20poly1305_ietf_encrypt(out, nullptr, bytes(plain), plain.size(),
                                              bytes(kFieldLabels[i]), kFieldLabels[i].size(),
                                              nullptr, nonce(i), subkey_);
  }
  bool open(unsigned char* out, std::string_view cipher, std::size_t i) {
    return crypto_aead_chacha20poly1305_ietf_decrypt(
               out, nullptr, nullptr, bytes(cipher), cipher.size(), bytes(kFieldLabels[i]),
               kFieldLabels[i].size(), nonce(i), subkey_) == 0;
  }

 private:
  const unsigned char* nonce(std::size_t i) {
    fieldNonce_ = {};
    std::memcpy(fieldNonce_.data(), nonce_, sizeof nonce_);
    fieldNonce_.back() ^= static_cast<unsigned char>(i);
    return fieldNonce_.data();
  }
  unsigned char subkey_[crypto_core_hchacha20_OUTPUTBYTES];
  unsigned char nonce_[crypto_aead_chacha20poly1305_IETF_NPUBBYTES] = {};
  std::array<unsigned char, crypto_aead_chacha20poly1305_IETF_NPUBBYTES> fieldNonce_;
};

// Field `i` of an account sealed whole, opened into `room` (as many bytes as `sealed`).
Vault::Opened openSealedField(AccountKey& key, std::size_t i, std::string_view sealed, char* room) {
  const std::size_t head = kSealedField.size() + (i == 0 ? kNonceSize : 0);
  if (sealed.size() < head + kTagSize + 1 || !sealed.starts_with(kSealedField)) return {};
  const std::string_view cipher = sealed.substr(head);
  auto* plain = reinterpret_cast<unsigned char*>(room);
  if (!key.open(plain, cipher, i)) return {};
  const std::size_t size = cipher.size() - kTagSize;
  if (plain[0] == 0 && size == 1) return {true, true, {}};
  if (plain[0] != 1) return {};
  return {true, false, {room + 1, size - 1}};
}

bool hasAccountNonce(std::string_view sealedName) {
  return sealedName.size() >= kSealedField.size() + kNonceSize &&
         sealedName.starts_with(kSealedField);
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
  AccountKey key(key_, accountNonce);
  std::array<std::string, 5> sealed;
  for (std::size_t i = 0; i < row.size(); ++i) {
    std::string plain(1, row[i] ? '\1' : '\0');
    if (row[i]) plain += *row[i];
    const std::size_t head = kSealedField.size() + (i == 0 ? kNonceSize : 0);
    sealed[i].assign(head + plain.size() + kTagSize, '\0');
    kSealedField.copy(sealed[i].data(), kSealedField.size());
    if (i == 0) std::memcpy(bytes(sealed[i]) + kSealedField.size(), accountNonce, kNonceSize);
    key.seal(bytes(sealed[i]) + head, plain, i);
    sodium_memzero(plain.data(), plain.size());
  }
  return sealed;
}

std::optional<Field> Vault::openField(std::string_view sealedName, std::size_t i,
                                      std::string_view sealed) const {
  if (!hasAccountNonce(sealedName) || i >= std::size(kFieldLabels)) return std::nullopt;
  AccountKey key(key_, bytes(sealedName) + kSealedField.size());
  std::string room(sealed.size(), '\0');
  const Opened opened = openSealedField(key, i, sealed, room.data());
  if (!opened.ok) return std::nullopt;
  if (opened.null) return Field();
  return Field(std::string(opened.value));
}

std::array<Vault::Opened, 2> Vault::openNameAndType(std::string_view sealedName,
                                                    std::string_view sealedType, char* nameRoom,
                                                    char* typeRoom) const {
  if (!hasAccountNonce(sealedName)) return {};
  AccountKey key(key_, bytes(sealedName) + kSealedField.size());
  return {openSealedField(key, 0, sealedName, nameRoom),
          openSealedField(key, 1, sealedType, typeRoom)};
}

bool hasSealedMarker(std::string_view stored) {
  return stored.starts_with(kSealed) || stored.starts_with(kSealedField);
}

}  // namespace store
