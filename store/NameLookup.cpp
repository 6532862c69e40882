#include "NameLookup.h"

#include "Connection.h"
#include "NameCatalog.h"
#include "SealedScan.h"
#include "Sql.h"
#include "StoredRow.h"

namespace store {

std::vector<RowId> rowsNamed(Connection& cn, std::string_view name) {
  std::vector<RowId> rows;
  if (cn.form() != Form::Whole) {
    const Statement statement = prepare(
        cn, std::string("SELECT rowid FROM 账号集合 WHERE ") + kName + "=?1 ORDER BY rowid");
    // With its length, so that a NUL inside the name is part of it.
    sqlite3_bind_text64(statement.get(), 1, name.data(), name.size(), SQLITE_TRANSIENT,
                        SQLITE_UTF8);
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW)
      rows.push_back(sqlite3_column_int64(statement.get(), 0));
    cn.check(rc);
    return rows;
  }
  if (!cn.catalog().validAt(cn.changeCounter())) {
    SealedScan walk(cn);
    while (walk.next()) walk.opened(kNameAt);  // a name that does not open is refused
  }
  for (const RowId id : cn.catalog().rows(name)) {
    const std::optional<RowCopy> row = readRow(cn, id);
    if (row && openStored(cn, row->view(), kNameAt) == Value(std::string(name))) rows.push_back(id);
  }
  return rows;
}

}  // namespace store
