#include "Recordset.h"

#include <sqlite3.h>

#include <array>
#include <iterator>
#include <vector>

#include "Connection.h"
#include "NameCatalog.h"
#include "Protection.h"
#include "SealedScan.h"
#include "Sql.h"
#include "Statements.h"
#include "StoreError.h"
#include "StoredRow.h"
#include "Texts.h"

namespace store {
namespace {

constexpr char kScanSql[] =
    "SELECT rowid,账号名称,账号类型,账号内容,创建时间,最后修改 FROM 账号集合 ORDER BY rowid";
constexpr char kCountSql[] = "SELECT count(*) FROM 账号集合";
constexpr char kKeysSql[] = "SELECT rowid FROM 账号集合 WHERE 账号名称=?1 ORDER BY rowid";
constexpr char kRowSql[] =
    "SELECT 账号名称,账号类型,账号内容,创建时间,最后修改 FROM 账号集合 WHERE rowid=?1";
constexpr char kDeleteSql[] = "DELETE FROM 账号集合 WHERE rowid=?1";
// Field indexes in kFields order.
constexpr std::size_t kNameIndex = 0, kTypeIndex = 1;

StoreError noCurrentRow() {
  return StoreError(errnum::kNoCurrentRow, texts::kStoreNoCurrentRow);
}

std::size_t fieldIndex(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    if (name == kFields[i]) return i;
  }
  throw StoreError(errnum::kUnknownField, fillText(texts::kStoreUnknownField, name));
}

// The name that statement 3 carries, its doubled quotes undone; nullopt for any other text.
std::optional<std::string> findByNameArgument(std::string_view source) {
  const std::string frame = findByName({});  // the prefix and the closing quote
  const std::string_view prefix = std::string_view(frame).substr(0, frame.size() - 1);
  if (source.size() < frame.size() || !source.starts_with(prefix) || !source.ends_with('\''))
    return std::nullopt;
  const std::string_view literal = source.substr(prefix.size(), source.size() - frame.size());
  std::string name;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '\'') {
      // A quote that is not doubled would end the literal before the statement ends.
      if (i + 1 == literal.size() || literal[i + 1] != '\'') return std::nullopt;
      ++i;
    }
    name += literal[i];
  }
  return name;
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text) {
  // With its length, so that a NUL inside the text is part of it.
  sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

}  // namespace

struct Recordset::Impl {
  Connection* cn = nullptr;  // null while closed

  // Statement 3: the rows of this name, fixed as a keyset of rowids when the set opens.
  std::optional<std::string> name;
  std::vector<RowId> keys;
  std::size_t position = 0;

  // Statements 1 and 2: one scan in rowid order, stepped only when a row is asked for.
  enum class Scan { NotStarted, OnRow, Done };
  Statement scan;
  Scan scanAt = Scan::NotStarted;
  std::optional<std::int64_t> count;
  // After a write the current row of a scan is read again by rowid, as statement 3's always is.
  std::optional<RowId> writtenRow;
  Statement row;
  std::array<Value, std::size(kFields)> loaded;
  std::array<bool, std::size(kFields)> loadedBlob{};
  bool rowLoaded = false;
  // A protected store's fields of the current row as opened, each when first asked for.
  std::array<std::optional<Value>, std::size(kFields)> opened;

  // The scan of a store sealed whole, its names and types opened ahead.
  std::unique_ptr<SealedScan> sealed;

  // Values set since AddNew or since the last Update, by field index.
  bool adding = false;
  std::array<std::optional<std::string>, std::size(kFields)> pending;

  bool byKeys() const { return name.has_value(); }
  bool plain() const { return cn->form() == Form::Plain; }
  bool whole() const { return cn->form() == Form::Whole; }
  sqlite3* db() const { return cn->handle(); }

  void requireOpen() const {
    if (cn == nullptr) throw StoreError(errnum::kClosed, texts::kStoreClosed);
  }

  Statement prepare(const std::string& sql) const { return store::prepare(*cn, sql); }

  bool stepToRow(sqlite3_stmt* statement) const {
    const int rc = sqlite3_step(statement);
    cn->check(rc);
    return rc == SQLITE_ROW;
  }

