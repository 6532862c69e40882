#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Vault.h"

struct sqlite3;

namespace store {

class NameCatalog;
class OwnWrites;
struct SealedRows;

// One open store file. Each window owns one and never closes it; it closes with the
// process (or when destroyed, in tests and tools).
class Connection {
 public:
  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  enum class Access { ReadWrite, ReadOnly };

  // Opens an existing store. A missing file, a file that is not an SQLite database (an Access
  // file is recognised and named as such), a database without the table 账号集合 and its
  // five fields, or, to write, a file or folder that may not be written, throws StoreError
  // and leaves the folder untouched.
  void Open(const std::string& path, Access access = Access::ReadWrite);
  bool IsOpen() const { return db_ != nullptr; }

  // Whether this connection must be opened again before it reads or writes: the file at the
  // path is another one (a sync client or a restored backup renamed it into place, or it is
  // gone), or another program restructured it (protected, unprotected, a new passphrase), or
  // it is not open.
  bool outdated() const;
  // Opens the file now at the path in this one's place (ready for identities when it may be
  // written). A protected store keeps its key when the key table is the one it was unlocked
  // with; otherwise it is locked until unlocked again.
  void reopen();
  bool locked() const { return isProtected() && !vault_; }
  // Gives the store's accounts identities where they have none (see Identity.h): done by the
  // program before its first write, as its own change of the store's structure.
  void prepareIdentities();

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }

  // Throws StoreError for an SQLite result code that is not OK/ROW/DONE.
  void check(int rc) const;

  // A protected store's accounts are read and written through its key, which the passphrase
  // unlocks (false: the passphrase is wrong).
  Form form() const { return form_; }
  bool isProtected() const { return form_ != Form::Plain; }
  // A store sealed whole has the fields of every account that the first walk will open read
  // meanwhile (none unless said).
  using Fields = std::array<bool, kFieldCount>;
  bool unlock(const Secret& passphrase, const Fields& readAhead = {});
  // The key, once unlocked; without it a protected store's accounts cannot be reached.
  const Vault& vault() const;
  // Where a store sealed whole finds the rows of a name; shared by this process's connections.
  NameCatalog& catalog() const { return *catalog_; }
  // What this process wrote to the store; shared by its connections.
  OwnWrites& ownWrites() const { return *ownWrites_; }
  // Lets go of the key, the catalog of names and what unlocking read ahead: locked() until
  // unlocked again. The key is wiped once no connection shares it any more.
  void forgetKey();
  // Takes the key (and the catalog, and the record of writes) another connection to the same
  // store has.
  void shareKey(const Connection& other);
  // Unlocks this with the key of `keyed`, another copy of the same book: only when both key
  // tables are the same bytes (then the same passphrase opens both); false otherwise.
  bool borrowKey(const Connection& keyed);
  // After this connection converted the store: its form and key (null when plain).
  void adopt(Form form, std::shared_ptr<const Vault> vault);
  // The file's change counter, which every committed write transaction moves on by one.
  // Nothing when it cannot be read.
  std::optional<std::uint32_t> changeCounter() const;
  // The rows of a store sealed whole that unlocking read meanwhile, for the first walk.
  std::shared_ptr<SealedRows> takeReadAhead() { return std::move(readAhead_); }
  const SealedRows* readAhead() const { return readAhead_.get(); }
  // Throws when the store was protected, unprotected or otherwise restructured since it was
  // opened (by another program): contents must then neither be shown nor written.
  void requireSameSchema() const;

 private:
  int schemaVersion() const;
  std::optional<std::uint32_t> headerNumber(int offset) const;

  sqlite3* db_ = nullptr;
  std::string path_;
  Access access_ = Access::ReadWrite;
  std::string keyTable_;  // as it was when unlocked
  Form form_ = Form::Plain;
  int schema_ = 0;
  std::shared_ptr<const Vault> vault_;
  std::shared_ptr<NameCatalog> catalog_;
  std::shared_ptr<OwnWrites> ownWrites_;
  std::shared_ptr<SealedRows> readAhead_;
};

}  // namespace store
