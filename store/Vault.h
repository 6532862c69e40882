#pragma once

// The sealed form of a protected store's accounts and of its wrapped key: every byte of it is
// known here and nowhere else.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Account.h"
#include "Secret.h"

namespace store {

// How a store keeps its accounts: in plain text, with only the contents sealed (as protected by
// earlier releases), or with every field of every account sealed.
enum class Form { Plain, Contents, Whole };

inline constexpr std::size_t kKeySize = 32;

// Whether a stored value has the form of a sealed one. Sealed values are BLOBs; one turned into
// text still starts with a marker and, being random bytes, is no valid UTF-8, which no plain
// text written by Kelvarn can be.
bool looksSealed(const StoredField& field);
// What every sealed value starts with, for SQL that picks the candidates of looksSealed.
std::string_view sealedPrefix();

// The data key wrapped by a key derived from the passphrase, and unwrapped again (nullopt when
// `wrapping` is not the key it was wrapped with).
std::string wrapKey(const Secret& wrapping, const Secret& dataKey);
std::optional<Secret> unwrapKey(const Secret& wrapping, std::string_view wrapped);
std::size_t wrappedKeySize();

// The authentication tag of a field of an account sealed whole: sealing any value anew gives
// another one. Empty for what is not such a field.
std::string_view tagOf(const StoredField& field);

// A field opened out of its sealed form: its value lies in the room it was opened into.
struct Opened {
  bool ok = false;
  bool null = false;
  std::string_view value;
};

// The key of one protected store, and how it seals and opens accounts.
class Vault {
 public:
  explicit Vault(Secret key) : key_(std::move(key)) {}
  const Secret& key() const { return key_; }

  // An account made ready to be stored in `form` (Contents or Whole).
  // Whole: the five fields under one fresh random nonce, which the sealed name carries; each
  // field sealed under that nonce and its own number, bound to its field's name, so that none
  // can be moved to another account or to another field without failing to open. Every write
  // of an account seals all five anew.
  // Contents (stores protected before names were): the content alone, bound to its account by
  // the creation time and the name (a rename writes the content anew); the rest plain.
  RowToStore seal(Form form, const Account& account) const;

  // Field `i` of a stored account in `form`; nullopt when it is not what `form` and this key
  // make of an account (it does not open, or a sealed value lies where plain text belongs).
  std::optional<Value> open(Form form, const StoredRow& row, std::size_t i) const;

  // The `wanted` fields of an account sealed whole, opened at once into rooms of as many bytes
  // as they have stored: walks need several fields of every account.
  using Rooms = std::array<char*, kFieldCount>;
  std::array<Opened, kFieldCount> openWhole(const StoredRow& row,
                                            const std::array<bool, kFieldCount>& wanted,
                                            const Rooms& rooms) const;

  // A value of the store's own, not of an account, sealed alone under the key and bound to
  // `label`; opened again where it lies, its bytes becoming the plain text that the view shows
  // (nullopt when it does not open with both).
  std::string sealValue(std::string_view plain, std::string_view label) const;
  std::optional<std::string_view> openValue(std::span<char> sealed, std::string_view label) const;

 private:
  Secret key_;
};

}  // namespace store
