#include "SealedScan.h"

#include <malloc.h>

#include <atomic>
#include <stdexcept>

#include "Connection.h"
#include "Protection.h"
#include "StoreError.h"
#include "StoredRow.h"

namespace store {
namespace {

constexpr std::size_t kBatchRows = 4096;                   // read from the file at a time
constexpr std::size_t kBatchBytes = std::size_t{8} << 20;  // however long the fields
constexpr std::size_t kChunkRows = 256;                    // opened at a time, by either thread

std::vector<std::size_t> columnsOf(const SealedScan::Fields& wanted) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < kFieldCount; ++i)
    if (wanted[i] || i == kNameAt) out.push_back(i);
  return out;
}

std::string scanSql(const SealedScan::Fields& wanted) {
  std::string sql = "SELECT rowid";
  for (const std::size_t i : columnsOf(wanted)) (sql += ',') += kFields[i];
  return sql + " FROM 账号集合 ORDER BY rowid";
}

}  // namespace

// Rows as read, the stored fields of those the summary does not serve back to back in `bytes`;
// each field is opened into `room` where its stored form is in `bytes`.
struct SealedScan::Batch {
  struct Slot {
    std::uint32_t begin = 0, size = 0;
    bool blob = false;
    Opened opened;
  };
  std::vector<std::size_t> columns;  // the fields read, in kFields order
  std::vector<RowId> ids;
  std::vector<std::uint64_t> served;  // per row on a walk with the summary: its entry, or 0
  std::vector<std::uint32_t> at;      // per row read with its fields: its first slot
  std::vector<std::uint64_t> nameHashes;
  std::vector<Slot> slots;  // columns.size() per row read with its fields
  std::string bytes, room;
  std::size_t chunks = 0;
  std::atomic<std::size_t> nextChunk{0};
  std::size_t doneChunks = 0;  // under the scan's mutex

  bool isServed(std::size_t row) const { return !served.empty() && served[row] != 0; }
  Slot& slot(std::size_t row, std::size_t k) { return slots[at[row] + k]; }
  const Slot& slot(std::size_t row, std::size_t k) const { return slots[at[row] + k]; }
  StoredRow stored(std::size_t row) const {
    StoredRow out;
    for (std::size_t k = 0; k < columns.size(); ++k) {
      const Slot& s = slot(row, k);
      out[columns[k]] = {std::string_view(bytes).substr(s.begin, s.size), s.blob, false};
    }
    return out;
  }
  void open(const Connection& cn, const Summary* summary, std::size_t chunk) {
    const Vault& vault = cn.vault();
    std::array<bool, kFieldCount> wanted{};
    for (const std::size_t i : columns) wanted[i] = true;
    const std::size_t end = std::min(ids.size(), (chunk + 1) * kChunkRows);
    for (std::size_t r = chunk * kChunkRows; r < end; ++r) {
      if (isServed(r)) {
        nameHashes[r] = cn.catalog().hash(summary->entry(served[r]).name);
        continue;
      }
      Vault::Rooms rooms{};
      for (std::size_t k = 0; k < columns.size(); ++k)
        rooms[columns[k]] = room.data() + slot(r, k).begin;
      const auto opened = vault.openWhole(stored(r), wanted, rooms);
      for (std::size_t k = 0; k < columns.size(); ++k) slot(r, k).opened = opened[columns[k]];
      if (!nameHashes.empty()) nameHashes[r] = cn.catalog().hash(opened[kNameAt].value);
    }
  }
};

struct SealedRows {
  SealedScan::Fields wanted;
  bool read = false;  // whether the rows were (not when a summary serves them)
  std::deque<std::shared_ptr<SealedScan::Batch>> batches;
  std::int64_t count = 0;
  std::optional<std::uint32_t> counter;
  SealedSummary summary;
};

