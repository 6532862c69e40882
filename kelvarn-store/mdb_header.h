#pragma once

#include <cstddef>
#include <string>

namespace legacy {

// What the first page of an Access file says about it.
struct AccessHeader {
  int version = 0;  // 0 Jet 3 (Access 97), 1 Jet 4 (2000-2003), 2 and up ACE (.accdb, 2007-)
  std::size_t fileSize = 0;
  bool jet3() const { return version == 0; }
  std::size_t pageSize() const { return jet3() ? 2048 : 4096; }
};

// Checks the signature, version and size of path before libmdb sees it: libmdb opens many
// files that are no Access files at all. Throws ImportError.
AccessHeader readAccessHeader(const std::string& path);

}  // namespace legacy
