#pragma once

// The summary of a store sealed whole: every account's name and type, sealed again many
// thousands of accounts to a value, so that a start opens a few values instead of two for each
// account. A row is taken from it only while its sealed name and type are still the bytes the
// summary was made from (their tags say so); any other row is opened as it would be without it.
// So a summary that is stale, doctored or from another store never shows anything that the
// file's own sealed bytes would not.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Account.h"
#include "Sql.h"
#include "Vault.h"

namespace store {

// One account as the summary holds it; the views are valid as long as what it was read from.
struct SummaryEntry {
  RowId row = 0;
  std::uint64_t nameTag = 0, typeTag = 0;  // the first bytes of the sealed fields' tags
  std::string_view name;
  std::optional<std::string_view> type;
};

// The summary's values as the file holds them, back to back, for a walk to open once the key is
// there.
struct SealedSummary {
  struct Value {
    std::int64_t number;
    std::size_t at, size;
  };
  bool table = false;  // the store has the summary's table, so it may be written
  std::unique_ptr<char[]> bytes;
  std::vector<Value> values;  // by number
};
// A table that cannot be read holds no summary.
SealedSummary readSummary(const Connection& cn);

// Writes a summary, its entries given in rowid order, within the caller's transaction.
class SummaryWriter {
 public:
  // Into a table made anew (by a conversion), or emptied first.
  SummaryWriter(const Connection& cn, const Vault& vault, bool newTable);
  void add(const SummaryEntry& entry);
  // Accounts (in rowid order) just written sealed whole: their sealed names and types are read
  // back from the file.
  void addWritten(const std::vector<std::pair<RowId, Account>>& accounts);
  // Seals and stores the entries added since the last value.
  void finish();

 private:
  const Connection& cn_;
  const Vault& vault_;
  Statement insert_, readBack_;
  std::string text_;
  std::size_t entries_ = 0;
  std::int64_t number_ = 0;
};

// A plain store keeps none.
void dropSummary(const Connection& cn);

// The summary opened for a walk of names and types, and what the walk did with it: from the
// rows it walked a new one is written when it is missing or too far behind.
class Summary {
 public:
  // Opened where it lies and checked, holding no entry when any value does not open or is not
  // one that this program writes: a summary is only a shortcut, and without it every row is
  // opened.
  Summary(const Connection& cn, SealedSummary sealed);

  // The walk's rows come in rowid order; a cursor follows them through the entries.
  struct Cursor {
    std::size_t value = 0, at = 1;
  };
  // Where the entry of `row` lies while the row's sealed name and type are those it was made
  // from; 0 when it has none.
  std::uint64_t match(Cursor& cursor, RowId row, const StoredField& name,
                      const StoredField& type) const;
  SummaryEntry entry(std::uint64_t place) const;

  // Each row of the walk in turn: served from the entry at `place`, or opened.
  void served(std::uint64_t place);
  void opened(RowId row, const StoredField& name, const StoredField& type, const Opened& openedName,
              const Opened& openedType);
  // At the end of a walk that saw no write and whose names all opened: a new summary, when the
  // old one is missing or too far behind, in a transaction of its own on a store that may be
  // written. The change counter it found the file at when it wrote one.
  std::optional<std::uint32_t> writeIfBehind(Connection& cn);

 private:
  struct Value {
    std::string_view text;  // opened: the format's byte, then the entries one after the other
    RowId first = 0, last = 0;
  };
  std::unique_ptr<char[]> bytes_;  // as read, then opened in place
  std::vector<Value> values_;
  bool writable_;
  bool unopened_ = false;                 // a row of the walk did not open
  std::size_t rows_ = 0, freshRows_ = 0;  // rows walked; those opened that it could hold
  std::vector<std::uint64_t> served_;     // in the walk's order
  std::string fresh_;                     // the entries of the rows opened
};

}  // namespace store
