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

std::vector<std::string> firstColumn(const Connection& cn, const std::string& sql) {
  std::vector<std::string> out;
  const Statement statement = prepare(cn, sql);
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    out.emplace_back(text ? text : "");
  }
  cn.check(rc);
  return out;
}

}  // namespace store
