#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "Account.h"

namespace store {

// Which rows of a store sealed whole may hold a name. SQL cannot look a sealed name up, so the
// names are kept here as keyed hashes, as of the file's change counter when a walk read them
// all, and kept up to date by this process's own writes; any other change to the file makes
// the catalog stale, to be read anew. The rows it gives are only candidates: the caller opens
// each.
class NameCatalog {
 public:
  NameCatalog();
  std::uint64_t hash(std::string_view name) const;

  using Entry = std::pair<std::uint64_t, RowId>;  // a name's hash, its row
  // Every row of the file as it was at `counter`.
  void replace(std::vector<Entry> entries, std::uint32_t counter);
  bool validAt(std::optional<std::uint32_t> counter) const { return valid_ && counter == counter_; }
  // The number of rows of the file, while it is valid.
  std::size_t count() const { return count_; }
  // The rows that may hold `name`, in rowid order.
  std::vector<RowId> rows(std::string_view name) const;

  // A write of this process to `row`, made in a transaction that found the file at `before`
  // and changed it when `changed`: its name before (nullopt for a new row) and after (nullopt
  // when it was removed). Costs O(log n).
  void written(std::optional<std::uint32_t> before, bool changed, RowId row,
               std::optional<std::string_view> oldName, std::optional<std::string_view> newName);

 private:
  unsigned char key_[16];
  std::vector<Entry> entries_;                 // sorted, as the last walk read them
  std::vector<bool> removed_;                  // those of entries_ written since
  std::multimap<std::uint64_t, RowId> added_;  // rows written since
  std::uint32_t counter_ = 0;
  std::size_t count_ = 0;
  bool valid_ = false;
};

}  // namespace store
