#include "StoredRow.h"

#include "Connection.h"
#include "Protection.h"
#include "StoreError.h"
#include "Texts.h"

namespace store {
namespace {

constexpr std::size_t kName = 0, kContent = 2, kCreated = 3;

// Refused, unless the store was converted by another program meanwhile: that is the error then.
[[noreturn]] void refuse(const Connection& cn, const StoreError& error) {
  cn.requireSameSchema();
  throw error;
}

std::string_view plainText(const Connection& cn, const StoredField& field) {
  if (looksSealed(field.bytes, field.blob)) refuse(cn, sealedWithoutKey(cn));
  return field.bytes;
}

Field openWhole(const Connection& cn, const StoredRow& row, std::size_t i) {
  const auto open = [&](std::size_t k) {
    return row[0].blob && row[k].blob ? cn.vault().openField(row[0].bytes, k, row[k].bytes)
                                      : std::nullopt;
  };
  std::optional<Field> field = open(i);
  if (field) return *field;
  const std::optional<Field> name = i == kName ? std::nullopt : open(kName);
  refuse(cn, name && *name ? contentDamaged(cn, **name) : rowDamaged(cn));
}

Field openContents(const Connection& cn, const StoredRow& row, std::size_t i) {
  const StoredField& field = row[i];
  if (field.null) return Field();
  if (i != kContent) {
    if (looksSealed(field.bytes, field.blob)) refuse(cn, rowDamaged(cn));
    return Field(std::string(field.bytes));
  }
  const std::string_view name = row[kName].blob ? std::string_view() : row[kName].bytes;
  std::optional<std::string> content =
      field.blob && !row[kName].blob && !row[kCreated].blob
          ? cn.vault().openContent(field.bytes, row[kCreated].bytes, name)
          : std::nullopt;
  if (!content) refuse(cn, contentDamaged(cn, name));
  return Field(std::move(*content));
}

}  // namespace

StoredField storedField(sqlite3_stmt* statement, int column) {
  const int type = sqlite3_column_type(statement, column);
  const auto* data = static_cast<const char*>(
      type == SQLITE_BLOB ? sqlite3_column_blob(statement, column)
                          : static_cast<const void*>(sqlite3_column_text(statement, column)));
  return {{data ? data : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, column))},
          type == SQLITE_BLOB,
          type == SQLITE_NULL};
}

Field openStored(const Connection& cn, const StoredRow& row, std::size_t i) {
  switch (cn.form()) {
    case Form::Whole:
      return openWhole(cn, row, i);
    case Form::Contents:
      return openContents(cn, row, i);
    case Form::Plain:
      break;
  }
  if (row[i].null) return Field();
  return Field(std::string(plainText(cn, row[i])));
}

RowToStore toStore(Form form, const Vault* vault, const std::array<Field, 5>& row) {
  RowToStore out;
  for (std::size_t i = 0; i < row.size(); ++i) {
    out[i].null = !row[i];
    if (row[i]) out[i].bytes = *row[i];
  }
  if (form == Form::Contents && row[kContent]) {
    out[kContent].bytes = vault->sealContent(*row[kContent], row[kCreated].value_or(std::string()),
                                             row[kName].value_or(std::string()));
    out[kContent].blob = true;
  }
  if (form == Form::Whole) {
    std::array<std::optional<std::string_view>, 5> views;
    for (std::size_t i = 0; i < row.size(); ++i)
      if (row[i]) views[i] = *row[i];
    const std::array<std::string, 5> sealed = vault->sealRow(views);
    for (std::size_t i = 0; i < row.size(); ++i) out[i] = {sealed[i], true, false};
  }
  return out;
}

void bindStored(const Connection& cn, sqlite3_stmt* statement, int index,
                const FieldToStore& field) {
  const std::string& b = field.bytes;
  cn.check(field.null ? sqlite3_bind_null(statement, index)
           : field.blob
               ? sqlite3_bind_blob64(statement, index, b.data(), b.size(), SQLITE_TRANSIENT)
               : sqlite3_bind_text64(statement, index, b.data(), b.size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8));
}

}  // namespace store
