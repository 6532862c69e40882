#include "Sql.h"

namespace store {

Statement prepare(const Connection& cn, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  cn.check(sqlite3_prepare_v2(cn.handle(), sql.c_str(), -1, &statement, nullptr));
  return Statement(statement);
}

void exec(const Connection& cn, const std::string& sql) {
  cn.check(sqlite3_exec(cn.handle(), sql.c_str(), nullptr, nullptr, nullptr));
}

}  // namespace store
