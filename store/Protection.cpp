#include "Protection.h"

#include <sodium.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "Connection.h"
#include "Sql.h"
#include "StoreError.h"
#include "Texts.h"
#include "Utf8.h"

namespace store {
namespace {

constexpr std::string_view kSealed = "KV1";  // a sealed value: this, the nonce, ciphertext and tag
constexpr std::size_t kKeySize = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr std::size_t kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr std::size_t kSaltSize = crypto_pwhash_SALTBYTES;
constexpr std::string_view kKeyLabel = "账号密钥";  // the associated data of the wrapped key

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

std::string_view column(sqlite3_stmt* statement, int i) {
  return {static_cast<const char*>(sqlite3_column_blob(statement, i)),
          static_cast<std::size_t>(sqlite3_column_bytes(statement, i))};
}

std::string seal(const Secret& key, std::string_view plain, std::string_view associated) {
  std::string out(kSealed.size() + kNonceSize + plain.size() + kTagSize, '\0');
  kSealed.copy(out.data(), kSealed.size());
  unsigned char* nonce = bytes(out) + kSealed.size();
  randombytes_buf(nonce, kNonceSize);
  crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kNonceSize, nullptr, bytes(plain),
                                             plain.size(), bytes(associated), associated.size(),
                                             nullptr, nonce, key.data());
  return out;
}

std::optional<std::string> open(const Secret& key, std::string_view sealed,
                                std::string_view associated) {
  if (sealed.size() < kSealed.size() + kNonceSize + kTagSize || !sealed.starts_with(kSealed))
    return std::nullopt;
  const unsigned char* nonce = bytes(sealed) + kSealed.size();
  std::string plain(sealed.size() - kSealed.size() - kNonceSize - kTagSize, '\0');
  if (crypto_aead_xchacha20poly1305_ietf_decrypt(bytes(plain), nullptr, nullptr, nonce + kNonceSize,
                                                 sealed.size() - kSealed.size() - kNonceSize,
                                                 bytes(associated), associated.size(), nonce,
                                                 key.data()) != 0)
    return std::nullopt;
  return plain;
}

std::string accountData(std::string_view created, std::string_view name) {
  std::string data(created);
  data += '\0';
  return data += name;
}

StoreError keyDamaged(const Connection& cn) {
  return StoreError(errnum::kKeyDamaged, fillText(texts::kStoreKeyDamaged, cn.path()));
}

Secret derive(const Secret& passphrase, std::string_view salt, KdfLimits limits) {
  Secret key(std::string(kKeySize, '\0'));
  if (crypto_pwhash(key.data(), kKeySize, reinterpret_cast<const char*>(passphrase.data()),
                    passphrase.size(), bytes(salt), limits.ops, limits.memory,
                    crypto_pwhash_ALG_ARGON2ID13) != 0)
    throw std::bad_alloc();  // the only way it fails with limits in the window below
  return key;
}

Secret randomKey() {
  std::string raw(kKeySize, '\0');
  randombytes_buf(bytes(raw), raw.size());
  Secret key(raw);
  sodium_memzero(raw.data(), raw.size());
  return key;
}

// Stores the data key wrapped by the passphrase's key, with the salt and limits to derive it.
void writeKey(Connection& cn, const Secret& dataKey, const Secret& passphrase) {
  std::string salt(kSaltSize, '\0');
  randombytes_buf(bytes(salt), salt.size());
  const std::string wrapped = seal(
      derive(passphrase, salt, kKdfLimits),
      std::string_view(reinterpret_cast<const char*>(dataKey.data()), dataKey.size()), kKeyLabel);
  exec(cn, std::string("DELETE FROM ") + kKeyTable);
  const Statement insert = prepare(
      cn, std::string("INSERT INTO ") + kKeyTable + "(盐,运算次数,内存,密钥) VALUES(?,?,?,?)");
  sqlite3_bind_blob(insert.get(), 1, salt.data(), static_cast<int>(salt.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(insert.get(), 2, static_cast<sqlite3_int64>(kKdfLimits.ops));
  sqlite3_bind_int64(insert.get(), 3, static_cast<sqlite3_int64>(kKdfLimits.memory));
  sqlite3_bind_blob(insert.get(), 4, wrapped.data(), static_cast<int>(wrapped.size()),
                    SQLITE_TRANSIENT);
  cn.check(sqlite3_step(insert.get()));
}

// What the key table holds, each value checked before anything is derived from it: a doctored
// table must neither crash, nor hang, nor pass for a wrong passphrase.
struct KeyRow {
  std::string salt;
  KdfLimits limits;
  std::string wrapped;
};

KeyRow readKey(const Connection& cn) {
  Statement statement;
  try {
    statement =
        prepare(cn, std::string("SELECT 盐,运算次数,内存,密钥 FROM ") + kKeyTable + " LIMIT 2");
  } catch (const StoreError&) {
    throw keyDamaged(cn);  // a column missing or renamed
  }
  sqlite3_stmt* row = statement.get();
  if (sqlite3_step(row) != SQLITE_ROW) throw keyDamaged(cn);
  const auto integer = [row](int i) {  // anything else is refused by the window below
    return sqlite3_column_type(row, i) == SQLITE_INTEGER ? sqlite3_column_int64(row, i) : 0;
  };
  KeyRow key{std::string(column(row, 0)),
             {static_cast<unsigned long long>(integer(1)), static_cast<std::size_t>(integer(2))},
             std::string(column(row, 3))};
  // A wrapped key of any other size would unwrap to a key of the wrong size.
  const bool sane = sqlite3_column_type(row, 0) == SQLITE_BLOB && key.salt.size() == kSaltSize &&
                    key.limits.ops >= kKdfLimits.ops && key.limits.ops <= kKdfLimitsCap.ops &&
                    key.limits.memory >= kKdfLimits.memory &&
                    key.limits.memory <= kKdfLimitsCap.memory &&
                    key.wrapped.size() == kSealed.size() + kNonceSize + kKeySize + kTagSize &&
                    sqlite3_step(row) == SQLITE_DONE;  // exactly one row
  if (!sane) throw keyDamaged(cn);
  return key;
}

// Runs `change` in one transaction, then VACUUM, so that nothing is left in free pages in its
// former form.
template <typename Change>
void convert(Connection& cn, Change&& change) {
  inTransaction(cn, [&] {
    change();
    return true;
  });
  exec(cn, "VACUUM");
}

// Rewrites every content with `convert`(content, isBlob, created, name), sealed ones as BLOBs
// and plain ones as text.
template <typename Convert>
void rewriteContents(Connection& cn, bool sealed, Convert&& convert) {
  std::vector<std::pair<sqlite3_int64, std::string>> rows;
  const Statement read = prepare(
      cn, "SELECT rowid,账号内容,创建时间,账号名称 FROM 账号集合 WHERE 账号内容 IS NOT NULL");
  while (sqlite3_step(read.get()) == SQLITE_ROW)
    rows.emplace_back(
        sqlite3_column_int64(read.get(), 0),
        convert(column(read.get(), 1), sqlite3_column_type(read.get(), 1) == SQLITE_BLOB,
                column(read.get(), 2), column(read.get(), 3)));
  const Statement write = prepare(cn, "UPDATE 账号集合 SET 账号内容=?1 WHERE rowid=?2");
  for (const auto& [rowid, content] : rows) {
    if (sealed)
      sqlite3_bind_blob64(write.get(), 1, content.data(), content.size(), SQLITE_STATIC);
    else
      sqlite3_bind_text64(write.get(), 1, content.data(), content.size(), SQLITE_STATIC,
                          SQLITE_UTF8);
    sqlite3_bind_int64(write.get(), 2, rowid);
    cn.check(sqlite3_step(write.get()));
    sqlite3_reset(write.get());
  }
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

std::string Vault::encrypt(std::string_view content, std::string_view created,
                           std::string_view name) const {
  return seal(key_, content, accountData(created, name));
}

std::optional<std::string> Vault::decrypt(std::string_view sealed, std::string_view created,
                                          std::string_view name) const {
  return open(key_, sealed, accountData(created, name));
}

std::shared_ptr<const Vault> unlock(Connection& cn, const Secret& passphrase) {
  const KeyRow key = readKey(cn);
  std::optional<std::string> dataKey =
      open(derive(passphrase, key.salt, key.limits), key.wrapped, kKeyLabel);
  if (!dataKey) return nullptr;
  auto vault = std::make_shared<const Vault>(Secret(*dataKey));
  sodium_memzero(dataKey->data(), dataKey->size());
  return vault;
}

void protect(Connection& cn, const Secret& passphrase) {
  if (cn.isProtected())
    throw StoreError(errnum::kProtection, fillText(texts::kStoreProtected, cn.path()));
  auto vault = std::make_shared<const Vault>(randomKey());
  convert(cn, [&] {
    rewriteContents(cn, true, [&](auto content, bool isBlob, auto created, auto name) {
      if (looksSealed(content, isBlob)) throw sealedWithoutKey(cn);
      return vault->encrypt(content, created, name);
    });
    exec(cn, std::string("CREATE TABLE ") + kKeyTable +
                 "(盐 BLOB NOT NULL, 运算次数 INTEGER NOT NULL, 内存 INTEGER NOT NULL, "
                 "密钥 BLOB NOT NULL)");
    writeKey(cn, vault->key(), passphrase);
  });
  cn.adopt(vault);
}

void unprotect(Connection& cn) {
  const Vault& vault = cn.vault();
  convert(cn, [&] {
    rewriteContents(cn, false, [&](auto content, bool, auto created, auto name) {
      std::optional<std::string> plain = vault.decrypt(content, created, name);
      if (!plain) throw contentDamaged(cn, name);
      return *plain;
    });
    exec(cn, std::string("DROP TABLE ") + kKeyTable);
  });
  cn.adopt(nullptr);
}

void changePassphrase(Connection& cn, const Secret& passphrase) {
  const Vault& old = cn.vault();
  auto fresh = std::make_shared<const Vault>(randomKey());
  convert(cn, [&] {
    rewriteContents(cn, true, [&](auto content, bool, auto created, auto name) {
      std::optional<std::string> plain = old.decrypt(content, created, name);
      if (!plain) throw contentDamaged(cn, name);
      std::string sealed = fresh->encrypt(*plain, created, name);
      sodium_memzero(plain->data(), plain->size());
      return sealed;
    });
    writeKey(cn, fresh->key(), passphrase);
  });
  cn.adopt(fresh);
}

const char* passphraseProblem(std::string_view utf8, bool isNew) {
  if (utf8.size() > kMaxPassphraseBytes) return texts::kPassphraseTooLong;
  std::string_view rest = utf8;
  for (bool trimmed = true; trimmed && isNew;) {
    trimmed = false;
    for (std::string_view space : {" ", "\t", "\u3000"}) {  // U+3000: the ideographic space
      if (rest.starts_with(space)) rest.remove_prefix(space.size()), trimmed = true;
    }
  }
  return rest.empty() ? texts::kPassphraseEmpty : nullptr;
}

// Sealed values are BLOBs; one turned into text still starts with the marker and, being random
// bytes, is no valid UTF-8, which no plain text written by Kelvarn can be.
bool looksSealed(std::string_view stored, bool isBlob) {
  return isBlob || (stored.starts_with(kSealed) && !isUtf8(stored));
}

void requireNothingSealed(const Connection& cn) {
  const Statement candidates = prepare(
      cn,
      "SELECT 账号内容, typeof(账号内容) = 'blob' FROM 账号集合 WHERE typeof(账号内容) = 'blob' "
      "OR substr(账号内容, 1, 3) = 'KV1'");
  while (sqlite3_step(candidates.get()) == SQLITE_ROW) {
    if (looksSealed(column(candidates.get(), 0), sqlite3_column_int(candidates.get(), 1)))
      throw sealedWithoutKey(cn);
  }
}

StoreError contentDamaged(const Connection& cn, std::string_view name) {
  return StoreError(errnum::kDamaged, fillText(texts::kStoreContentDamaged, cn.path(), name));
}

StoreError sealedWithoutKey(const Connection& cn) {
  return StoreError(errnum::kDamaged, fillText(texts::kStoreSealedWithoutKey, cn.path()));
}

}  // namespace store
