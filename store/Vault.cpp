#include "Vault.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

#include "Utf8.h"

namespace store {
namespace {

// A value sealed alone (a wrapped key, a content of the Contents form): the marker, the nonce,
// the cipher text and the tag.
constexpr std::string_view kSealed = "KV1";
// A field of an account sealed whole: the marker, the nonce (in the name only), the cipher
// text of a null flag and the value, and the tag.
constexpr std::string_view kSealedField = "KV2";
constexpr std::string_view kMarkerStart = "KV";  // common to both
constexpr std::size_t kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
static_assert(kKeySize == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
// The associated data of a wrapped key, so that no sealed value can stand for another kind.
constexpr std::string_view kKeyLabel = "账号密钥";

unsigned char* bytes(std::string& s) {
  return reinterpret_cast<unsigned char*>(s.data());
}
const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::size_t sealedSize(std::size_t plainSize) {
  return kSealed.size() + kNonceSize + plainSize + kTagSize;
}

// XChaCha20-Poly1305 with a fresh random nonce: `plain` sealed with `key`, bound to `associated`.
std::string sealAlone(const Secret& key, std::string_view plain, std::string_view associated) {
  std::string out(sealedSize(plain.size()), '\0');
  kSealed.copy(out.data(), kSealed.size());
  unsigned char* nonce = bytes(out) + kSealed.size();
  randombytes_buf(nonce, kNonceSize);
  crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kNonceSize, nullptr, bytes(plain),
                                             plain.size(), bytes(associated), associated.size(),
                                             nullptr, nonce, key.data());
  return out;
}

// The cipher text of a value sealed alone, with its tag; empty when it has not that form.
std::string_view cipherOf(std::string_view sealed) {
  if (sealed.size() < sealedSize(0) || !sealed.starts_with(kSealed)) return {};
  return sealed.substr(kSealed.size() + kNonceSize);
}

// Opened into `out` (as many bytes as the cipher text has, or the cipher text itself); false when
// it does not open.
bool openInto(const Secret& key, std::string_view sealed, std::string_view associated,
              unsigned char* out) {
  const std::string_view cipher = cipherOf(sealed);
  return !cipher.empty() &&
         crypto_aead_xchacha20poly1305_ietf_decrypt(
             out, nullptr, nullptr, bytes(cipher), cipher.size(), bytes(associated),
             associated.size(), bytes(sealed) + kSealed.size(), key.data()) == 0;
}

bool openAlone(const Secret& key, std::string_view sealed, std::string_view associated,
               std::string& plain) {
  plain.resize(std::max(cipherOf(sealed).size(), kTagSize) - kTagSize);
  return openInto(key, sealed, associated, bytes(plain));
}

// What binds a content of the Contents form to its account.
std::string contentLabel(std::string_view created, std::string_view name) {
  std::string data(created);
  data += '\0';
  return data += name;
}

// XChaCha20-Poly1305 under an account's nonce with its last byte changed by the field's number,
// worked out as libsodium does it (HChaCha20 over the nonce's first 16 bytes, then
// ChaCha20-Poly1305 with its last 8), the first step once for all the fields of the account.
// Each field is bound to its name in kFields.
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
    const std::string_view label = kFields[i];
    crypto_aead_chacha20poly1305_ietf_encrypt(out, nullptr, bytes(plain), plain.size(),
                                              bytes(label), label.size(), nullptr, nonce(i),
                                              subkey_);
  }
  bool open(unsigned char* out, std::string_view cipher, std::size_t i) {
    const std::string_view label = kFields[i];
    return crypto_aead_chacha20poly1305_ietf_decrypt(out, nullptr, nullptr, bytes(cipher),
                                                     cipher.size(), bytes(label), label.size(),
                                                     nonce(i), subkey_) == 0;
  }

 private:
  const unsigned char* nonce(std::size_t i) {
    std::memcpy(fieldNonce_, nonce_, sizeof nonce_);
    fieldNonce_[sizeof fieldNonce_ - 1] ^= static_cast<unsigned char>(i);
    return fieldNonce_;
  }
  unsigned char subkey_[crypto_core_hchacha20_OUTPUTBYTES];
  unsigned char nonce_[crypto_aead_chacha20poly1305_IETF_NPUBBYTES] = {};
  unsigned char fieldNonce_[crypto_aead_chacha20poly1305_IETF_NPUBBYTES] = {};
};

std::size_t fieldHead(std::size_t i) {
  return kSealedField.size() + (i == kNameAt ? kNonceSize : 0);
}

// The account nonce a sealed name carries, or null.
const unsigned char* accountNonce(const StoredField& name) {
  return name.blob && name.bytes.size() >= fieldHead(kNameAt) &&
                 name.bytes.starts_with(kSealedField)
             ? bytes(name.bytes) + kSealedField.size()
             : nullptr;
}

// Field `i` of an account sealed whole, opened into `room` (as many bytes as stored).
Opened openSealedField(AccountKey& key, std::size_t i, const StoredField& field, char* room) {
  const std::string_view sealed = field.bytes;
  const std::size_t head = fieldHead(i);
  if (!field.blob || sealed.size() < head + kTagSize + 1 || !sealed.starts_with(kSealedField))
    return {};
  const std::string_view cipher = sealed.substr(head);
  auto* plain = reinterpret_cast<unsigned char*>(room);
  if (!key.open(plain, cipher, i)) return {};
  const std::size_t size = cipher.size() - kTagSize;
  if (plain[0] == 0 && size == 1) return {true, true, {}};
  if (plain[0] != 1) return {};
  return {true, false, {room + 1, size - 1}};
}

