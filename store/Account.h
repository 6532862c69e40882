#pragma once

// An account as every part of the program sees it, and its fields as the file holds them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace store {

// The fields of 账号集合, in the table's order; the only list of them.
inline constexpr char kName[] = "账号名称";
inline constexpr char kType[] = "账号类型";
inline constexpr char kContent[] = "账号内容";
inline constexpr char kCreated[] = "创建时间";
inline constexpr char kModified[] = "最后修改";
inline constexpr const char* kFields[] = {kName, kType, kContent, kCreated, kModified};
inline constexpr std::size_t kFieldCount = std::size(kFields);
// Their places in kFields.
inline constexpr std::size_t kNameAt = 0, kTypeAt = 1, kContentAt = 2, kCreatedAt = 3,
                             kModifiedAt = 4;

// A field's value: text, or nullopt for a null field.
using Value = std::optional<std::string>;
using Account = std::array<Value, kFieldCount>;

// The identity of a row for as long as it exists (SQLite's rowid).
using RowId = std::int64_t;

// The fields as SQL lists them, each followed by `suffix`: "账号名称, 账号类型, ...".
std::string columnList(std::string_view suffix = {});
// The place of a field name in kFields; kFieldCount when it is none of them.
std::size_t fieldAt(std::string_view name);

// A field as the file holds it; `bytes` is valid as long as what it was read from.
struct StoredField {
  std::string_view bytes;
  bool blob = false;
  bool null = false;
};
using StoredRow = std::array<StoredField, kFieldCount>;

// A field as it is to be written.
struct FieldToStore {
  std::string bytes;
  bool blob = false;
  bool null = false;
};
using RowToStore = std::array<FieldToStore, kFieldCount>;

}  // namespace store