std::shared_ptr<SealedScan::Batch> SealedScan::readBatch(
    const Connection& cn, sqlite3_stmt* scan, const std::vector<std::size_t>& columns, bool& done,
    std::optional<std::uint32_t>& counter, const Summary* summary, Summary::Cursor& cursor) {
  auto batch = std::make_shared<Batch>();
  batch->columns = columns;
  batch->ids.reserve(kBatchRows);
  batch->bytes.reserve(kBatchRows * 64 * columns.size());
  const bool namesAndTypes = columns == columnsOf(kNameAndType);
  while (!done && batch->ids.size() < kBatchRows && batch->bytes.size() < kBatchBytes) {
    const int rc = sqlite3_step(scan);
    cn.check(rc);
    if (!counter) counter = cn.changeCounter();  // while the scan's read lock holds the file
    if (rc != SQLITE_ROW) {
      done = true;  // stepped again, the statement would start over
      break;
    }
    const RowId id = sqlite3_column_int64(scan, 0);
    batch->ids.push_back(id);
    // A row that the summary serves (by its name and type, columns 1 and 2) keeps none of its
    // fields: the fresh memory they take would cost more time than all the rest of the walk.
    const std::uint64_t served =
        summary ? summary->match(cursor, id, storedField(scan, 1), storedField(scan, 2)) : 0;
    if (namesAndTypes) batch->served.push_back(served);
    batch->at.push_back(static_cast<std::uint32_t>(batch->slots.size()));
    for (std::size_t k = 0; k < columns.size() && !served; ++k) {
      const StoredField field = storedField(scan, static_cast<int>(k) + 1);
      batch->slots.push_back({static_cast<std::uint32_t>(batch->bytes.size()),
                              static_cast<std::uint32_t>(field.bytes.size()),
                              field.blob,
                              {}});
      batch->bytes += field.bytes;
    }
  }
  if (namesAndTypes) batch->nameHashes.resize(batch->ids.size());
  batch->chunks = (batch->ids.size() + kChunkRows - 1) / kChunkRows;
  return batch;
}

std::shared_ptr<SealedRows> SealedScan::readAhead(Connection& cn, const Fields& wanted) {
  auto rows = std::make_shared<SealedRows>();
  rows->wanted = wanted;
  if (wanted == kNameAndType) rows->summary = readSummary(cn);
  if (!rows->summary.values.empty()) {
    const Statement count = prepare(cn, "SELECT count(*) FROM 账号集合");
    cn.check(sqlite3_step(count.get()));
    rows->count = sqlite3_column_int64(count.get(), 0);
    rows->counter = cn.changeCounter();  // while the count's read lock holds the file
    return rows;
  }
  const Statement scan = prepare(cn, scanSql(wanted));
  const std::vector<std::size_t> columns = columnsOf(wanted);
  Summary::Cursor none;
  for (bool done = false; !done;) {
    std::shared_ptr<Batch> batch =
        readBatch(cn, scan.get(), columns, done, rows->counter, nullptr, none);
    rows->count += static_cast<std::int64_t>(batch->ids.size());
    if (!batch->ids.empty()) rows->batches.push_back(std::move(batch));
  }
  rows->read = true;
  return rows;
}

std::optional<std::int64_t> SealedScan::knownRows(const Connection& cn) {
  if (cn.form() != Form::Whole || cn.locked()) return std::nullopt;
  const std::optional<std::uint32_t> now = cn.changeCounter();
  if (cn.catalog().validAt(now)) return static_cast<std::int64_t>(cn.catalog().count());
  const SealedRows* ahead = cn.readAhead();
  if (ahead && ahead->counter && ahead->counter == now) return ahead->count;
  return std::nullopt;
}

SealedScan::SealedScan(Connection& cn, const Fields& wanted)
    : cn_(cn), wanted_(wanted), scan_(prepare(cn, scanSql(wanted))) {
  const std::shared_ptr<SealedRows> ahead = cn.takeReadAhead();
  const bool mine = ahead && ahead->wanted == wanted;
  if (mine && ahead->read && ahead->counter == cn.changeCounter()) {
    readAhead_ = std::move(ahead->batches);
    counter_ = ahead->counter;
    done_ = true;
  }
  if (wanted == kNameAndType)
    summary_ = std::make_unique<Summary>(cn, mine ? std::move(ahead->summary) : readSummary(cn));
  worker_ = std::thread([this] { openAhead(); });  // last: nothing may throw once it runs
}

SealedScan::~SealedScan() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  worker_.join();
}

