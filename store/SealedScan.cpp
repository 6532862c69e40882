#include "SealedScan.h"

#include <malloc.h>

#include <atomic>

#include "Connection.h"
#include "Protection.h"
#include "Sql.h"
#include "StoreError.h"

namespace store {
namespace {

constexpr std::size_t kBatchRows = 4096;                   // read from the file at a time
constexpr std::size_t kBatchBytes = std::size_t{8} << 20;  // however long the names
constexpr std::size_t kChunkRows = 256;                    // opened at a time, by either thread
constexpr std::size_t kName = 0, kType = 1;

}  // namespace

struct SealedScan::Batch {
  struct Row {
    RowId id;
    std::array<std::uint32_t, 2> begin, size;  // of the name and the type
    std::array<bool, 2> blob;
    Vault::Opened name, type;
    std::uint64_t nameHash = 0;
  };
  std::vector<Row> rows;
  std::string bytes;  // the stored fields back to back
  std::string room;   // the opened names and types, each where its stored form is in `bytes`
  std::size_t chunks = 0;
  std::atomic<std::size_t> nextChunk{0};
  std::size_t doneChunks = 0;  // under the scan's mutex

  std::string_view field(const Row& row, std::size_t i) const {
    return std::string_view(bytes).substr(row.begin[i], row.size[i]);
  }
  void open(const Connection& cn, std::size_t chunk) {
    const Vault& vault = cn.vault();
    for (std::size_t r = chunk * kChunkRows; r < std::min(rows.size(), (chunk + 1) * kChunkRows);
         ++r) {
      Row& row = rows[r];
      if (row.blob[kName] && row.blob[kType]) {
        const auto [name, type] =
            vault.openNameAndType(field(row, kName), field(row, kType),
                                  room.data() + row.begin[kName], room.data() + row.begin[kType]);
        row.name = name;
        row.type = type;
      }
      row.nameHash = cn.catalog().hash(row.name.value);
    }
  }
};

struct SealedRows {
  std::deque<std::shared_ptr<SealedScan::Batch>> batches;
  std::optional<std::uint32_t> counter;
};

std::shared_ptr<SealedRows> SealedScan::readAhead(Connection& cn) {
  const Statement scan = prepare(cn, kSealedScanSql);
  auto rows = std::make_shared<SealedRows>();
  for (bool done = false; !done;) {
    std::shared_ptr<Batch> batch = readBatch(cn, scan.get(), done, rows->counter);
    if (!batch->rows.empty()) rows->batches.push_back(std::move(batch));
  }
  return rows;
}

SealedScan::SealedScan(Connection& cn, sqlite3_stmt* scan)
    : cn_(cn), scan_(scan), worker_([this] { openAhead(); }) {
  const std::shared_ptr<SealedRows> ahead = cn.takeReadAhead();
  if (ahead && ahead->counter == cn.changeCounter()) {
    readAhead_ = std::move(ahead->batches);
    counter_ = ahead->counter;
    done_ = true;
  }
}

SealedScan::~SealedScan() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  worker_.join();
}

std::shared_ptr<SealedScan::Batch> SealedScan::readBatch(Connection& cn, sqlite3_stmt* scan,
                                                         bool& done,
                                                         std::optional<std::uint32_t>& counter) {
  auto batch = std::make_shared<Batch>();
  batch->rows.reserve(kBatchRows);
  batch->bytes.reserve(kBatchRows * 128);
  while (!done && batch->rows.size() < kBatchRows && batch->bytes.size() < kBatchBytes) {
    const int rc = sqlite3_step(scan);
    cn.check(rc);
    if (!counter) counter = cn.changeCounter();  // while the scan's read lock holds the file
    if (rc != SQLITE_ROW) {
      done = true;  // stepped again, the statement would start over
      break;
    }
    Batch::Row row{sqlite3_column_int64(scan, 0), {}, {}, {}, {}, {}, 0};
    for (const std::size_t i : {kName, kType}) {
      const StoredField field = storedField(scan, static_cast<int>(i) + 1);
      row.begin[i] = static_cast<std::uint32_t>(batch->bytes.size());
      row.size[i] = static_cast<std::uint32_t>(field.bytes.size());
      row.blob[i] = field.blob;
      batch->bytes += field.bytes;
    }
    batch->rows.push_back(row);
  }
  batch->chunks = (batch->rows.size() + kChunkRows - 1) / kChunkRows;
  return batch;
}

// The next batch, handed to the second thread to be opened.
std::shared_ptr<SealedScan::Batch> SealedScan::read() {
  std::shared_ptr<Batch> batch;
  if (readAhead_.empty()) {
    batch = readBatch(cn_, scan_, done_, counter_);
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
    if (chunk < batch->chunks) batch->open(cn_, chunk);
    lock.lock();
    if (chunk >= batch->chunks) {
      if (!queue_.empty() && queue_.front() == batch) queue_.pop_front();
    } else if (++batch->doneChunks == batch->chunks) {
      opened_.notify_all();
    }
  }
}

// The batch's names and types opened, by this thread too where the second has not got to them.
void SealedScan::finish(Batch& batch) {
  for (std::size_t chunk; (chunk = batch.nextChunk++) < batch.chunks;) {
    batch.open(cn_, chunk);
    const std::lock_guard lock(mutex_);
    ++batch.doneChunks;
  }
  std::unique_lock lock(mutex_);
  opened_.wait(lock, [&batch] { return batch.doneChunks == batch.chunks; });
}

bool SealedScan::next() {
  if (current_ && ++position_ < current_->rows.size()) return true;
  // Two batches ahead, so that the second thread always has one to open.
  while (ahead_.size() < 2) ahead_.push_back(read());
  current_ = std::move(ahead_.front());
  ahead_.pop_front();
  position_ = 0;
  if (current_->rows.empty()) {
    if (!written_ && !damaged_ && !published_) {
      cn_.catalog().replace(std::move(names_), counter_.value_or(0));
      published_ = true;
      // The batches, read ahead on two threads beside the key's derivation, leave the heaps of
      // both holding their memory; it goes back to the system.
      malloc_trim(0);
    }
    return false;
  }
  ahead_.push_back(read());  // opened while this batch is taken
  finish(*current_);
  for (const Batch::Row& row : current_->rows) {
    damaged_ = damaged_ || !row.name.ok;
    names_.emplace_back(row.nameHash, row.id);
  }
  return true;
}

RowId SealedScan::rowId() const {
  return current_->rows[position_].id;
}

std::optional<std::string_view> SealedScan::opened(std::size_t field) const {
  const Batch::Row& row = current_->rows[position_];
  const Vault::Opened& opened = field == kName ? row.name : row.type;
  if (!opened.ok) {
    const auto stored = [&](std::size_t i) {
      return StoredField{current_->field(row, i), row.blob[i], false};
    };
    openStored(cn_, {stored(kName), stored(kType)}, field);  // throws the error that says why
    throw rowDamaged(cn_);
  }
  if (opened.null) return std::nullopt;
  return opened.value;
}

}  // namespace store
