#include "Summary.h"

#include <sqlite3.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <future>

#include "Connection.h"
#include "OwnWrites.h"
#include "StoreError.h"
#include "StoredRow.h"
#include "Vault.h"

namespace store {
namespace {

constexpr char kTable[] = "账号摘要";
// A value holds this many accounts at most, or a little more than this many bytes: none grows
// near SQLite's limits, and the values of a million accounts are opened on both cores.
constexpr std::size_t kValueEntries = 65536;
constexpr std::size_t kValueBytes = std::size_t{16} << 20;
// A longer name or type is left out: its account is opened at each start.
constexpr std::size_t kLongest = 4096;
// An opened value: this byte, then its entries one after the other.
constexpr char kFormat = 1;
constexpr std::uint32_t kNullType = 0xffffffff;
constexpr std::size_t kPage = 4096, kHugePage = std::size_t{2} << 20;
// Rows opened rather than served that make a new summary worth writing.
constexpr std::size_t kBehindAtLeast = 4096, kBehindShare = 16;

// A value bound to its place, so that none stands for another.
std::string label(std::int64_t number) {
  return std::string(kTable) + std::to_string(number);
}

std::optional<std::uint64_t> fingerprint(const StoredField& field) {
  const std::string_view tag = tagOf(field);
  std::uint64_t out = 0;
  if (tag.size() < sizeof out) return std::nullopt;
  std::memcpy(&out, tag.data(), sizeof out);
  return out;
}

// The entry of an opened row, when the summary can hold it.
std::optional<SummaryEntry> entryOf(RowId row, const StoredField& name, const StoredField& type,
                                    std::optional<std::string_view> openedName,
                                    std::optional<std::string_view> openedType) {
  const auto nameTag = fingerprint(name), typeTag = fingerprint(type);
  if (!nameTag || !typeTag || !openedName || openedName->size() > kLongest ||
      (openedType && openedType->size() > kLongest))
    return std::nullopt;
  return SummaryEntry{row, *nameTag, *typeTag, *openedName, openedType};
}

std::optional<std::string_view> valueOf(const Opened& opened) {
  return opened.null ? std::nullopt : std::optional(opened.value);
}

template <typename T>
void put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void append(std::string& out, const SummaryEntry& entry) {
  put(out, entry.row);
  put(out, entry.nameTag);
  put(out, entry.typeTag);
  put(out, static_cast<std::uint32_t>(entry.name.size()));
  out += entry.name;
  put(out, entry.type ? static_cast<std::uint32_t>(entry.type->size()) : kNullType);
  if (entry.type) out += *entry.type;
}

template <typename T>
bool take(std::string_view& in, T& value) {
  if (in.size() < sizeof value) return false;
  std::memcpy(&value, in.data(), sizeof value);
  in.remove_prefix(sizeof value);
  return true;
}

bool takeText(std::string_view& in, std::uint32_t size, std::string_view& text) {
  if (size > in.size()) return false;
  text = in.substr(0, size);
  in.remove_prefix(size);
  return true;
}

// The entry at `at` of entries appended one after the other, `at` moved past it; false when
// there is none that append() made.
bool decode(std::string_view text, std::size_t& at, SummaryEntry& entry) {
  std::string_view in = text.substr(std::min(at, text.size()));
  std::uint32_t size = 0;
  if (!take(in, entry.row) || !take(in, entry.nameTag) || !take(in, entry.typeTag) ||
      !take(in, size) || !takeText(in, size, entry.name) || !take(in, size))
    return false;
  entry.type.reset();
  if (size != kNullType && !takeText(in, size, entry.type.emplace())) return false;
  at = text.size() - in.size();
  return true;
}

}  // namespace

SealedSummary readSummary(const Connection& cn) {
  SealedSummary out;
  std::size_t total = 0;
  try {
    out.table = !firstColumn(cn, std::string("SELECT name FROM sqlite_master WHERE type='table' "
                                             "AND name='") +
                                     kTable + "'")
                     .empty();
    if (!out.table) return out;
    const Statement list =
        prepare(cn, std::string("SELECT 编号, length(摘要) FROM ") + kTable + " ORDER BY 编号");
    int rc;
    while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
      const auto size = static_cast<std::size_t>(sqlite3_column_int64(list.get(), 1));
      out.values.push_back({sqlite3_column_int64(list.get(), 0), total, size});
      total += size;
    }
    cn.check(rc);
  } catch (const StoreError&) {
    out.values.clear();
    return out;
  }
  // Read straight into memory of its own, in huge pages where the system gives them: a million
  // accounts' summary then costs a few dozen page faults rather than some fifteen thousand.
  out.bytes.reset(new char[total]);
  if (total >= kHugePage) {
    const auto start = reinterpret_cast<std::uintptr_t>(out.bytes.get());
    const std::uintptr_t from = (start + kPage - 1) / kPage * kPage;
    madvise(reinterpret_cast<void*>(from), (start + total) / kPage * kPage - from, MADV_HUGEPAGE);
  }
  for (const SealedSummary::Value& value : out.values) {
    sqlite3_blob* blob = nullptr;
    const bool read = sqlite3_blob_open(cn.handle(), "main", kTable, "摘要", value.number, 0,
                                        &blob) == SQLITE_OK &&
                      static_cast<std::size_t>(sqlite3_blob_bytes(blob)) == value.size &&
                      sqlite3_blob_read(blob, out.bytes.get() + value.at,
                                        static_cast<int>(value.size), 0) == SQLITE_OK;
    sqlite3_blob_close(blob);
    if (!read) {
      out.values.clear();
      break;
    }
  }
  return out;
}

