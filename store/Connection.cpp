#include "Connection.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <vector>

#include "Identity.h"
#include "NameCatalog.h"
#include "OwnWrites.h"
#include "Protection.h"
#include "SealedScan.h"
#include "Sql.h"
#include "StoreError.h"
#include "StoreFile.h"
#include "Texts.h"

namespace store {
namespace {

// A second instance writing at the same moment waits this long before it is an error.
constexpr int kBusyTimeoutMs = 5000;

// secure_delete: a deleted or overwritten account leaves no text behind in the file.
// synchronous FULL: an Update or Delete is on disk when it returns.
constexpr char kSettings[] = "PRAGMA secure_delete=ON; PRAGMA synchronous=FULL;";

// The store file may come from anywhere: its schema gets no say over what SQL can do.
void harden(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

// Reads only: until this passes, nothing may be written to a file that may not be ours.
void requireAccountTable(const Connection& cn) {
  std::vector<std::string> tables;
  try {
    tables =
        firstColumn(cn, "SELECT name FROM sqlite_master WHERE type='table' AND name='账号集合'");
  } catch (const StoreError& error) {
    if ((error.number() & 0xff) != SQLITE_NOTADB) throw;
    throw StoreError(errnum::kNotDatabase, fillText(texts::kStoreNotDatabase, cn.path()));
  }
  if (tables.empty()) throw StoreError(errnum::kNoTable, fillText(texts::kStoreNoTable, cn.path()));
  const auto fields = firstColumn(cn, "SELECT name FROM pragma_table_info('账号集合')");
  for (const char* field : kFields) {
    if (std::find(fields.begin(), fields.end(), field) == fields.end())
      throw StoreError(errnum::kUnknownField, fillText(texts::kStoreNoField, cn.path(), field));
  }
  firstColumn(cn, "SELECT rowid FROM 账号集合 LIMIT 0");  // rows are addressed by rowid
}

// Found out at once rather than when the user's first change fails: SQLite opens a file it
// may not write read-only without a word, and it makes its journal beside the file.
void requireWritable(const Connection& cn) {
  if (sqlite3_db_readonly(cn.handle(), "main") == 1)
    throw StoreError(errnum::kReadOnly, fillText(texts::kStoreReadOnly, cn.path()));
  std::string folder = std::filesystem::path(cn.path()).parent_path().string();
  if (folder.empty()) folder = ".";
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    throw StoreError(errnum::kReadOnly, fillText(texts::kStoreFolderReadOnly, cn.path(), folder));
}

// WAL would keep copies of changed pages, deleted text included, in a -wal file.
void useRollbackJournal(const Connection& cn) {
  const auto mode = firstColumn(cn, "PRAGMA journal_mode=DELETE");
  if (mode.empty() || mode.front() != "delete")
    throw StoreError(SQLITE_ERROR,
                     fillText(texts::kStoreFailed, cn.path(),
                              "journal_mode " + (mode.empty() ? std::string() : mode.front())));
}

}  // namespace

Connection::~Connection() {
  sqlite3_close_v2(db_);
}

void Connection::Open(const std::string& path, Access access) {
  sqlite3_close_v2(db_);
  db_ = nullptr;
  vault_.reset();
  catalog_.reset();
  readAhead_.reset();
  ownWrites_ = std::make_shared<OwnWrites>();
  keyTable_.clear();
  path_ = path;
  access_ = access;
  const FileKind kind = fileKind(path);
  if (kind == FileKind::Missing)
    throw StoreError(errnum::kFileMissing, fillText(texts::kStoreMissing, path));
  // Without SQLITE_OPEN_CREATE a file that vanished meanwhile is an error, not a new store.
  const bool write = access == Access::ReadWrite;
  const int rc = sqlite3_open_v2(sqliteFileName(path).c_str(), &db_,
                                 (write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                                     SQLITE_OPEN_EXRESCODE |
                                     SQLITE_OPEN_NOMUTEX,  // never used by two threads at once
                                 nullptr);
  try {
    check(rc);
    if (kind == FileKind::Access)
      throw StoreError(errnum::kNotDatabase, fillText(texts::kStoreIsAccess, path));
    if (kind != FileKind::SQLite)
      throw StoreError(errnum::kNotDatabase, fillText(texts::kStoreNotDatabase, path));
    harden(db_);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    requireAccountTable(*this);
    if (write) requireWritable(*this);
    check(sqlite3_exec(db_, kSettings, nullptr, nullptr, nullptr));
    if (write) useRollbackJournal(*this);
    form_ = formOf(*this);
    schema_ = schemaVersion();
  } catch (...) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw;
  }
}

// Deriving the key takes half a second on one core; a store sealed whole is read meanwhile on
// the other, for the walk that follows. The connection is used by one thread at a time: the
// reading starts once the key table is read.
bool Connection::unlock(const Secret& passphrase, const Fields& readAhead) {
  catalog_ = std::make_shared<NameCatalog>();
  std::future<std::shared_ptr<SealedRows>> ahead;
  vault_ = store::unlock(*this, passphrase, [&] {
    if (form_ == Form::Whole && readAhead[kNameAt])
      ahead = std::async(std::launch::async,
                         [this, readAhead] { return SealedScan::readAhead(*this, readAhead); });
  });
  if (ahead.valid()) readAhead_ = ahead.get();
  if (!vault_) readAhead_.reset();
  if (vault_) keyTable_ = keyTableBytes(*this);
  return vault_ != nullptr;
}

void Connection::prepareIdentities() {
  store::prepareIdentities(*this);
  schema_ = schemaVersion();
}

bool Connection::outdated() const {
  if (!db_) return true;  // a reopen that failed left it closed
  int moved = 0;
  sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved);
  return moved != 0 || headerNumber(40) != static_cast<std::uint32_t>(schema_);  // the schema
}

void Connection::reopen() {
  const std::shared_ptr<const Vault> vault = vault_;
  const std::string keyTable = keyTable_;
  Open(std::string(path_), access_);
  if (access_ == Access::ReadWrite) prepareIdentities();
  if (isProtected() && vault && keyTableBytes(*this) == keyTable) {
    vault_ = vault;
    keyTable_ = keyTable;
    catalog_ = std::make_shared<NameCatalog>();
  }
}

const Vault& Connection::vault() const {
  if (!vault_) throw StoreError(errnum::kLocked, fillText(texts::kStoreLocked, path_));
  return *vault_;
}

void Connection::forgetKey() {
  vault_.reset();
  catalog_ = std::make_shared<NameCatalog>();
  readAhead_.reset();
  keyTable_.clear();
}

void Connection::shareKey(const Connection& other) {
  if (schema_ != other.schema_ || form_ != other.form_)
    throw StoreError(errnum::kChanged, fillText(texts::kStoreChanged, path_));
  vault_ = other.vault_;
  catalog_ = other.catalog_;
  ownWrites_ = other.ownWrites_;
  keyTable_ = other.keyTable_;
}

bool Connection::borrowKey(const Connection& keyed) {
  if (!isProtected() || !keyed.vault_ || keyTableBytes(*this) != keyed.keyTable_) return false;
  vault_ = keyed.vault_;
  keyTable_ = keyed.keyTable_;
  catalog_ = std::make_shared<NameCatalog>();
  return true;
}

void Connection::adopt(Form form, std::shared_ptr<const Vault> vault) {
  form_ = form;
  vault_ = std::move(vault);
  catalog_ = std::make_shared<NameCatalog>();
  readAhead_.reset();
  schema_ = schemaVersion();
  keyTable_ = keyTableBytes(*this);
}

// A number of the file's header, read without a lock: cheap enough to be asked every second.
std::optional<std::uint32_t> Connection::headerNumber(int offset) const {
  sqlite3_file* file = nullptr;
  unsigned char bytes[4] = {};
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods || file->pMethods->xRead(file, bytes, sizeof bytes, offset) != SQLITE_OK)
    return std::nullopt;
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

std::optional<std::uint32_t> Connection::changeCounter() const {
  return headerNumber(24);
}

int Connection::schemaVersion() const {
  return std::stoi(firstColumn(*this, "PRAGMA schema_version").at(0));
}

void Connection::requireSameSchema() const {
  if (schemaVersion() != schema_)
    throw StoreError(errnum::kChanged, fillText(texts::kStoreChanged, path_));
}

void Connection::check(int rc) const {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
  throw StoreError(rc, fillText(texts::kStoreFailed, path_, sqlite3_errmsg(db_)));
}

}  // namespace store
