#include "mdb_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Statements.h"
#include "StoreError.h"
#include "Texts.h"
#include "mdb_error.h"
#include "mdb_header.h"
#include "mdb_libmdb.h"
#include "mdb_memo.h"
#include "mdb_text.h"

namespace legacy {
namespace {

constexpr int kOffsetMask = 0x1FFF;  // row offsets carry flags in their top bits

// libmdb reports damaged pages on stderr by itself; the user gets one message from us.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDERR_FILENO);
      close(null);
    }
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

struct CloseHandle {
  void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct FreeTable {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

class Reader {
 public:
  Reader(std::string path, AccessHeader header) : path_(std::move(path)), header_(header) {}

  std::vector<Account> read() {
    // Names in the catalog come through libmdb's own conversion; make it give UTF-8.
    setenv("MDB_ICONV", "UTF-8", 1);
    setenv("MDB_JET3_CHARSET", "CP936", 1);
    QuietStderr quiet;
    std::unique_ptr<MdbHandle, CloseHandle> mdb(mdb_open(path_.c_str(), MDB_NOFLAGS));
    if (!mdb || mdb->f->jet_version != static_cast<guint32>(header_.version)) damaged();
    mdb_ = mdb.get();
    std::unique_ptr<MdbTableDef, FreeTable> table(openTable());
    table_ = table.get();
    findColumns();
    return rows();
  }

 private:
  struct Column {
    int index = 0;  // in table_->columns, as MdbField::colnum counts
    int type = 0;
  };

  [[noreturn]] void damaged() const {
    throw ImportError(store::fillText(texts::kImportDamaged, path_));
  }

  MdbTableDef* openTable() {
    if (!mdb_read_catalog(mdb_, MDB_TABLE)) damaged();
    for (guint i = 0; i < mdb_->catalog->len; ++i) {
      auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
      if (entry->object_type != MDB_TABLE || std::strcmp(entry->object_name, store::kTableName))
        continue;
      MdbTableDef* table = mdb_read_table(entry);
      if (!table) damaged();
      if (!mdb_read_columns(table)) {
        mdb_free_tabledef(table);
        damaged();
      }
      return table;
    }
    throw ImportError(store::fillText(texts::kImportNoTable, path_));
  }

  // Columns are found by name, wherever they stand; others are left alone.
  void findColumns() {
    for (std::size_t f = 0; f < columns_.size(); ++f) {
      const MdbColumn* found = nullptr;
      for (guint i = 0; i < table_->columns->len; ++i) {
        auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table_->columns, i));
        if (std::strcmp(column->name, store::kFields[f]) == 0) {
          found = column;
          columns_[f] = {static_cast<int>(i), column->col_type};
        }
      }
      if (!found)
        throw ImportError(store::fillText(texts::kImportNoField, path_, store::kFields[f]));
      if (found->col_type != MDB_TEXT && found->col_type != MDB_MEMO &&
          found->col_type != MDB_DATETIME)
        throw ImportError(store::fillText(texts::kImportFieldType, path_, store::kFields[f]));
    }
  }

  std::vector<Account> rows() {
    std::vector<Account> accounts;
    std::vector<MdbField> fields(table_->num_cols);
    mdb_rewind_table(table_);
    while (mdb_fetch_row(table_)) {
      // The row libmdb just accepted is still in the page buffer: crack it again to reach
      // the raw bytes that its own text conversion would spoil.
      int start = 0;
      size_t size = 0;
      if (mdb_find_row(mdb_, static_cast<int>(table_->cur_row) - 1, &start, &size) != 0) damaged();
      const int count = mdb_crack_row(table_, start & kOffsetMask, size, fields.data());
      if (count < 0 || static_cast<std::size_t>(count) > fields.size()) damaged();
      Account account;
      for (std::size_t f = 0; f < account.size(); ++f)
        account[f] = value(columns_[f], fields.data(), static_cast<std::size_t>(count));
      accounts.push_back(std::move(account));
    }
    // A page that could not be read ends libmdb's walk early without a word. The table's
    // own count may lag behind (it can be 0 after Access was not closed properly), so only
    // fewer rows than it counts give the damage away.
    if (accounts.size() < table_->num_rows) damaged();
    return accounts;
  }

  std::string value(const Column& column, const MdbField* fields, std::size_t count) const {
    const MdbField* field = nullptr;
    for (std::size_t i = 0; i < count; ++i)
      if (fields[i].colnum == column.index) field = &fields[i];
    if (!field) damaged();
    if (field->is_null) return {};
    // The value must lie inside the page it was cracked from.
    const auto at = reinterpret_cast<std::uintptr_t>(field->value);
    const auto page = reinterpret_cast<std::uintptr_t>(mdb_->pg_buf);
    const auto size = static_cast<std::size_t>(field->siz);
    if (field->siz < 0 || at < page ||
        at - page + size > static_cast<std::size_t>(mdb_->fmt->pg_size))
      damaged();
    const std::string_view raw(static_cast<const char*>(field->value), size);
    switch (column.type) {
      case MDB_DATETIME: {
        double days = 0;
        if (raw.size() != sizeof days) damaged();
        std::memcpy(&days, raw.data(), sizeof days);
        const auto text = jetDateText(days);
        if (!text) damaged();
        return *text;
      }
      case MDB_MEMO:
        return text(memoBytes(mdb_, raw, header_.fileSize, path_));
      default:
        return text(raw);
    }
  }

  std::string text(std::string_view raw) const {
    return header_.jet3() ? jet3Text(raw) : jet4Text(raw);
  }

  std::string path_;
  AccessHeader header_;
  MdbHandle* mdb_ = nullptr;
  MdbTableDef* table_ = nullptr;
  std::array<Column, 5> columns_{};
};

}  // namespace

std::vector<Account> readAccounts(const std::string& path) {
  return Reader(path, readAccessHeader(path)).read();
}

}  // namespace legacy
