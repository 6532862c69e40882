#pragma once

// A store protected by a passphrase: its key table, the conversions of a whole store, and the
// rules for passphrases and for sealed data where none belongs.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Vault.h"

namespace store {

class Connection;
class StoreError;

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

// The form of the open store, told by its key table: none in a plain store; one with the
// column 格式 in a store sealed whole; one without it in a store whose contents alone are sealed.
Form formOf(const Connection& cn);
// The key table's bytes as stored (empty for a plain store): two stores with the same are
// unlocked by the same passphrase to the same key.
std::string keyTableBytes(const Connection& cn);

// Reads the wrapped key of the open store's protection; null when the passphrase is wrong. A key
// table that is not exactly one row of sane values throws StoreError before any derivation.
// Nothing derived from the passphrase outlives the call. `whileDeriving` is called once the key
// table is read, before the key is derived (which takes half a second).
std::shared_ptr<const Vault> unlock(Connection& cn, const Secret& passphrase,
                                    const std::function<void()>& whileDeriving = {});

// Conversions of a whole store, each one transaction followed by VACUUM, so that nothing is left
// in free pages in its former form. protect seals every field of a plain store; unprotect makes
// a protected store plain again, exactly as it was; changePassphrase seals the store whole under
// a new key, so that an old key table and the old passphrase open nothing written afterwards
// (with the same passphrase it upgrades a store whose contents alone are sealed). unprotect and
// changePassphrase need the store unlocked on `cn`.
void protect(Connection& cn, const Secret& passphrase);
void unprotect(Connection& cn);
void changePassphrase(Connection& cn, const Secret& passphrase);

// Throws sealedWithoutKey when a store that is not protected holds a sealed value: its key
// table was removed or the file damaged, and such a value is never shown.
void requireNothingSealed(const Connection& cn);

// The errors for an account that does not open (named when its name opens), and for sealed data
// in a store without key table.
StoreError contentDamaged(const Connection& cn, std::string_view name);
StoreError rowDamaged(const Connection& cn);
StoreError sealedWithoutKey(const Connection& cn);

}  // namespace store
