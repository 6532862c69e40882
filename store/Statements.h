#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Account.h"

namespace store {

// The three statement texts the windows send; the record set accepts no other.
inline constexpr char kTableName[] = "账号集合";                // 1: every row (read all, count)
inline constexpr char kSelectAll[] = "select * from 账号集合";  // 2: append a row

// 3: rows of one name. The name goes in as an SQL string literal, each ' written twice.
std::string findByName(std::string_view name);
// The name that statement 3 carries, its doubled quotes undone; nullopt for any other text.
std::optional<std::string> findByNameArgument(std::string_view statement);

}  // namespace store
