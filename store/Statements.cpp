#include "Statements.h"

namespace store {

std::string findByName(std::string_view name) {
  std::string statement = "select * from 账号集合 where 账号名称='";
  for (char c : name) {
    statement += c;
    if (c == '\'') statement += '\'';
  }
  statement += '\'';
  return statement;
}

}  // namespace store
