#pragma once

// The one place that writes accounts into the file: the windows' record sets, the conversions
// of a whole store, the import and the merge all write through it.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "Account.h"
#include "Sql.h"
#include "Vault.h"

namespace store {

class Connection;

// Takes an account's five values, seals them where the form asks for it, and inserts, updates
// or removes a row, keeping the account's identity, its versions and its deletion record. The
// caller chooses the transaction.
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

  // A new account, with a new identity unless it brings its own (and then its versions, if
  // known).
  RowId insert(const Account& account, const Fields& which = kAll, std::string_view identity = {},
               std::string_view versions = {});
  // A change of the account in `row`: a new version of it, unless the versions of the one it
  // now equals are given. False when the row no longer exists.
  bool update(RowId row, const Account& account, const Fields& which = kAll,
              std::string_view versions = {});
  // The same account stored again in another form: not a change.
  void reseal(RowId row, const Account& account);
  // Removes the account, keeping its identity and the time (now, or when another copy of the
  // book deleted it) as its deletion record; records older than two years go. False when the
  // row no longer exists.
  bool remove(RowId row, std::string_view deletedAt = {});
  // The versions an account with `identity` now has (a merge decided them).
  void setVersions(std::string_view identity, std::string_view versions);
  // That the account with `identity` was deleted at `deletedAt` (the later time is kept).
  void keepDeletion(std::string_view identity, std::string_view deletedAt);

 private:
  enum Kind { kInsert, kUpdate, kReseal };
  sqlite3_stmt* statement(Kind kind, const Fields& which);
  sqlite3_stmt* fixed(std::size_t i, const std::string& sql);
  int bind(sqlite3_stmt* statement, const Account& account, const Fields& which);
  void bindBlob(sqlite3_stmt* statement, int index, std::string_view bytes);
  // Steps a statement that returns the identity of the row it wrote; nullopt when none.
  std::optional<std::string> stepReturning(sqlite3_stmt* statement);

  const Connection& cn_;
  Form form_;
  const Vault* vault_;
  std::array<Statement, 3 << kFieldCount> statements_;  // by kind and fields written
  std::array<Statement, 6> fixed_;
};

// A write of one account by the windows: a durable transaction of its own that first makes
// sure that the store is still as it was opened. The name catalog of a store sealed whole
// follows it; `oldName` is the row's name before an update or removal.
RowId insertAccount(Connection& cn, const Account& account, const RowWriter::Fields& which);
bool updateAccount(Connection& cn, RowId row, const Account& account,
                   const RowWriter::Fields& which, std::optional<std::string_view> oldName);
bool removeAccount(Connection& cn, RowId row, std::optional<std::string_view> oldName);

}  // namespace store
