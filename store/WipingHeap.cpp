// Every block the program frees is wiped first. Qt, the C++ library and SQLite copy the names,
// types and contents that the windows show into memory of their own, and freed memory keeps
// what it held until it is used again: after a lock nothing of them may be left in the process.
// glibc's own allocator does the rest; it calls free through the symbol this file defines.
// Left out under AddressSanitizer, which brings an allocator of its own.
#if !defined(__SANITIZE_ADDRESS__)

#include <malloc.h>
#include <string.h>

#include <cstddef>

extern "C" {

void* __libc_malloc(std::size_t size);
void __libc_free(void* block);

void free(void* block) noexcept {
  if (block) explicit_bzero(block, malloc_usable_size(block));
  __libc_free(block);
}

// glibc's realloc would free a block it moves without this file seeing it.
void* realloc(void* block, std::size_t size) noexcept {
  if (!block) return __libc_malloc(size);
  if (size == 0) {
    free(block);
    return nullptr;
  }
  const std::size_t has = malloc_usable_size(block);
  if (size <= has && size >= has / 2) return block;
  void* moved = __libc_malloc(size);
  if (!moved) return nullptr;
  memcpy(moved, block, size < has ? size : has);
  free(block);
  return moved;
}

}  // extern "C"

#endif
