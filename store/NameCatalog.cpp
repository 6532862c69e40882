#include "NameCatalog.h"

#include <sodium.h>

#include <algorithm>
#include <cstddef>

namespace store {

NameCatalog::NameCatalog() {
  randombytes_buf(key_, sizeof key_);  // names from a file cannot be chosen to collide
}

std::uint64_t NameCatalog::hash(std::string_view name) const {
  std::uint64_t out = 0;
  crypto_shorthash(reinterpret_cast<unsigned char*>(&out),
                   reinterpret_cast<const unsigned char*>(name.data()), name.size(), key_);
  return out;
}

// Hashes are spread evenly, so a million entries sort fastest by their first 16 bits into as
// many buckets, each of a few entries left to sort.
void NameCatalog::replace(std::vector<Entry> entries, std::uint32_t counter) {
  std::vector<std::uint32_t> starts((1 << 16) + 1);
  for (const Entry& entry : entries) ++starts[(entry.first >> 48) + 1];
  for (std::size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
  std::vector<Entry> sorted(entries.size());
  std::vector<std::uint32_t> fill(starts.begin(), starts.end() - 1);
  for (const Entry& entry : entries) sorted[fill[entry.first >> 48]++] = entry;
  for (std::size_t b = 0; b + 1 < starts.size(); ++b)
    std::sort(sorted.begin() + starts[b], sorted.begin() + starts[b + 1]);
  count_ = entries.size();
  entries_ = std::move(sorted);
  removed_.assign(entries_.size(), false);
  added_.clear();
  counter_ = counter;
  valid_ = true;
}

std::vector<RowId> NameCatalog::rows(std::string_view name) const {
  const std::uint64_t h = hash(name);
  std::vector<RowId> out;
  const auto [first, last] =
      std::equal_range(entries_.begin(), entries_.end(), Entry{h, 0},
                       [](const Entry& a, const Entry& b) { return a.first < b.first; });
  for (auto at = first; at != last; ++at)
    if (!removed_[static_cast<std::size_t>(at - entries_.begin())]) out.push_back(at->second);
  const auto [from, to] = added_.equal_range(h);
  for (auto at = from; at != to; ++at) out.push_back(at->second);
  std::sort(out.begin(), out.end());
  return out;
}

void NameCatalog::written(std::optional<std::uint32_t> before, bool changed, RowId row,
                          std::optional<std::string_view> oldName,
                          std::optional<std::string_view> newName) {
  if (!validAt(before)) {
    valid_ = false;  // another program wrote meanwhile
    return;
  }
  if (!changed) return;
  if (oldName) {
    const Entry old{hash(*oldName), row};
    const auto [from, to] = added_.equal_range(old.first);
    const auto again = std::find_if(from, to, [row](const auto& e) { return e.second == row; });
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), old);
    if (again != to)
      added_.erase(again);
    else if (at != entries_.end() && *at == old)
      removed_[static_cast<std::size_t>(at - entries_.begin())] = true;
  }
  if (newName) added_.emplace(hash(*newName), row);
  count_ = count_ + (newName ? 1 : 0) - (oldName ? 1 : 0);
  counter_ = *before + 1;  // a write transaction counts once
}

}  // namespace store