// The next batch, handed to the second thread to be opened.
std::shared_ptr<SealedScan::Batch> SealedScan::read() {
  std::shared_ptr<Batch> batch;
  if (readAhead_.empty()) {
    batch =
        readBatch(cn_, scan_.get(), columnsOf(wanted_), done_, counter_, summary_.get(), cursor_);
  } else {
    batch = std::move(readAhead_.front());
    readAhead_.pop_front();
  }
  batch->room.resize(batch->bytes.size());
  if (batch->chunks > 0) {
    const std::lock_guard lock(mutex_);
    queue_.push_back(batch);
  }
  work_.notify_one();
  return batch;
}

void SealedScan::openAhead() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    const std::shared_ptr<Batch> batch = queue_.front();
    lock.unlock();
    const std::size_t chunk = batch->nextChunk++;
    if (chunk < batch->chunks) batch->open(cn_, summary_.get(), chunk);
    lock.lock();
    if (chunk >= batch->chunks) {
      if (!queue_.empty() && queue_.front() == batch) queue_.pop_front();
    } else if (++batch->doneChunks == batch->chunks) {
      opened_.notify_all();
    }
  }
}

// The batch's fields opened, by this thread too where the second has not got to them.
void SealedScan::finish(Batch& batch) {
  for (std::size_t chunk; (chunk = batch.nextChunk++) < batch.chunks;) {
    batch.open(cn_, summary_.get(), chunk);
    const std::lock_guard lock(mutex_);
    ++batch.doneChunks;
  }
  std::unique_lock lock(mutex_);
  opened_.wait(lock, [&batch] { return batch.doneChunks == batch.chunks; });
}

bool SealedScan::next() {
  if (current_ && ++position_ < current_->ids.size()) return true;
  // Two batches ahead, so that the second thread always has one to open.
  while (ahead_.size() < 2) ahead_.push_back(read());
  current_ = std::move(ahead_.front());
  ahead_.pop_front();
  position_ = 0;
  if (current_->ids.empty()) {
    const bool whole = !written_ && !damaged_ && !published_ && wanted_ == kNameAndType;
    // A new summary written from this walk moves the file on by a write of this process's own.
    const std::optional<std::uint32_t> before = whole ? summary_->writeIfBehind(cn_) : std::nullopt;
    summary_.reset();  // what it decoded lives only during the walk
    if (whole) {
      cn_.catalog().replace(std::move(names_),
                            before && before == counter_ ? *before + 1 : counter_.value_or(0));
      published_ = true;
      // The batches, read ahead on two threads beside the key's derivation, leave the heaps of
      // both holding their memory; it goes back to the system.
      malloc_trim(0);
    }
    return false;
  }
  ahead_.push_back(read());  // opened while this batch is taken
  finish(*current_);
  for (std::size_t r = 0; r < current_->ids.size(); ++r) {
    if (!current_->nameHashes.empty())
      names_.emplace_back(current_->nameHashes[r], current_->ids[r]);
    if (current_->isServed(r)) {
      summary_->served(current_->served[r]);
      continue;
    }
    damaged_ = damaged_ || !current_->slot(r, 0).opened.ok;
    if (summary_) {
      const StoredRow row = current_->stored(r);
      summary_->opened(current_->ids[r], row[kNameAt], row[kTypeAt], current_->slot(r, 0).opened,
                       current_->slot(r, 1).opened);
    }
  }
  return true;
}

RowId SealedScan::rowId() const {
  return current_->ids[position_];
}

std::optional<std::string_view> SealedScan::opened(std::size_t field) const {
  const auto& columns = current_->columns;
  const std::size_t k =
      static_cast<std::size_t>(std::find(columns.begin(), columns.end(), field) - columns.begin());
  if (k == columns.size()) throw std::logic_error("a field the walk does not open");
  if (current_->isServed(position_)) {
    const SummaryEntry entry = summary_->entry(current_->served[position_]);
    return field == kNameAt ? entry.name : entry.type;
  }
  const Opened& opened = current_->slot(position_, k).opened;
  if (!opened.ok) {
    openStored(cn_, current_->stored(position_), field);  // throws the error that says why
    throw rowDamaged(cn_);
  }
  if (opened.null) return std::nullopt;
  return opened.value;
}

}  // namespace store
