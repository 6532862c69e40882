#pragma once

#include <memory>
#include <string>

struct sqlite3;

namespace store {

class Secret;
class Vault;

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

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }

  // Throws StoreError for an SQLite result code that is not OK/ROW/DONE.
  void check(int rc) const;

  // A protected store's contents are read and written through its key, which the passphrase
  // unlocks (false: the passphrase is wrong).
  bool isProtected() const { return protected_; }
  bool unlock(const Secret& passphrase);
  // The key, once unlocked; without it a protected store's contents cannot be reached.
  const Vault& vault() const;
  std::shared_ptr<const Vault> sharedVault() const { return vault_; }
  // Takes the key another connection to the same store unlocked.
  void shareKey(const Connection& other);
  // After this connection converted the store: its key (null: no longer protected).
  void adopt(std::shared_ptr<const Vault> vault);
  // Throws when the store was protected, unprotected or otherwise restructured since it was
  // opened (by another program): contents must then neither be shown nor written.
  void requireSameSchema() const;

 private:
  int schemaVersion() const;

  sqlite3* db_ = nullptr;
  std::string path_;
  bool protected_ = false;
  int schema_ = 0;
  std::shared_ptr<const Vault> vault_;
};

}  // namespace store
