#pragma once

// Accounts read from the file, and opened as the windows see them in the form of the store.
#include <sqlite3.h>

#include <optional>

#include "Account.h"

namespace store {

class Connection;

StoredField storedField(sqlite3_stmt* statement, int column);

// A row's fields copied out of the file, so that no statement is left on it (a statement left
// on a row keeps a read lock, which would block a second instance's writes for as long as a
// question box waits for the user).
struct RowCopy {
  std::array<std::string, kFieldCount> bytes;
  std::array<bool, kFieldCount> blob{}, null{};
  StoredRow view() const;
};
// Row `id`; nullopt when there is none.
std::optional<RowCopy> readRow(const Connection& cn, RowId id);

// Field `i` of a stored row as the windows see it. Anything that is not what the store's form
// and key make of an account (a sealed value where plain text belongs or the other way round,
// a field that does not open) throws StoreError, after making sure that the store was not
// converted by another program meanwhile: it is never shown.
Value openStored(const Connection& cn, const StoredRow& row, std::size_t i);

}  // namespace store
