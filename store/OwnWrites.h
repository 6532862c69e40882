#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "Account.h"

namespace store {

class Connection;

// The rows this process wrote to a store, and at which state of the file: whoever read the whole
// file at some change counter can tell whether only these rows changed since, and follow them
// instead of reading everything again.
class OwnWrites {
 public:
  // A write to `row` in a transaction that found the file at `before` and changed it; without a
  // row, one that changed no account (the summary of the accounts).
  void written(std::optional<std::uint32_t> before, std::optional<RowId> row);
  // The rows written since the file was at `counter`, when the file is now at `now` through
  // these writes alone; nullopt when another program wrote meanwhile (or it is too long ago).
  std::optional<std::vector<RowId>> since(std::uint32_t counter,
                                          std::optional<std::uint32_t> now) const;

 private:
  std::deque<std::pair<std::uint32_t, std::optional<RowId>>> log_;  // oldest first
};

// An account as the tree needs it, as it is now after writes of this process.
struct ChangedAccount {
  RowId row;
  bool removed = false;
  std::string name, type;
};
// The accounts this process changed since the file was at `counter`, in store order, and
// `counter` moved on to where the file is now; nullopt when another program changed the file
// meanwhile.
std::optional<std::vector<ChangedAccount>> ownChangesSince(Connection& cn, std::uint32_t& counter);

}  // namespace store
