#include "RowWriter.h"

#include <algorithm>

#include "Connection.h"
#include "Identity.h"
#include "NameCatalog.h"
#include "OwnWrites.h"
#include "StoredRow.h"
#include "Timestamp.h"

namespace store {
namespace {

unsigned maskOf(const RowWriter::Fields& which) {
  unsigned mask = 0;
  for (std::size_t i = 0; i < kFieldCount; ++i) mask |= which[i] ? 1u << i : 0u;
  return mask;
}

std::string writeSql(int kind, const RowWriter::Fields& which) {
  std::string columns, values;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (!which[i]) continue;
    const char* comma = columns.empty() ? "" : ",";
    columns += comma + std::string(kFields[i]) + (kind == 0 ? "" : "=?");
    values += comma + std::string("?");
  }
  if (kind == 2) return "UPDATE 账号集合 SET " + columns + " WHERE rowid=?";
  if (kind == 1) return "UPDATE 账号集合 SET " + columns + " WHERE rowid=? RETURNING " + kIdentity;
  return "INSERT INTO 账号集合(" + columns + (columns.empty() ? "" : ",") + kIdentity +
         ") VALUES(" + values + (values.empty() ? "" : ",") + "?)";
}

std::string_view nameOf(const Account& account) {
  return account[kNameAt] ? std::string_view(*account[kNameAt]) : std::string_view();
}

// Transactions of the windows' writes, with the catalog told what changed.
template <typename Write>
auto written(Connection& cn, std::optional<std::string_view> oldName,
             std::optional<std::string_view> newName, Write&& write) {
  std::optional<std::uint32_t> before;
  const auto [id, changed] = inTransaction(cn, [&] {
    cn.requireSameSchema();
    before = cn.changeCounter();
    return write();
  });
  if (cn.form() == Form::Whole) cn.catalog().written(before, changed, id, oldName, newName);
  if (changed) cn.ownWrites().written(before, id);
  return std::pair(id, changed);
}

}  // namespace

RowWriter::RowWriter(const Connection& cn)
    : RowWriter(cn, cn.form(), cn.isProtected() ? &cn.vault() : nullptr) {}

RowWriter::RowWriter(const Connection& cn, Form form, const Vault* vault)
    : cn_(cn), form_(form), vault_(vault) {
  prepareIdentities(cn);
}

sqlite3_stmt* RowWriter::statement(Kind kind, const Fields& which) {
  Statement& statement = statements_[(kind << kFieldCount) | maskOf(which)];
  if (!statement) statement = prepare(cn_, writeSql(kind, which));
  sqlite3_reset(statement.get());
  sqlite3_clear_bindings(statement.get());
  return statement.get();
}

sqlite3_stmt* RowWriter::fixed(std::size_t i, const std::string& sql) {
  if (!fixed_[i]) fixed_[i] = prepare(cn_, sql);
  sqlite3_reset(fixed_[i].get());
  return fixed_[i].get();
}

// A sealed form binds all five, a plain store those given, as ?1, ?2, ...; returns how many.
int RowWriter::bind(sqlite3_stmt* statement, const Account& account, const Fields& which) {
  RowToStore row;
  if (form_ == Form::Plain) {
    for (std::size_t i = 0; i < kFieldCount; ++i)
      row[i] = {account[i].value_or(""), false, !account[i]};
  } else {
    row = vault_->seal(form_, account);
  }
  int index = 0;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (!which[i]) continue;
    const std::string& b = row[i].bytes;
    ++index;
    // With its length, so that a NUL inside a text is part of it.
    cn_.check(row[i].null ? sqlite3_bind_null(statement, index)
              : row[i].blob
                  ? sqlite3_bind_blob64(statement, index, b.data(), b.size(), SQLITE_TRANSIENT)
                  : sqlite3_bind_text64(statement, index, b.data(), b.size(), SQLITE_TRANSIENT,
                                        SQLITE_UTF8));
  }
  return index;
}

