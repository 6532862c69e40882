#include "StoredRow.h"

#include "Connection.h"
#include "Protection.h"
#include "Sql.h"
#include "StoreError.h"
#include "Vault.h"

namespace store {
namespace {

// Refused, unless the store was converted by another program meanwhile: that is the error then.
[[noreturn]] void refuse(const Connection& cn, const StoreError& error) {
  cn.requireSameSchema();
  throw error;
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

StoredRow RowCopy::view() const {
  StoredRow out;
  for (std::size_t i = 0; i < kFieldCount; ++i) out[i] = {bytes[i], blob[i], null[i]};
  return out;
}

std::optional<RowCopy> readRow(const Connection& cn, RowId id) {
  static const std::string sql = "SELECT " + columnList() + " FROM 账号集合 WHERE rowid=?1";
  const Statement row = prepare(cn, sql);
  sqlite3_bind_int64(row.get(), 1, id);
  const int rc = sqlite3_step(row.get());
  cn.check(rc);
  if (rc != SQLITE_ROW) return std::nullopt;
  RowCopy copy;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const StoredField field = storedField(row.get(), static_cast<int>(i));
    copy.bytes[i] = field.bytes;
    copy.blob[i] = field.blob;
    copy.null[i] = field.null;
  }
  return copy;
}

Value openStored(const Connection& cn, const StoredRow& row, std::size_t i) {
  if (cn.form() == Form::Plain) {
    if (looksSealed(row[i])) refuse(cn, sealedWithoutKey(cn));
    return row[i].null ? Value() : Value(std::string(row[i].bytes));
  }
  const Vault& vault = cn.vault();
  std::optional<Value> field = vault.open(cn.form(), row, i);
  if (field) return *field;
  // The account is named where its name opens.
  const bool named = cn.form() == Form::Whole || i == kContentAt;
  const std::optional<Value> name =
      named && i != kNameAt ? vault.open(cn.form(), row, kNameAt) : std::nullopt;
  refuse(cn, name && *name ? contentDamaged(cn, **name) : rowDamaged(cn));
}

}  // namespace store
