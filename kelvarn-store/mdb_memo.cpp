#include "mdb_memo.h"

#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "StoreError.h"
#include "Texts.h"
#include "mdb_error.h"

namespace legacy {
namespace {

constexpr std::size_t kMemoFieldSize = 12;
constexpr std::uint32_t kLengthMask = 0x3FFFFFFF;
enum Storage : std::uint32_t { kChain = 0, kOneRow = 1, kInline = 2 };
constexpr unsigned char kDataPage = 0x01;
constexpr char kLongValueMark[] = "LVAL";

std::uint32_t le32(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24;
}

[[noreturn]] void damaged(const std::string& path) {
  throw ImportError(store::fillText(texts::kImportDamaged, path));
}

// One row of a long-value page; valid until the spare page buffer is read again.
std::string_view longValueRow(MdbHandle* mdb, std::uint32_t pageRow, const std::string& path) {
  void* page = nullptr;
  int offset = 0;
  size_t length = 0;
  if (mdb_find_pg_row(mdb, static_cast<int>(pageRow), &page, &offset, &length) != 0) damaged(path);
  const auto* bytes = static_cast<const unsigned char*>(page);
  const auto pageSize = static_cast<std::size_t>(mdb->fmt->pg_size);
  if (bytes[0] != kDataPage || std::memcmp(bytes + 4, kLongValueMark, 4) != 0 || offset < 0 ||
      static_cast<std::size_t>(offset) + length > pageSize)
    damaged(path);
  return {reinterpret_cast<const char*>(bytes) + offset, length};
}

}  // namespace

std::string memoBytes(MdbHandle* mdb, std::string_view field, std::size_t limit,
                      const std::string& path) {
  if (field.size() < kMemoFieldSize) damaged(path);
  const std::uint32_t head = le32(field.data());
  const std::size_t length = head & kLengthMask;
  const std::uint32_t firstRow = le32(field.data() + 4);
  if (length > limit) damaged(path);
  if (length == 0) return {};

  switch (head >> 30) {
    case kInline:
      if (field.size() - kMemoFieldSize < length) damaged(path);
      return std::string(field.substr(kMemoFieldSize, length));
    case kOneRow: {
      const std::string_view row = longValueRow(mdb, firstRow, path);
      if (row.size() < length) damaged(path);
      return std::string(row.substr(0, length));
    }
    case kChain: {
      std::string bytes;
      std::unordered_set<std::uint32_t> visited;
      for (std::uint32_t next = firstRow; bytes.size() < length;) {
        if (next == 0 || !visited.insert(next).second) damaged(path);
        const std::string_view row = longValueRow(mdb, next, path);
        if (row.size() < 4) damaged(path);
        next = le32(row.data());
        bytes.append(row.substr(4));
      }
      bytes.resize(length);
      return bytes;
    }
    default:
      damaged(path);
  }
}

}  // namespace legacy