  void stepScan() {
    if (!scan) scan = prepare(whole() ? kSealedScanSql : kScanSql);
    if (whole() && !sealed) sealed = std::make_unique<SealedScan>(*cn, scan.get());
    scanAt = (sealed ? sealed->next() : stepToRow(scan.get())) ? Scan::OnRow : Scan::Done;
  }

  // Back to before the first row, or past the last (nothing of the scan's read kept).
  void resetScan(Scan at) {
    sealed.reset();
    if (scan) sqlite3_reset(scan.get());
    scanAt = at;
  }

  // A store sealed whole: the rows whose names may be this one, each opened to make sure.
  void loadSealedKeys() {
    NameCatalog& catalog = cn->catalog();
    if (!catalog.validAt(cn->changeCounter())) readCatalog();
    for (const RowId id : catalog.rows(*name)) {
      keys.push_back(id);
      position = keys.size() - 1;
      forgetRow();
      if (!loadRow(false) || field(kNameIndex) != std::string_view(*name)) keys.pop_back();
    }
    position = 0;
    forgetRow();
  }

  // Every name of the store, opened once, for the catalog.
  void readCatalog() {
    const Statement names = prepare("SELECT rowid,账号名称 FROM 账号集合");
    std::vector<NameCatalog::Entry> entries;
    std::optional<std::uint32_t> counter;
    while (stepToRow(names.get())) {
      if (!counter) counter = cn->changeCounter();
      const StoredField stored = storedField(names.get(), 1);
      const Value opened = openStored(*cn, {stored, {}, {}, {}, {}}, kNameIndex);
      entries.emplace_back(cn->catalog().hash(opened.value_or(std::string())),
                           sqlite3_column_int64(names.get(), 0));
    }
    cn->catalog().replace(std::move(entries), counter.value_or(cn->changeCounter().value_or(0)));
  }

  void loadKeys() {
    if (whole()) return loadSealedKeys();
    const Statement statement = prepare(kKeysSql);
    bindText(statement.get(), 1, *name);
    while (stepToRow(statement.get())) keys.push_back(sqlite3_column_int64(statement.get(), 0));
  }

  bool atEnd() {
    if (writtenRow) return false;
    if (byKeys()) return position >= keys.size();
    if (scanAt == Scan::NotStarted) stepScan();
    return scanAt == Scan::Done;
  }

  RowId currentRowId() {
    if (adding || atEnd()) throw noCurrentRow();
    if (writtenRow) return *writtenRow;
    if (byKeys()) return keys[position];
    return sealed ? sealed->rowId() : sqlite3_column_int64(scan.get(), 0);
  }

  bool onScanRow() const { return !byKeys() && !writtenRow; }

  // The current row's fields as the file holds them, valid until the next move.
  StoredRow stored() {
    StoredRow out;
    for (std::size_t i = 0; i < out.size(); ++i) {
      if (onScanRow() && !sealed) {
        out[i] = storedField(scan.get(), 1 + static_cast<int>(i));
      } else {
        if (!rowLoaded) loadRow(true);
        out[i] = {loaded[i] ? std::string_view(*loaded[i]) : std::string_view(), loadedBlob[i],
                  !loaded[i]};
      }
    }
    return out;
  }

  // The current row's field i as the windows see it, nullopt for null; the view is valid until
  // the next move. A plain store's fields are the file's own bytes, never anything sealed;
  // a protected store's are opened through its key, and never shown when they do not open.
  std::optional<std::string_view> field(std::size_t i) {
    if (onScanRow() && atEnd()) throw noCurrentRow();
    if (plain()) {
      const StoredField f =
          onScanRow() ? storedField(scan.get(), 1 + static_cast<int>(i)) : stored()[i];
      if (looksSealed(f.bytes, f.blob)) {
        cn->requireSameSchema();
        throw sealedWithoutKey(*cn);
      }
      if (f.null) return std::nullopt;
      return f.bytes;
    }
    if (sealed && onScanRow() && i <= kTypeIndex) return sealed->opened(i);
    if (!opened[i]) opened[i] = openStored(*cn, stored(), i);
    if (!*opened[i]) return std::nullopt;
    return **opened[i];
  }

