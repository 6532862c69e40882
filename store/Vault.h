#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace store {

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
  static Secret random(std::size_t size);

 private:
  unsigned char* data_;
  std::size_t size_;
};

// XChaCha20-Poly1305 with a fresh random nonce: `plain` sealed with `key`, bound to `associated`,
// and opened again (empty when the bytes were not sealed so).
std::string sealWith(const Secret& key, std::string_view plain, std::string_view associated);
std::optional<std::string> openWith(const Secret& key, std::string_view sealed,
                                    std::string_view associated);
// The size of a key, and of what sealWith makes of `plainSize` bytes.
inline constexpr std::size_t kKeySize = 32;
std::size_t sealedSize(std::size_t plainSize);

// One field of an account as the windows see it: text, or nullopt for a null field.
using Field = std::optional<std::string>;

// The key of one protected store, and how it seals an account's fields.
class Vault {
 public:
  explicit Vault(Secret key) : key_(std::move(key)) {}
  const Secret& key() const { return key_; }

  // Stores protected before names were: only the content is sealed, bound to its account by
  // the creation time and the name (a rename writes the content anew).
  std::string sealContent(std::string_view content, std::string_view created,
                          std::string_view name) const;
  std::optional<std::string> openContent(std::string_view sealed, std::string_view created,
                                         std::string_view name) const;

  // Stores sealed whole: the five fields of an account (in the order of kFields, null as
  // nullopt) under one fresh random nonce, which the sealed name carries. Each field is sealed
  // under that nonce and its own number, so that none can be moved to another account or to
  // another field without failing to open. Every write of an account seals all five anew.
  std::array<std::string, 5> sealRow(
      const std::array<std::optional<std::string_view>, 5>& row) const;
  // Field `i` of the account whose sealed name is `sealedName`; nullopt when `sealed` is not
  // that field of that account sealed with this key.
  std::optional<Field> openField(std::string_view sealedName, std::size_t i,
                                 std::string_view sealed) const;
  // A name and a type opened at once, into rooms of as many bytes as they have sealed: the
  // tree's walk needs both of every account.
  struct Opened {
    bool ok = false;
    bool null = false;
    std::string_view value;
  };
  std::array<Opened, 2> openNameAndType(std::string_view sealedName, std::string_view sealedType,
                                        char* nameRoom, char* typeRoom) const;

 private:
  Secret key_;
};

// Whether stored bytes have the form of a sealed value of either kind.
bool hasSealedMarker(std::string_view stored);

}  // namespace store
