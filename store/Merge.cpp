#include "Merge.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Connection.h"
#include "Identity.h"
#include "RowWriter.h"
#include "Sql.h"
#include "StoreError.h"
#include "StoredRow.h"
#include "Texts.h"
#include "Timestamp.h"

namespace store {
namespace {

// A million identities are kept as plain arrays: a string of 16 bytes would not fit inline.
using Key = std::array<char, kIdentitySize>;
struct Entry {
  Key identity;
  RowId row;
};
std::string_view bytesOf(const Key& key) {
  return {key.data(), key.size()};
}

using ByIdentity = std::unordered_map<std::string, std::string>;

[[noreturn]] void refuse(const Connection& cn, std::string_view reason) {
  throw StoreError(errnum::kNotMergeable, fillText(texts::kMergeRefused, cn.path(), reason));
}

bool hasTable(const Connection& cn, const char* table) {
  return !firstColumn(cn, std::string("SELECT name FROM sqlite_master WHERE name='") + table + "'")
              .empty();
}

// The accounts of a store, sorted by identity. Those of a store that an older release last wrote
// get the identities the program would give them before its first write.
std::vector<Entry> accountsOf(const Connection& cn) {
  const bool stored = hasIdentities(cn);
  const Statement read =
      prepare(cn, "SELECT rowid, " + (stored ? kIdentity : columnList()) + " FROM 账号集合");
  std::vector<Entry> entries;
  int rc;
  while ((rc = sqlite3_step(read.get())) == SQLITE_ROW) {
    const RowId row = sqlite3_column_int64(read.get(), 0);
    std::string made;
    StoredField identity = storedField(read.get(), 1);
    if (!stored) {
      StoredRow fields;
      for (std::size_t i = 0; i < kFieldCount; ++i)
        fields[i] = storedField(read.get(), static_cast<int>(i) + 1);
      identity.bytes = made = madeIdentity(row, fields);
    } else if (identity.null) {
      refuse(cn, texts::kMergeNoIdentity);
    } else if (identity.bytes.size() != kIdentitySize) {
      refuse(cn, texts::kMergeBadIdentity);
    }
    Entry& entry = entries.emplace_back();
    std::memcpy(entry.identity.data(), identity.bytes.data(), kIdentitySize);
    entry.row = row;
  }
  cn.check(rc);
  const auto before = [](const Entry& a, const Entry& b) { return a.identity < b.identity; };
  std::ranges::sort(entries, before);
  if (std::ranges::adjacent_find(entries, {}, &Entry::identity) != entries.end())
    refuse(cn, texts::kMergeIdentityTwice);
  return entries;
}

// Each row of a two-column table of identities, checked by `valid`.
template <typename Valid>
ByIdentity tableOf(const Connection& cn, const char* table, const char* column, Valid&& valid) {
  ByIdentity out;
  if (!hasTable(cn, table)) return out;
  const Statement read =
      prepare(cn, std::string("SELECT ") + kIdentity + ", " + column + " FROM " + table);
  int rc;
  while ((rc = sqlite3_step(read.get())) == SQLITE_ROW) {
    const StoredField identity = storedField(read.get(), 0), value = storedField(read.get(), 1);
    const bool whole = identity.bytes.size() == kIdentitySize && !value.null;
    valid(whole ? std::optional<std::string_view>(value.bytes) : std::nullopt);
    out.emplace(identity.bytes, value.bytes);
  }
  cn.check(rc);
  return out;
}

ByIdentity versionsOf(const Connection& cn) {
  return tableOf(cn, kVersionTable, "版本", [&](std::optional<std::string_view> versions) {
    if (!versions || versions->empty() || versions->size() % kVersionSize ||
        versions->size() > kVersionsKept * kVersionSize)
      refuse(cn, texts::kMergeBadVersions);
  });
}

std::string timestampIn(std::time_t seconds) {
  std::tm local{};
  localtime_r(&seconds, &local);
  return timestampText(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                       local.tm_min, local.tm_sec);
}

bool isTimestamp(std::string_view text) {
  static constexpr std::string_view shape = "0000/00/00 00:00:00";
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i)
    if (shape[i] == '0' ? text[i] < '0' || text[i] > '9' : text[i] != shape[i]) return false;
  return true;
}

// Deletion records; one dated after tomorrow (a day for clocks that differ) was not made by a
// deletion.
ByIdentity deletionsOf(const Connection& cn) {
  const std::string tomorrow = timestampIn(std::time(nullptr) + 24 * 3600);
  return tableOf(cn, kDeletedTable, "删除时间", [&](std::optional<std::string_view> when) {
    if (!when || !isTimestamp(*when)) refuse(cn, texts::kMergeBadDeletion);
    if (*when > tomorrow) refuse(cn, fillText(texts::kMergeFutureDeletion, *when));
  });
}

std::string_view newest(std::string_view versions) {
  return versions.substr(0, kVersionSize);
}

bool holds(std::string_view versions, std::string_view version) {
  for (std::size_t at = 0; at < versions.size(); at += kVersionSize)
    if (versions.substr(at, kVersionSize) == version) return true;
  return false;
}

Account accountAt(const Connection& cn, RowId row) {
  const std::optional<RowCopy> copy = readRow(cn, row);
  Account account;
  if (!copy) return account;
  const StoredRow stored = copy->view();
  for (std::size_t i = 0; i < kFieldCount; ++i) account[i] = openStored(cn, stored, i);
  return account;
}

std::string_view modifiedOf(const Account& account) {
  return account[kModifiedAt] ? std::string_view(*account[kModifiedAt]) : std::string_view();
}

class Merger {
 public:
  Merger(const Connection& into, const Connection& other)
      : into_(into),
        other_(other),
        mine_(accountsOf(into)),
        theirs_(accountsOf(other)),
        myVersions_(versionsOf(into)),
        theirVersions_(versionsOf(other)),
        myDeletions_(deletionsOf(into)),
        theirDeletions_(deletionsOf(other)),
        writer_(into) {}