RowToStore sealWhole(const Secret& dataKey, const Account& account) {
  unsigned char nonce[kNonceSize];
  randombytes_buf(nonce, kNonceSize);
  AccountKey key(dataKey, nonce);
  RowToStore sealed;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    std::string plain(1, account[i] ? '\1' : '\0');  // a null is sealed as a flag
    if (account[i]) plain += *account[i];
    const std::size_t head = fieldHead(i);
    std::string& out = sealed[i].bytes;
    out.assign(head + plain.size() + kTagSize, '\0');
    kSealedField.copy(out.data(), kSealedField.size());
    if (i == kNameAt) std::memcpy(bytes(out) + kSealedField.size(), nonce, kNonceSize);
    key.seal(bytes(out) + head, plain, i);
    sodium_memzero(plain.data(), plain.size());
    sealed[i].blob = true;
  }
  return sealed;
}

}  // namespace

bool looksSealed(const StoredField& field) {
  return field.blob ||
         (field.bytes.starts_with(kMarkerStart) &&
          (field.bytes.starts_with(kSealed) || field.bytes.starts_with(kSealedField)) &&
          !isUtf8(field.bytes));
}

std::string_view sealedPrefix() {
  return kMarkerStart;
}

std::string wrapKey(const Secret& wrapping, const Secret& dataKey) {
  return sealAlone(wrapping, dataKey.view(), kKeyLabel);
}

std::optional<Secret> unwrapKey(const Secret& wrapping, std::string_view wrapped) {
  if (wrapped.size() != wrappedKeySize()) return std::nullopt;  // a key of another size
  std::string plain;
  const bool opened = openAlone(wrapping, wrapped, kKeyLabel, plain);
  std::optional<Secret> key;
  if (opened) key.emplace(plain);
  sodium_memzero(plain.data(), plain.size());
  return key;
}

std::size_t wrappedKeySize() {
  return sealedSize(kKeySize);
}

std::string_view tagOf(const StoredField& field) {
  if (!field.blob || !field.bytes.starts_with(kSealedField) ||
      field.bytes.size() < kSealedField.size() + kTagSize)
    return {};
  return field.bytes.substr(field.bytes.size() - kTagSize);
}

RowToStore Vault::seal(Form form, const Account& account) const {
  if (form == Form::Whole) return sealWhole(key_, account);
  RowToStore out;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    out[i].null = !account[i];
    if (account[i]) out[i].bytes = *account[i];
  }
  if (account[kContentAt]) {
    out[kContentAt].bytes =
        sealAlone(key_, *account[kContentAt],
                  contentLabel(account[kCreatedAt].value_or(""), account[kNameAt].value_or("")));
    out[kContentAt].blob = true;
  }
  return out;
}

std::optional<Value> Vault::open(Form form, const StoredRow& row, std::size_t i) const {
  if (form == Form::Whole) {
    std::array<bool, kFieldCount> wanted{};
    wanted[i] = true;
    std::string room(row[i].bytes.size(), '\0');
    Rooms rooms{};
    rooms[i] = room.data();
    const Opened opened = openWhole(row, wanted, rooms)[i];
    if (!opened.ok) return std::nullopt;
    return opened.null ? Value() : Value(std::string(opened.value));
  }
  const StoredField& field = row[i];
  if (field.null) return Value();
  if (i != kContentAt) {
    if (looksSealed(field)) return std::nullopt;
    return Value(std::string(field.bytes));
  }
  const StoredField &name = row[kNameAt], &created = row[kCreatedAt];
  std::string content;
  if (!field.blob || name.blob || created.blob ||
      !openAlone(key_, field.bytes, contentLabel(created.bytes, name.bytes), content))
    return std::nullopt;
  return Value(std::move(content));
}

std::string Vault::sealValue(std::string_view plain, std::string_view label) const {
  return sealAlone(key_, plain, label);
}

std::optional<std::string_view> Vault::openValue(std::span<char> sealed,
                                                 std::string_view label) const {
  const std::string_view view(sealed.data(), sealed.size());
  const std::string_view cipher = cipherOf(view);
  if (cipher.empty()) return std::nullopt;
  auto* at = reinterpret_cast<unsigned char*>(sealed.data() + (cipher.data() - view.data()));
  if (!openInto(key_, view, label, at)) return std::nullopt;
  return cipher.substr(0, cipher.size() - kTagSize);
}

std::array<Opened, kFieldCount> Vault::openWhole(const StoredRow& row,
                                                 const std::array<bool, kFieldCount>& wanted,
                                                 const Rooms& rooms) const {
  std::array<Opened, kFieldCount> out{};
  const unsigned char* nonce = accountNonce(row[kNameAt]);
  if (!nonce) return out;
  AccountKey key(key_, nonce);
  for (std::size_t i = 0; i < kFieldCount; ++i)
    if (wanted[i]) out[i] = openSealedField(key, i, row[i], rooms[i]);
  return out;
}

}  // namespace store
