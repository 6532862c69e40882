#pragma once

#include <cstddef>
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
  std::string_view view() const { return {reinterpret_cast<const char*>(data_), size_}; }
  bool operator==(const Secret& other) const;
  static Secret random(std::size_t size);

 private:
  unsigned char* data_;
  std::size_t size_;
};

// Wipes what the functions the caller called before left on the stack below it: a key's
// derivation, the texts a window painted.
void wipeStackBelow();

// libsodium, started once; throws when it cannot start.
void requireSodium();

}  // namespace store
