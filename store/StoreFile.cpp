#include "StoreFile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "Account.h"
#include "Identity.h"
#include "StoreError.h"
#include "Texts.h"

namespace store {
namespace {

std::string schema() {
  return "BEGIN; CREATE TABLE 账号集合(" + columnList(" TEXT") + ", " + kIdentity +
         " BLOB); CREATE INDEX 账号集合_" + kName + " ON 账号集合(" + kName + "); " +
         identityTables() + " COMMIT;";
}

constexpr std::string_view kSQLiteMagic{"SQLite format 3\0", 16};
// Jet 3/4 (Access 97 to 2003) and ACE (Access 2007 on) name themselves from byte 4.
constexpr std::string_view kJetMagic{"Standard Jet DB\0", 16};
constexpr std::string_view kAceMagic{"Standard ACE DB\0", 16};

// The operating system takes a path up to its first NUL: such a path names another file.
bool hasNul(const std::string& path) {
  return path.find('\0') != std::string::npos;
}

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

void writeSchema(const std::string& path) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(sqliteFileName(path).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  const std::unique_ptr<sqlite3, CloseDb> db(raw);
  if (rc == SQLITE_OK) {
    sqlite3_extended_result_codes(raw, 1);
    rc = sqlite3_exec(raw, "PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
  }
  if (rc == SQLITE_OK) rc = sqlite3_exec(raw, schema().c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    throw StoreError(rc, fillText(texts::kStoreFailed, path, sqlite3_errmsg(raw)));
}

}  // namespace

std::string reason(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return texts::kReasonNoPermission;
    case EROFS:
      return texts::kReasonReadOnlyDisk;
    case ENOENT:
    case ENOTDIR:
      return texts::kReasonNoFolder;
    case ENOSPC:
      return texts::kReasonDiskFull;
    default:
      return std::strerror(error);
  }
}

std::string sqliteFileName(const std::string& path) {
  return path.starts_with("file:") ? "./" + path : path;
}

FileKind fileKind(const std::string& path) {
  if (hasNul(path)) return FileKind::Missing;
  // Non-blocking, so that a FIFO in the store's place cannot hang the caller.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Other;
  char header[20];
  const ssize_t got = ::read(fd, header, sizeof header);
  ::close(fd);
  if (got < 0) return FileKind::Other;
  const std::string_view bytes(header, static_cast<std::size_t>(got));
  if (bytes.starts_with(kSQLiteMagic)) return FileKind::SQLite;
  if (bytes.size() == sizeof header) {
    const std::string_view name = bytes.substr(4);
    if (name == kJetMagic || name == kAceMagic) return FileKind::Access;
  }
  return FileKind::Other;
}

void createStore(const std::string& path) {
  if (hasNul(path))
    throw StoreError(errnum::kCannotCreate,
                     fillText(texts::kStoreCannotCreate, path, reason(EINVAL)));
  // O_EXCL: never open, let alone truncate, a file that is already there.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (errno == EEXIST) throw StoreError(errnum::kFileExists, fillText(texts::kStoreExists, path));
    throw StoreError(errnum::kCannotCreate,
                     fillText(texts::kStoreCannotCreate, path, reason(errno)));
  }
  // The umask may have taken the owner's bits; nobody else gets any.
  const int modeError = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 ? 0 : errno;
  ::close(fd);
  try {
    if (modeError != 0)
      throw StoreError(errnum::kCannotCreate,
                       fillText(texts::kStoreCannotCreate, path, reason(modeError)));
    writeSchema(path);
  } catch (...) {
    ::unlink(path.c_str());  // the file is ours: made above, still empty or half made
    throw;
  }
}

}  // namespace store
