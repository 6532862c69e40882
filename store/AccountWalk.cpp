#include "AccountWalk.h"

#include "Connection.h"
#include "Identity.h"
#include "SealedScan.h"
#include "Sql.h"
#include "StoreError.h"
#include "StoredRow.h"

namespace store {
namespace {

// Rows and identities in store order; an older store's rows have none.
std::string identitySql(const Connection& cn) {
  return std::string("SELECT rowid, ") + (hasIdentities(cn) ? kIdentity : "NULL") +
         " FROM 账号集合 ORDER BY rowid";
}

}  // namespace

void walkAccounts(Connection& cn, const std::function<void(const WalkedAccount&)>& take) {
  WalkedAccount account{};
  const Statement identities = prepare(cn, identitySql(cn));
  const auto identityOf = [&](RowId row) {
    cn.check(sqlite3_step(identities.get()));
    if (sqlite3_column_int64(identities.get(), 0) != row)  // both read in one transaction
      throw StoreError(SQLITE_ERROR, "rows out of step");
    return storedField(identities.get(), 1).bytes;
  };
  if (cn.form() == Form::Whole) {
    SealedScan scan(cn, SealedScan::kEveryField);
    while (scan.next()) {
      account.row = scan.rowId();
      for (std::size_t i = 0; i < kFieldCount; ++i) account.fields[i] = scan.opened(i);
      account.identity = identityOf(account.row);
      take(account);
    }
    return;
  }
  const Statement scan =
      prepare(cn, "SELECT rowid, " + columnList() + " FROM 账号集合 ORDER BY rowid");
  std::array<Value, kFieldCount> values;
  int rc;
  while ((rc = sqlite3_step(scan.get())) == SQLITE_ROW) {
    StoredRow row;
    for (std::size_t i = 0; i < kFieldCount; ++i)
      row[i] = storedField(scan.get(), static_cast<int>(i) + 1);
    for (std::size_t i = 0; i < kFieldCount; ++i) {
      if (cn.form() == Form::Plain && !looksSealed(row[i])) {  // the file's own bytes
        account.fields[i] = row[i].null ? std::nullopt : std::optional(row[i].bytes);
        continue;
      }
      values[i] = openStored(cn, row, i);
      account.fields[i] = values[i] ? std::optional<std::string_view>(*values[i]) : std::nullopt;
    }
    account.row = sqlite3_column_int64(scan.get(), 0);
    account.identity = identityOf(account.row);
    take(account);
  }
  cn.check(rc);
}

}  // namespace store
