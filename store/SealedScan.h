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
#include "Sql.h"
#include "Summary.h"
#include "Vault.h"

namespace store {

class Connection;
struct SealedRows;

// A walk over every account of a store sealed whole, in store order: the rows are read from
// the file a batch at a time on this thread while a second one opens their fields ahead (this
// one helps where it would otherwise wait), so that a million accounts take both cores. A walk
// of names and types that reads every row and writes none gives the connection's catalog every
// name: that is the only way the catalog is filled. Such a walk takes what it can from the
// store's summary, and writes a new one when that is missing or too far behind.
class SealedScan {
 public:
  using Fields = std::array<bool, kFieldCount>;
  // What the tree needs of every account; the rest is read by row when asked for.
  static constexpr Fields kNameAndType = {true, true, false, false, false};
  static constexpr Fields kEveryField = {true, true, true, true, true};

  // The rows of a store sealed whole read from the file by a thread of their own, for the first
  // walk after unlocking: the key is derived meanwhile, on the other core. A walk of the same
  // fields takes them if the file has not changed since. When a summary is there to serve them,
  // only it and the number of rows are read: the rows' memory would cost more than reading them
  // again.
  static std::shared_ptr<SealedRows> readAhead(Connection& cn, const Fields& wanted);
  // The number of rows of a store sealed whole, when this process knows it without reading them
  // (SQL counts such a table row by row: it has no index to count on): from the catalog or the
  // read-ahead, while the file is as they saw it.
  static std::optional<std::int64_t> knownRows(const Connection& cn);

  // A walk that opens the `wanted` fields (the name always: it carries the account's nonce).
  SealedScan(Connection& cn, const Fields& wanted = kNameAndType);
  ~SealedScan();
  SealedScan(const SealedScan&) = delete;
  SealedScan& operator=(const SealedScan&) = delete;

  // Moves to the next row; false after the last.
  bool next();
  RowId rowId() const;
  // A wanted field of the row, opened; throws StoreError when it does not open.
  std::optional<std::string_view> opened(std::size_t field) const;
  // A write happened during the walk: the catalog must not take its names.
  void written() { written_ = true; }

 private:
  friend struct SealedRows;
  struct Batch;
  // Rows that `summary` serves are read without their fields.
  static std::shared_ptr<Batch> readBatch(const Connection& cn, sqlite3_stmt* scan,
                                          const std::vector<std::size_t>& columns, bool& done,
                                          std::optional<std::uint32_t>& counter,
                                          const Summary* summary, Summary::Cursor& cursor);
  std::shared_ptr<Batch> read();
  void openAhead();
  void finish(Batch& batch);

  Connection& cn_;
  Fields wanted_;
  Statement scan_;
  std::optional<std::uint32_t> counter_;
  std::vector<NameCatalog::Entry> names_;
  bool done_ = false;  // the statement has given its last row
  bool written_ = false;
  bool damaged_ = false;
  bool published_ = false;
  std::unique_ptr<Summary> summary_;  // during a walk of names and types
  Summary::Cursor cursor_;
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
