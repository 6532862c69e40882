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

std::optional<std::string> findByNameArgument(std::string_view statement) {
  const std::string frame = findByName({});  // the prefix and the closing quote
  const std::string_view prefix = std::string_view(frame).substr(0, frame.size() - 1);
  if (statement.size() < frame.size() || !statement.starts_with(prefix) ||
      !statement.ends_with('\''))
    return std::nullopt;
  const std::string_view literal = statement.substr(prefix.size(), statement.size() - frame.size());
  std::string name;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '\'') {
      // A quote that is not doubled would end the literal before the statement ends.
      if (i + 1 == literal.size() || literal[i + 1] != '\'') return std::nullopt;
      ++i;
    }
    name += literal[i];
  }
  return name;
}

}  // namespace store
