#pragma once

#include <string>
#include <string_view>

namespace store {

// The three statement texts the windows send; the record set accepts no other.
inline constexpr char kTableName[] = "账号集合";                // 1: every row (read all, count)
inline constexpr char kSelectAll[] = "select * from 账号集合";  // 2: append a row

// 3: rows of one name. The name goes in as an SQL string literal, each ' written twice.
std::string findByName(std::string_view name);

// Field names.
inline constexpr char kName[] = "账号名称";
inline constexpr char kType[] = "账号类型";
inline constexpr char kContent[] = "账号内容";
inline constexpr char kCreated[] = "创建时间";
inline constexpr char kModified[] = "最后修改";
// The five in the table's order (import and export columns).
inline constexpr const char* kFields[] = {kName, kType, kContent, kCreated, kModified};

}  // namespace store
