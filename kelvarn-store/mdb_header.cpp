#include "mdb_header.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "StoreError.h"
#include "Texts.h"
#include "mdb_error.h"

namespace legacy {
namespace {

constexpr char kMagic[] = {0x00, 0x01, 0x00, 0x00};
constexpr char kJetName[] = "Standard Jet DB";  // with its terminating zero: 16 bytes
constexpr char kAceName[] = "Standard ACE DB";
constexpr std::size_t kVersionOffset = 0x14;  // 32-bit little-endian
constexpr int kNewestVersion = 6;             // Access 2019
// Header, system catalog and the table's definition at the least.
constexpr std::size_t kFewestPages = 3;

ImportError fail(const char* text, const std::string& path, const std::string& arg = {}) {
  return ImportError(store::fillText(text, path, arg));
}

}  // namespace

AccessHeader readAccessHeader(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    throw fail(errno == ENOENT ? texts::kImportMissing : texts::kImportUnreadable, path);
  if (!S_ISREG(info.st_mode)) throw fail(texts::kImportUnreadable, path);

  std::ifstream file(path, std::ios::binary);
  unsigned char head[kVersionOffset + 4] = {};
  if (!file) throw fail(texts::kImportUnreadable, path);
  file.read(reinterpret_cast<char*>(head), sizeof head);
  if (file.gcount() != sizeof head || std::memcmp(head, kMagic, sizeof kMagic) != 0 ||
      (std::memcmp(head + 4, kJetName, sizeof kJetName) != 0 &&
       std::memcmp(head + 4, kAceName, sizeof kAceName) != 0))
    throw fail(texts::kImportNotAccess, path);

  AccessHeader header;
  const std::uint32_t version = head[kVersionOffset] | head[kVersionOffset + 1] << 8 |
                                head[kVersionOffset + 2] << 16 |
                                std::uint32_t(head[kVersionOffset + 3]) << 24;
  if (version > kNewestVersion)
    throw fail(texts::kImportUnknownVersion, path, std::to_string(version));
  header.version = static_cast<int>(version);
  header.fileSize = static_cast<std::size_t>(info.st_size);
  if (header.fileSize < kFewestPages * header.pageSize() ||
      header.fileSize % header.pageSize() != 0)
    throw fail(texts::kImportDamaged, path);
  return header;
}

}  // namespace legacy
