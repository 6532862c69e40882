#pragma once

#include <string>

struct sqlite3;

namespace store {

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

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
};

}  // namespace store