SummaryWriter::SummaryWriter(const Connection& cn, const Vault& vault, bool newTable)
    : cn_(cn), vault_(vault), text_(1, kFormat) {
  if (newTable) {
    dropSummary(cn);
    exec(cn,
         std::string("CREATE TABLE ") + kTable + "(编号 INTEGER PRIMARY KEY, 摘要 BLOB NOT NULL)");
  } else {
    exec(cn, std::string("DELETE FROM ") + kTable);
  }
  insert_ = prepare(cn, std::string("INSERT INTO ") + kTable + " VALUES(?1, ?2)");
}

void SummaryWriter::add(const SummaryEntry& entry) {
  append(text_, entry);
  if (++entries_ == kValueEntries || text_.size() >= kValueBytes) finish();
}

void SummaryWriter::addWritten(const std::vector<std::pair<RowId, Account>>& accounts) {
  if (accounts.empty()) return;
  if (!readBack_)
    readBack_ = prepare(cn_, std::string("SELECT rowid, ") + kName + ", " + kType +
                                 " FROM 账号集合 WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid");
  sqlite3_stmt* read = readBack_.get();
  sqlite3_reset(read);
  sqlite3_bind_int64(read, 1, accounts.front().first);
  sqlite3_bind_int64(read, 2, accounts.back().first);
  auto account = accounts.begin();
  int rc;
  while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
    const RowId row = sqlite3_column_int64(read, 0);
    while (account != accounts.end() && account->first < row) ++account;
    if (account == accounts.end() || account->first != row) continue;
    const Value &name = account->second[kNameAt], &type = account->second[kTypeAt];
    const auto entry = entryOf(row, storedField(read, 1), storedField(read, 2),
                               name ? std::optional<std::string_view>(*name) : std::nullopt,
                               type ? std::optional<std::string_view>(*type) : std::nullopt);
    if (entry) add(*entry);
  }
  cn_.check(rc);
}

void SummaryWriter::finish() {
  if (entries_ == 0) return;
  const std::string sealed = vault_.sealValue(text_, label(number_));
  sqlite3_stmt* insert = insert_.get();
  sqlite3_reset(insert);
  sqlite3_bind_int64(insert, 1, number_);
  sqlite3_bind_blob64(insert, 2, sealed.data(), sealed.size(), SQLITE_STATIC);
  cn_.check(sqlite3_step(insert));
  ++number_;
  entries_ = 0;
  text_.assign(1, kFormat);
}

void dropSummary(const Connection& cn) {
  exec(cn, std::string("DROP TABLE IF EXISTS ") + kTable);
}

