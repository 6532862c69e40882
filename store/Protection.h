#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace store {

class Connection;
class StoreError;

// A passphrase or a key, kept in memory of its own (not swapped out, guarded) and wiped when
// it goes.
class Secret {
 public:
  explicit Secret(std::string_view bytes);
  ~Secret();
  Secret(Secret&& other) noexcept;
  Secret& operator=(Secret&&) = delete;
  Secret(const Secret&) = delete;
  unsigned char* data() { return data_; }
  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool operator==(const Secret& other) const;

 private:
  unsigned char* data_;
  std::size_t size_;
};

// How hard deriving a key from a passphrase is (Argon2id): about half a second here. A key table
// asking for less would make guessing cheap, one asking for more than the cap would keep the
// user waiting for minutes or exhaust memory: either is refused as damaged.
struct KdfLimits {
  unsigned long long ops;
  std::size_t memory;
};
inline constexpr KdfLimits kKdfLimits{3, std::size_t{192} << 20};
inline constexpr KdfLimits kKdfLimitsCap{16, std::size_t{1} << 30};

// The longest passphrase, in bytes of UTF-8, wherever one is typed or read.
inline constexpr std::size_t kMaxPassphraseBytes = 1024;
// Why a passphrase cannot be taken (a text of Texts.h), or null. A new one must also hold more
// than spaces; one to unlock with is tried as typed.
const char* passphraseProblem(std::string_view utf8, bool isNew);

// The key that encrypts the contents of one protected store (XChaCha20-Poly1305, a fresh
// random nonce per write). A content is bound to its account by its creation time and name,
// which VACUUM keeps; a rename writes the content anew.
class Vault {
 public:
  explicit Vault(Secret key) : key_(std::move(key)) {}
  std::string encrypt(std::string_view content, std::string_view created,
                      std::string_view name) const;
  // Empty when the bytes are not a content of this account sealed with this key.
  std::optional<std::string> decrypt(std::string_view sealed, std::string_view created,
                                     std::string_view name) const;
  const Secret& key() const { return key_; }

 private:
  Secret key_;
};

// The table that holds the key of a protected store, wrapped by the passphrase's key.
inline constexpr char kKeyTable[] = "账号密钥";

// Reads the wrapped key of the open store's protection; null when the passphrase is wrong. A key
// table that is not exactly one row of sane values, or that unwraps to a key of the wrong size,
// throws StoreError before or instead of any long key derivation.
std::shared_ptr<const Vault> unlock(Connection& cn, const Secret& passphrase);

// Conversions of a whole store, each one transaction followed by VACUUM, so that no content
// is left in free pages in its former form. unprotect and changePassphrase need the store
// unlocked on `cn`. A new passphrase comes with a new key, so that an old key table and the
// old passphrase open nothing written afterwards.
void protect(Connection& cn, const Secret& passphrase);
void unprotect(Connection& cn);
void changePassphrase(Connection& cn, const Secret& passphrase);

// Whether a stored value has the form of a sealed one. A store without a key table holding one
// was damaged, or its key table removed: such a value is never shown.
bool looksSealed(std::string_view stored, bool isBlob);
// Throws that error when a store that is not protected holds a sealed content.
void requireNothingSealed(const Connection& cn);

// The errors for a content that does not decrypt, and for sealed data in a store without key.
StoreError contentDamaged(const Connection& cn, std::string_view name);
StoreError sealedWithoutKey(const Connection& cn);

}  // namespace store
