#pragma once

// The store's own SQL on a connection: prepared statements and all-or-nothing writes.
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "Connection.h"

namespace store {

struct Finalize {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

// All throw StoreError when SQLite refuses.
Statement prepare(const Connection& cn, const std::string& sql);
void exec(const Connection& cn, const std::string& sql);
// The first column of every row of a fixed query (no user text ever reaches it), null as "".
std::vector<std::string> firstColumn(const Connection& cn, const std::string& sql);

// Runs `write` in one BEGIN IMMEDIATE transaction: committed when it returns, rolled back
// when it throws, so a failure anywhere leaves the file as it was.
template <typename Write>
auto inTransaction(const Connection& cn, Write&& write) {
  exec(cn, "BEGIN IMMEDIATE");
  try {
    auto result = write();
    exec(cn, "COMMIT");
    return result;
  } catch (...) {
    sqlite3_exec(cn.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

}  // namespace store