Summary::Summary(const Connection& cn, SealedSummary sealed)
    : bytes_(std::move(sealed.bytes)),
      values_(sealed.values.size()),
      writable_(sealed.table && sqlite3_db_readonly(cn.handle(), "main") == 0) {
  const Vault& vault = cn.vault();
  // Opened and checked entry by entry, every other value on a second thread.
  const auto open = [&](std::size_t first) {
    bool ok = true;
    for (std::size_t i = first; ok && i < values_.size(); i += 2) {
      Value& value = values_[i];
      const SealedSummary::Value& stored = sealed.values[i];
      const auto text =
          vault.openValue({bytes_.get() + stored.at, stored.size}, label(stored.number));
      ok = text && text->size() > 1 && text->front() == kFormat;
      if (ok) value.text = *text;
      SummaryEntry entry;
      for (std::size_t at = 1; ok && at < value.text.size();) {
        const bool first = at == 1;
        ok = decode(value.text, at, entry) && (first || entry.row > value.last);
        if (first) value.first = entry.row;
        value.last = entry.row;
      }
    }
    return ok;
  };
  std::future<bool> second = std::async(std::launch::async, open, 1);
  bool ok = open(0);
  ok = second.get() && ok;
  for (std::size_t i = 1; ok && i < values_.size(); ++i)
    ok = values_[i - 1].last < values_[i].first;
  if (!ok) values_.clear();
}

std::uint64_t Summary::match(Cursor& cursor, RowId row, const StoredField& name,
                             const StoredField& type) const {
  SummaryEntry entry;
  for (; cursor.value < values_.size(); ++cursor.value, cursor.at = 1) {
    const std::string_view text = values_[cursor.value].text;
    for (std::size_t at = cursor.at; decode(text, at, entry); cursor.at = at) {
      if (entry.row < row) continue;
      return entry.row == row && fingerprint(name) == entry.nameTag &&
                     fingerprint(type) == entry.typeTag
                 ? cursor.value << 32 | cursor.at
                 : 0;
    }
  }
  return 0;
}

SummaryEntry Summary::entry(std::uint64_t place) const {
  SummaryEntry out;
  std::size_t at = place & 0xffffffff;
  decode(values_[place >> 32].text, at, out);
  return out;
}

void Summary::served(std::uint64_t place) {
  ++rows_;
  if (writable_) served_.push_back(place);
}

void Summary::opened(RowId row, const StoredField& name, const StoredField& type,
                     const Opened& openedName, const Opened& openedType) {
  ++rows_;
  unopened_ = unopened_ || !openedName.ok || !openedType.ok;
  const auto entry = entryOf(row, name, type, valueOf(openedName), valueOf(openedType));
  if (!writable_ || !entry || unopened_) return;
  append(fresh_, *entry);
  ++freshRows_;
}

std::optional<std::uint32_t> Summary::writeIfBehind(Connection& cn) {
  const bool missing = served_.empty();
  if (!writable_ || unopened_ || freshRows_ == 0 ||
      (!missing && freshRows_ <= std::max(kBehindAtLeast, rows_ / kBehindShare)) ||
      !sqlite3_get_autocommit(cn.handle()))
    return std::nullopt;
  std::optional<std::uint32_t> before;
  try {
    inTransaction(cn, [&] {
      before = cn.changeCounter();
      SummaryWriter writer(cn, cn.vault(), false);
      // Both in rowid order, and no row in both.
      SummaryEntry old, fresh;
      std::size_t s = 0, f = 0;
      const auto nextOld = [&] {
        if (s == served_.size()) return false;
        old = entry(served_[s++]);
        return true;
      };
      for (bool o = nextOld(), n = decode(fresh_, f, fresh); o || n;) {
        const bool takeOld = o && (!n || old.row < fresh.row);
        writer.add(takeOld ? old : fresh);
        if (takeOld)
          o = nextOld();
        else
          n = decode(fresh_, f, fresh);
      }
      writer.finish();
      return true;
    });
  } catch (const StoreError&) {
    return std::nullopt;  // written at a later walk
  }
  cn.ownWrites().written(before, std::nullopt);
  return before;
}

}  // namespace store
