#pragma once

// An account's fields as the file holds them, in the form of the store: plain text, the content
// sealed alone (stores protected by earlier releases), or every field sealed.
#include <sqlite3.h>

#include <array>
#include <string>
#include <string_view>

#include "Vault.h"

namespace store {

class Connection;
enum class Form;

// One field as read from the file; `bytes` is valid as long as what it was read from.
struct StoredField {
  std::string_view bytes;
  bool blob = false;
  bool null = false;
};
using StoredRow = std::array<StoredField, 5>;
StoredField storedField(sqlite3_stmt* statement, int column);

// Field `i` of a stored row as the windows see it. Anything that is not what the store's form
// and key make of an account (a sealed value where plain text belongs or the other way round,
// a field that does not open) throws StoreError, after making sure that the store was not
// converted by another program meanwhile: it is never shown.
Field openStored(const Connection& cn, const StoredRow& row, std::size_t i);

// An account's fields made ready to be stored in `form` (with `vault` unless plain).
struct FieldToStore {
  std::string bytes;
  bool blob = false;
  bool null = false;
};
using RowToStore = std::array<FieldToStore, 5>;
RowToStore toStore(Form form, const Vault* vault, const std::array<Field, 5>& row);
void bindStored(const Connection& cn, sqlite3_stmt* statement, int index,
                const FieldToStore& field);

}  // namespace store
