#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "mdb_libmdb.h"

namespace legacy {

// The bytes of a memo value whose 12-byte field in the row is `field`: kept in the row
// itself, in one long-value row, or in a chain of them across pages. Every pointer is
// checked, so a damaged file throws ImportError instead of being trusted; `limit` bounds
// the length a value may claim (the file's size). Uses the handle's spare page buffer only.
std::string memoBytes(MdbHandle* mdb, std::string_view field, std::size_t limit,
                      const std::string& path);

}  // namespace legacy
