#pragma once

// The one place that writes accounts into the file: the windows' record sets, the conversions
// of a whole store and the import all write through it.
#include <array>
#include <optional>
#include <string_view>

#include "Account.h"
#include "Sql.h"
#include "Vault.h"

namespace store {

class Connection;

// Takes an account's five values, seals them where the form asks for it, and inserts, updates
// or removes a row. The caller chooses the transaction.
class RowWriter {
 public:
  // Which fields a write stores: on a plain store those given (an update leaves the others as
  // they are), on a sealed one always all five.
  using Fields = std::array<bool, kFieldCount>;
  static constexpr Fields kAll = {true, true, true, true, true};

  // Writes in the connection's own form, or in `form` with `vault` (null when plain) for a
  // conversion that is turning the store into that form.
  explicit RowWriter(const Connection& cn);
  RowWriter(const Connection& cn, Form form, const Vault* vault);

  RowId insert(const Account& account, const Fields& which = kAll);
  // False when the row no longer exists.
  bool update(RowId row, const Account& account, const Fields& which = kAll);
  bool remove(RowId row);

 private:
  sqlite3_stmt* statement(bool insert, const Fields& which);
  void bind(sqlite3_stmt* statement, const Account& account, const Fields& which);
  bool step(sqlite3_stmt* statement);

  const Connection& cn_;
  Form form_;
  const Vault* vault_;
  std::array<Statement, 2 << kFieldCount> statements_;  // by insert/update and fields written
  Statement remove_;
};

// A write of one account by the windows: a durable transaction of its own that first makes
// sure that the store is still as it was opened. The name catalog of a store sealed whole
// follows it; `oldName` is the row's name before an update or removal.
RowId insertAccount(Connection& cn, const Account& account, const RowWriter::Fields& which);
bool updateAccount(Connection& cn, RowId row, const Account& account,
                   const RowWriter::Fields& which, std::optional<std::string_view> oldName);
bool removeAccount(Connection& cn, RowId row, std::optional<std::string_view> oldName);

}  // namespace store