  // Copies a row found by rowid and lets go of its statement at once: a statement left on
  // a row keeps a read lock on the file, which would block a second instance's writes for
  // as long as a question box waits for the user. False when it is gone and not `required`.
  bool loadRow(bool required) {
    const RowId id = currentRowId();
    if (!row) row = prepare(kRowSql);
    sqlite3_bind_int64(row.get(), 1, id);
    const bool found = stepToRow(row.get());
    for (std::size_t i = 0; found && i < loaded.size(); ++i) {
      const StoredField f = storedField(row.get(), static_cast<int>(i));
      loadedBlob[i] = f.blob;
      loaded[i] = f.null ? Value() : Value(std::string(f.bytes));
    }
    sqlite3_reset(row.get());
    if (!found && required) throw noCurrentRow();  // removed since the set was opened
    rowLoaded = found;
    return found;
  }

  // Forgets the current row's fields; on a scan, `written` becomes the current row.
  void forgetRow(std::optional<RowId> written = std::nullopt) {
    rowLoaded = false;
    opened = {};
    writtenRow = byKeys() ? std::nullopt : written;
  }

  bool hasPending() const {
    for (const auto& value : pending) {
      if (value) return true;
    }
    return false;
  }

  // The fields a write stores: on a plain store those set, on a protected one all five.
  bool written(std::size_t i) const { return !plain() || pending[i]; }

  // Binds them as ?1, ?2, ... (a protected store's from `stored`) and returns their count.
  int bindWritten(sqlite3_stmt* statement, const RowToStore& stored) {
    int index = 0;
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
      if (!plain())
        bindStored(*cn, statement, ++index, stored[i]);
      else if (pending[i])
        bindText(statement, ++index, *pending[i]);
    }
    return index;
  }

  // A protected store's row is written whole: its fields as they are, with the pending ones
  // over them, sealed anew.
  RowToStore pendingRow() {
    std::array<store::Field, std::size(kFields)> values;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (pending[i]) {
        values[i] = pending[i];
      } else if (!adding) {
        const std::optional<std::string_view> current = field(i);
        if (current) values[i] = std::string(*current);
      }
    }
    return toStore(cn->form(), &cn->vault(), values);
  }

  // Each write is one transaction that first makes sure that the store is still as it was
  // opened. The catalog of a store sealed whole learns of it, if the file held nothing
  // else new; `name` is the row's name afterwards (nullopt when removed).
  template <typename Write>
  auto inTransaction(Write&& write, std::optional<std::string_view> name = std::nullopt) {
    std::optional<std::uint32_t> before;
    const auto [id, changed] = store::inTransaction(*cn, [&] {
      cn->requireSameSchema();
      before = cn->changeCounter();
      return write();
    });
    if (whole()) cn->catalog().written(before, changed, id, name);
    if (sealed) sealed->written();
    return std::pair(id, changed);
  }

  // The new row goes to the end of the set and becomes its current row.
  void insert() {
    const std::optional<std::string> newName = pending[kNameIndex];
    const RowToStore stored = plain() ? RowToStore() : pendingRow();
    const auto [id, changed] = inTransaction(
        [&] {
          std::string columns, parameters;
          for (std::size_t i = 0; i < std::size(kFields); ++i) {
            if (!written(i)) continue;
            columns += (columns.empty() ? "" : ",") + std::string(kFields[i]);
            parameters += parameters.empty() ? "?" : ",?";
          }
          const std::string sql =
              columns.empty() ? "INSERT INTO 账号集合 DEFAULT VALUES"
                              : "INSERT INTO 账号集合(" + columns + ") VALUES(" + parameters + ")";
          const Statement statement = prepare(sql);
          bindWritten(statement.get(), stored);
          stepToRow(statement.get());
          return std::pair(sqlite3_last_insert_rowid(db()), true);
        },
        newName.value_or(std::string()));
    adding = false;
    pending = {};
    if (byKeys()) {
      keys.push_back(id);
      position = keys.size() - 1;
    } else {
      resetScan(Scan::Done);
      if (count) ++*count;
    }
    forgetRow(id);
  }

  bool updateCurrent() {
    const RowId id = currentRowId();
    const RowToStore stored = plain() ? RowToStore() : pendingRow();
    // Only the catalog of a store sealed whole needs the name the row keeps.
    const std::string newName = !whole() || pending[kNameIndex]
                                    ? pending[kNameIndex].value_or(std::string())
                                    : std::string(field(kNameIndex).value_or(std::string_view()));
    const auto [ignored, changed] = inTransaction(
        [&] {
          std::string sql = "UPDATE 账号集合 SET ";
          for (std::size_t i = 0; i < std::size(kFields); ++i) {
            if (written(i))
              sql += (sql.ends_with("SET ") ? "" : ",") + std::string(kFields[i]) + "=?";
          }
          sql += " WHERE rowid=?";
          const Statement statement = prepare(sql);
          sqlite3_bind_int64(statement.get(), bindWritten(statement.get(), stored) + 1, id);
          stepToRow(statement.get());
          return std::pair(id, sqlite3_changes64(db()) > 0);
        },
        newName);
    pending = {};
    forgetRow(id);
    return changed;
  }

  // ADO's optimistic cursor writes pending values before it moves.
  void writePending() {
    if (adding)
      insert();
    else if (hasPending())
      updateCurrent();
  }
};

