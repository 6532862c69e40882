#include "OwnWrites.h"

#include <algorithm>

#include "Connection.h"
#include "StoredRow.h"

namespace store {
namespace {

constexpr std::size_t kKept = 4096;  // writes remembered; a reader further behind reads anew

}  // namespace

void OwnWrites::written(std::optional<std::uint32_t> before, std::optional<RowId> row) {
  if (!before) return log_.clear();
  log_.emplace_back(*before, row);
  if (log_.size() > kKept) log_.pop_front();
}

std::optional<std::vector<RowId>> OwnWrites::since(std::uint32_t counter,
                                                   std::optional<std::uint32_t> now) const {
  if (!now) return std::nullopt;
  std::vector<RowId> rows;
  std::uint32_t at = counter;
  for (const auto& [before, row] : log_) {
    if (before - counter >= *now - counter) continue;  // before `counter`, or after now
    if (before != at) return std::nullopt;  // a transaction of another program in between
    if (row) rows.push_back(*row);
    ++at;
  }
  if (at != *now) return std::nullopt;
  return rows;
}

std::optional<std::vector<ChangedAccount>> ownChangesSince(Connection& cn, std::uint32_t& counter) {
  const std::optional<std::uint32_t> now = cn.changeCounter();
  std::optional<std::vector<RowId>> rows = cn.ownWrites().since(counter, now);
  if (!rows) return std::nullopt;
  counter = *now;
  std::sort(rows->begin(), rows->end());
  rows->erase(std::unique(rows->begin(), rows->end()), rows->end());
  std::vector<ChangedAccount> out;
  for (const RowId row : *rows) {
    const std::optional<RowCopy> copy = readRow(cn, row);
    ChangedAccount& changed = out.emplace_back(ChangedAccount{row, !copy, {}, {}});
    if (!copy) continue;
    changed.name = openStored(cn, copy->view(), kNameAt).value_or(std::string());
    changed.type = openStored(cn, copy->view(), kTypeAt).value_or(std::string());
  }
  return out;
}

}  // namespace store