  MergeCounts run() {
    auto mine = mine_.begin(), theirs = theirs_.begin();
    while (mine != mine_.end() || theirs != theirs_.end()) {
      if (theirs == theirs_.end() || (mine != mine_.end() && mine->identity < theirs->identity))
        onlyMine(*mine++);
      else if (mine == mine_.end() || theirs->identity < mine->identity)
        onlyTheirs(*theirs++);
      else
        both(*mine++, *theirs++);
    }
    const std::string longAgo = timestampNow(2);
    for (const auto& [identity, when] : theirDeletions_) {
      const auto known = myDeletions_.find(identity);
      if (when >= longAgo && (known == myDeletions_.end() || known->second < when))
        writer_.keepDeletion(identity, when);
    }
    return counts_;
  }

 private:
  std::string versions(const ByIdentity& known, const Key& identity) const {
    const auto found = known.find(std::string(bytesOf(identity)));
    return found != known.end() ? found->second : firstVersion(bytesOf(identity));
  }

  // Deleted there, and not changed here since.
  void onlyMine(const Entry& mine) {
    const auto deleted = theirDeletions_.find(std::string(bytesOf(mine.identity)));
    if (deleted == theirDeletions_.end()) return;
    if (modifiedOf(accountAt(into_, mine.row)) > deleted->second) return;
    writer_.remove(mine.row, deleted->second);
    ++counts_.deleted;
  }

  // Added there, unless deleted here after it was last changed there.
  void onlyTheirs(const Entry& theirs) {
    const std::string identity(bytesOf(theirs.identity));
    if (added_.contains(identity)) return;
    const Account account = accountAt(other_, theirs.row);
    const auto deleted = myDeletions_.find(identity);
    if (deleted != myDeletions_.end() && deleted->second >= modifiedOf(account)) return;
    const auto versions = theirVersions_.find(identity);
    writer_.insert(account, RowWriter::kAll, identity,
                   versions != theirVersions_.end() ? versions->second : std::string());
    added_.insert(identity);
    ++counts_.added;
  }

  void both(const Entry& mine, const Entry& theirs) {
    const std::string myVersions = versions(myVersions_, mine.identity);
    const std::string theirVersions = versions(theirVersions_, theirs.identity);
    if (holds(myVersions, newest(theirVersions))) return;  // the same, or changed only here
    if (holds(theirVersions, newest(myVersions))) {        // changed only there
      writer_.update(mine.row, accountAt(other_, theirs.row), RowWriter::kAll, theirVersions);
      ++counts_.updated;
      return;
    }
    // Changed on both sides: the later change wins (the newer version on a tie, so that both
    // copies choose alike); the other stays beside it. The winner's versions continue both.
    const Account myAccount = accountAt(into_, mine.row);
    const Account theirAccount = accountAt(other_, theirs.row);
    const bool theirsWin = modifiedOf(theirAccount) != modifiedOf(myAccount)
                               ? modifiedOf(theirAccount) > modifiedOf(myAccount)
                               : newest(theirVersions) > newest(myVersions);
    const std::string& won = theirsWin ? theirVersions : myVersions;
    const std::string& lost = theirsWin ? myVersions : theirVersions;
    const std::string merged = (std::string(newest(won)) += newest(lost)) +=
        std::string_view(won).substr(kVersionSize, (kVersionsKept - 2) * kVersionSize);
    const std::string identity(bytesOf(mine.identity));
    if (theirsWin) {
      writer_.update(mine.row, theirAccount, RowWriter::kAll, merged);
      ++counts_.updated;
    } else {
      writer_.setVersions(identity, merged);
    }
    keepLoser(identity, newest(lost), theirsWin ? myAccount : theirAccount,
              theirsWin ? theirAccount : myAccount);
  }

  // A version that lost is kept as an account of its own, unless it says what the winner says.
  void keepLoser(const std::string& identity, std::string_view version, Account loser,
                 const Account& winner) {
    if (std::equal(loser.begin(), loser.begin() + kCreatedAt, winner.begin())) return;
    const std::string copy = conflictIdentity(identity, version);
    Key key;
    std::memcpy(key.data(), copy.data(), kIdentitySize);
    if (std::ranges::binary_search(mine_, key, {}, &Entry::identity) || added_.contains(copy) ||
        myDeletions_.contains(copy))
      return;
    loser[kNameAt] = loser[kNameAt].value_or("") + texts::kConflictCopySuffix;
    writer_.insert(loser, RowWriter::kAll, copy);
    added_.insert(copy);
    ++counts_.copies;
  }

  const Connection& into_;
  const Connection& other_;
  const std::vector<Entry> mine_, theirs_;
  const ByIdentity myVersions_, theirVersions_, myDeletions_, theirDeletions_;
  RowWriter writer_;
  std::unordered_set<std::string> added_;  // identities this merge added
  MergeCounts counts_;
};

}  // namespace

MergeCounts mergeStores(const Connection& into, const Connection& other) {
  return Merger(into, other).run();
}

}  // namespace store
