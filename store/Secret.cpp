#include "Secret.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace store {

void requireSodium() {
  static const bool ready = sodium_init() >= 0;
  if (!ready) throw std::runtime_error("libsodium could not start");
}

[[gnu::noinline]] void wipeStackBelow() {
  unsigned char area[256 << 10];
  sodium_memzero(area, sizeof area);
}

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

}  // namespace store