void RowWriter::bindBlob(sqlite3_stmt* statement, int index, std::string_view bytes) {
  cn_.check(sqlite3_bind_blob64(statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
}

std::optional<std::string> RowWriter::stepReturning(sqlite3_stmt* statement) {
  std::optional<std::string> identity;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
    identity = std::string(storedField(statement, 0).bytes);
  cn_.check(rc);
  return identity;
}

void RowWriter::setVersions(std::string_view identity, std::string_view versions) {
  sqlite3_stmt* put =
      fixed(0, std::string("INSERT OR REPLACE INTO ") + kVersionTable + " VALUES(?1,?2)");
  bindBlob(put, 1, identity);
  bindBlob(put, 2, versions);
  cn_.check(sqlite3_step(put));
}

RowId RowWriter::insert(const Account& account, const Fields& which, std::string_view identity,
                        std::string_view versions) {
  const Fields& written = form_ == Form::Plain ? which : kAll;
  sqlite3_stmt* insert = statement(kInsert, written);
  const std::string fresh = identity.empty() ? newIdentity() : std::string();
  if (identity.empty()) identity = fresh;
  bindBlob(insert, bind(insert, account, written) + 1, identity);
  cn_.check(sqlite3_step(insert));
  if (!versions.empty()) setVersions(identity, versions);
  return sqlite3_last_insert_rowid(cn_.handle());
}

bool RowWriter::update(RowId row, const Account& account, const Fields& which,
                       std::string_view versions) {
  const Fields& written = form_ == Form::Plain ? which : kAll;
  if (maskOf(written) == 0) return true;  // nothing to write
  sqlite3_stmt* update = statement(kUpdate, written);
  sqlite3_bind_int64(update, bind(update, account, written) + 1, row);
  const std::optional<std::string> identity = stepReturning(update);
  if (!identity) return false;
  if (identity->size() != kIdentitySize) return true;  // added by an older release meanwhile
  if (versions.empty()) {
    sqlite3_stmt* get =
        fixed(1, std::string("SELECT 版本 FROM ") + kVersionTable + " WHERE " + kIdentity + "=?1");
    bindBlob(get, 1, *identity);
    const std::optional<std::string> known = stepReturning(get);
    setVersions(*identity, nextVersions(known ? *known : firstVersion(*identity)));
  } else {
    setVersions(*identity, versions);
  }
  return true;
}

void RowWriter::reseal(RowId row, const Account& account) {
  sqlite3_stmt* update = statement(kReseal, kAll);
  sqlite3_bind_int64(update, bind(update, account, kAll) + 1, row);
  cn_.check(sqlite3_step(update));
}

void RowWriter::keepDeletion(std::string_view identity, std::string_view deletedAt) {
  sqlite3_stmt* record = fixed(
      3, std::string("INSERT INTO ") + kDeletedTable +
             " VALUES(?1,?2) ON CONFLICT DO UPDATE SET 删除时间=max(删除时间, excluded.删除时间)");
  bindBlob(record, 1, identity);
  cn_.check(sqlite3_bind_text64(record, 2, deletedAt.data(), deletedAt.size(), SQLITE_TRANSIENT,
                                SQLITE_UTF8));
  cn_.check(sqlite3_step(record));
}

bool RowWriter::remove(RowId row, std::string_view deletedAt) {
  sqlite3_stmt* remove =
      fixed(2, std::string("DELETE FROM 账号集合 WHERE rowid=?1 RETURNING ") + kIdentity);
  sqlite3_bind_int64(remove, 1, row);
  const std::optional<std::string> identity = stepReturning(remove);
  if (!identity) return false;
  if (identity->size() != kIdentitySize) return true;
  keepDeletion(*identity, deletedAt.empty() ? timestampNow() : std::string(deletedAt));
  sqlite3_stmt* versions =
      fixed(4, std::string("DELETE FROM ") + kVersionTable + " WHERE " + kIdentity + "=?1");
  bindBlob(versions, 1, *identity);
  cn_.check(sqlite3_step(versions));
  const std::string longAgo = timestampNow(2);
  sqlite3_stmt* prune =
      fixed(5, std::string("DELETE FROM ") + kDeletedTable + " WHERE 删除时间 < ?1");
  sqlite3_bind_text(prune, 1, longAgo.c_str(), -1, SQLITE_TRANSIENT);
  cn_.check(sqlite3_step(prune));
  return true;
}

RowId insertAccount(Connection& cn, const Account& account, const RowWriter::Fields& which) {
  return written(cn, std::nullopt, nameOf(account),
                 [&] { return std::pair(RowWriter(cn).insert(account, which), true); })
      .first;
}

bool updateAccount(Connection& cn, RowId row, const Account& account,
                   const RowWriter::Fields& which, std::optional<std::string_view> oldName) {
  const std::optional<std::string_view> newName =
      which[kNameAt] ? std::optional<std::string_view>(nameOf(account)) : oldName;
  return written(cn, oldName, newName,
                 [&] { return std::pair(row, RowWriter(cn).update(row, account, which)); })
      .second;
}

bool removeAccount(Connection& cn, RowId row, std::optional<std::string_view> oldName) {
  return written(cn, oldName, std::nullopt,
                 [&] { return std::pair(row, RowWriter(cn).remove(row)); })
      .second;
}

}  // namespace store
