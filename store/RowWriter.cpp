#include "RowWriter.h"

#include <algorithm>

#include "Connection.h"
#include "NameCatalog.h"
#include "OwnWrites.h"

namespace store {
namespace {

unsigned maskOf(const RowWriter::Fields& which) {
  unsigned mask = 0;
  for (std::size_t i = 0; i < kFieldCount; ++i) mask |= which[i] ? 1u << i : 0u;
  return mask;
}

std::string writeSql(bool insert, const RowWriter::Fields& which) {
  std::string columns, values;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (!which[i]) continue;
    const char* comma = columns.empty() ? "" : ",";
    columns += comma + std::string(kFields[i]) + (insert ? "" : "=?");
    values += comma + std::string("?");
  }
  if (!insert) return "UPDATE 账号集合 SET " + columns + " WHERE rowid=?";
  if (columns.empty()) return "INSERT INTO 账号集合 DEFAULT VALUES";
  return "INSERT INTO 账号集合(" + columns + ") VALUES(" + values + ")";
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
    : cn_(cn), form_(form), vault_(vault) {}

sqlite3_stmt* RowWriter::statement(bool insert, const Fields& which) {
  Statement& statement = statements_[(insert ? 1u << kFieldCount : 0u) | maskOf(which)];
  if (!statement) statement = prepare(cn_, writeSql(insert, which));
  sqlite3_reset(statement.get());
  sqlite3_clear_bindings(statement.get());
  return statement.get();
}

// A sealed form binds all five, a plain store those given, as ?1, ?2, ...
void RowWriter::bind(sqlite3_stmt* statement, const Account& account, const Fields& which) {
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
}

bool RowWriter::step(sqlite3_stmt* statement) {
  cn_.check(sqlite3_step(statement));
  return sqlite3_changes64(cn_.handle()) > 0;
}

RowId RowWriter::insert(const Account& account, const Fields& which) {
  const Fields& written = form_ == Form::Plain ? which : kAll;
  sqlite3_stmt* insert = statement(true, written);
  bind(insert, account, written);
  step(insert);
  return sqlite3_last_insert_rowid(cn_.handle());
}

bool RowWriter::update(RowId row, const Account& account, const Fields& which) {
  const Fields& written = form_ == Form::Plain ? which : kAll;
  if (maskOf(written) == 0) return true;  // nothing to write
  sqlite3_stmt* update = statement(false, written);
  bind(update, account, written);
  sqlite3_bind_int64(update, static_cast<int>(std::count(written.begin(), written.end(), true)) + 1,
                     row);
  return step(update);
}

bool RowWriter::remove(RowId row) {
  if (!remove_) remove_ = prepare(cn_, "DELETE FROM 账号集合 WHERE rowid=?1");
  sqlite3_reset(remove_.get());
  sqlite3_bind_int64(remove_.get(), 1, row);
  return step(remove_.get());
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
