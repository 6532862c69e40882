#pragma once

#include <sqlite3.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "NameCatalog.h"
#include "StoredRow.h"

namespace store {

class Connection;
struct SealedRows;

// What a walk over a store sealed whole reads: the tree needs names and types, the rest is read
// by row when asked for.
inline constexpr char kSealedScanSql[] =
    "SELECT rowid,账号名称,账号类型 FROM 账号集合 ORDER BY rowid";

// A walk over every account of a store sealed whole, in store order, for the tree: the rows are
// read from the file a batch at a time on this thread while a second one opens their names and
// types ahead (this one helps where it would otherwise wait), so that a million accounts take
// both cores. A walk that reads every row and writes none also gives the connection's catalog
// every name.
class SealedScan {
 public:
  // The rows of a store sealed whole read from the file by a thread of their own, for the first
  // walk after unlocking: the key is derived meanwhile, on the other core. The walk takes them
  // if the file has not changed since.
  static std::shared_ptr<SealedRows> readAhead(Connection& cn);

  // `scan` selects rowid, name and type in rowid order, not yet stepped.
  SealedScan(Connection& cn, sqlite3_stmt* scan);
  ~SealedScan();
  SealedScan(const SealedScan&) = delete;
  SealedScan& operator=(const SealedScan&) = delete;

  // Moves to the next row; false after the last.
  bool next();
  RowId rowId() const;
  // Its name (field 0) or type (field 1), opened; throws StoreError when it does not open.
  std::optional<std::string_view> opened(std::size_t field) const;
  // A write happened during the walk: the catalog must not take its names.
  void written() { written_ = true; }

 private:
  friend struct SealedRows;
  struct Batch;
  static std::shared_ptr<Batch> readBatch(Connection& cn, sqlite3_stmt* scan, bool& done,
                                          std::optional<std::uint32_t>& counter);
  std::shared_ptr<Batch> read();
  void openAhead();
  void finish(Batch& batch);

  Connection& cn_;
  sqlite3_stmt* scan_;
  std::optional<std::uint32_t> counter_;
  std::vector<NameCatalog::Entry> names_;
  bool done_ = false;  // the statement has given its last row
  bool written_ = false;
  bool damaged_ = false;
  bool published_ = false;
  std::deque<std::shared_ptr<Batch>> readAhead_;  // rows read while the key was derived
  std::shared_ptr<Batch> current_;
  std::deque<std::shared_ptr<Batch>> ahead_;
  std::size_t position_ = 0;

  std::mutex mutex_;
  std::condition_variable work_, opened_;
  std::deque<std::shared_ptr<Batch>> queue_;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace store