Recordset::Recordset() : d(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;

void Recordset::Open(std::string_view source, Connection& cn, CursorTypeEnum, LockTypeEnum) {
  if (!cn.IsOpen()) throw StoreError(errnum::kClosed, texts::kStoreClosed);
  Impl fresh;
  fresh.cn = &cn;
  if (source != kTableName && source != kSelectAll) {
    fresh.name = findByNameArgument(source);
    if (!fresh.name)
      throw StoreError(errnum::kBadStatement, fillText(texts::kStoreBadStatement, source));
    fresh.loadKeys();
  }
  *d = std::move(fresh);
}

bool Recordset::IsOpen() const {
  return d->cn != nullptr;
}

std::int64_t Recordset::RecordCount() {
  d->requireOpen();
  if (d->byKeys()) return static_cast<std::int64_t>(d->keys.size());
  if (!d->count) {
    const Statement statement = d->prepare(kCountSql);
    d->stepToRow(statement.get());
    d->count = sqlite3_column_int64(statement.get(), 0);
  }
  return *d->count;
}

void Recordset::MoveFirst() {
  d->requireOpen();
  d->writePending();
  d->forgetRow();
  d->position = 0;
  d->resetScan(Impl::Scan::NotStarted);
}

void Recordset::MoveNext() {
  d->requireOpen();
  d->writePending();
  if (d->atEnd()) throw noCurrentRow();
  d->forgetRow();
  if (d->byKeys()) {
    ++d->position;
  } else if (d->scanAt == Impl::Scan::OnRow) {
    d->stepScan();
  }
}

bool Recordset::AtEnd() {
  d->requireOpen();
  return d->atEnd();
}

void Recordset::AddNew() {
  d->requireOpen();
  d->writePending();
  d->adding = true;
}

bool Recordset::Update() {
  d->requireOpen();
  if (d->adding) {
    d->insert();
    return true;
  }
  return !d->hasPending() || d->updateCurrent();
}

bool Recordset::Delete(AffectEnum) {
  d->requireOpen();
  const RowId id = d->currentRowId();
  d->pending = {};
  const auto [ignored, deleted] = d->inTransaction([&] {
    const Statement statement = d->prepare(kDeleteSql);
    sqlite3_bind_int64(statement.get(), 1, id);
    d->stepToRow(statement.get());
    return std::pair(id, sqlite3_changes64(d->db()) > 0);
  });
  d->forgetRow(id);
  return deleted;
}

void Recordset::Close() {
  d->requireOpen();
  *d = Impl();
}

Value Recordset::Field(std::string_view name) {
  d->requireOpen();
  const std::size_t i = fieldIndex(name);
  if (d->pending[i]) return d->pending[i];
  if (d->adding) return std::nullopt;
  const std::optional<std::string_view> value = d->field(i);
  if (!value) return std::nullopt;
  return std::string(*value);
}

std::string_view Recordset::FieldText(std::string_view name) {
  d->requireOpen();
  const std::size_t i = fieldIndex(name);
  if (d->pending[i]) return *d->pending[i];
  if (d->adding) return {};
  return d->field(i).value_or(std::string_view());
}

void Recordset::SetField(std::string_view name, std::string value) {
  d->requireOpen();
  const std::size_t i = fieldIndex(name);
  if (!d->adding) d->currentRowId();  // a stored row must be current
  d->pending[i] = std::move(value);
}

RowId Recordset::CurrentRowId() {
  d->requireOpen();
  return d->currentRowId();
}

}  // namespace store
