#include "Recordset.h"

#include <sqlite3.h>

#include <array>
#include <vector>

#include "Connection.h"
#include "NameLookup.h"
#include "RowWriter.h"
#include "SealedScan.h"
#include "Sql.h"
#include "Statements.h"
#include "StoreError.h"
#include "StoredRow.h"
#include "Texts.h"

namespace store {
namespace {

StoreError noCurrentRow() {
  return StoreError(errnum::kNoCurrentRow, texts::kStoreNoCurrentRow);
}

std::size_t requireField(std::string_view name) {
  const std::size_t i = fieldAt(name);
  if (i == kFieldCount)
    throw StoreError(errnum::kUnknownField, fillText(texts::kStoreUnknownField, name));
  return i;
}

}  // namespace

struct Recordset::Impl {
  Connection* cn = nullptr;  // null while closed

  // Statement 3: the rows of this name, fixed as a keyset of rowids when the set opens.
  bool byKeys = false;
  std::vector<RowId> keys;
  std::size_t position = 0;

  // Statements 1 and 2: one scan in rowid order, stepped only when a row is asked for; on a
  // store sealed whole a walk that opens names and types ahead.
  enum class Scan { NotStarted, OnRow, Done };
  Statement scan;
  std::unique_ptr<SealedScan> sealed;
  Scan scanAt = Scan::NotStarted;
  std::optional<std::int64_t> count;
  // After a write the current row of a scan is read again by rowid, as statement 3's always is.
  std::optional<RowId> writtenRow;
  std::optional<RowCopy> loaded;
  // A protected store's fields of the current row as opened, each when first asked for.
  std::array<std::optional<Value>, kFieldCount> opened;

  // Values set since AddNew or since the last Update, by field.
  bool adding = false;
  std::array<Value, kFieldCount> pending;

  bool plain() const { return cn->form() == Form::Plain; }
  bool whole() const { return cn->form() == Form::Whole; }

  void requireOpen() const {
    if (cn == nullptr) throw StoreError(errnum::kClosed, texts::kStoreClosed);
  }

  void stepScan() {
    if (whole()) {
      if (!sealed) sealed = std::make_unique<SealedScan>(*cn);
      scanAt = sealed->next() ? Scan::OnRow : Scan::Done;
      return;
    }
    if (!scan)
      scan = prepare(*cn, "SELECT rowid," + columnList() + " FROM 账号集合 ORDER BY rowid");
    const int rc = sqlite3_step(scan.get());
    cn->check(rc);
    scanAt = rc == SQLITE_ROW ? Scan::OnRow : Scan::Done;
  }

  // Back to before the first row, or past the last (nothing of the scan's read kept).
  void resetScan(Scan at) {
    sealed.reset();
    if (scan) sqlite3_reset(scan.get());
    scanAt = at;
  }

  bool atEnd() {
    if (writtenRow) return false;
    if (byKeys) return position >= keys.size();
    if (scanAt == Scan::NotStarted) stepScan();
    return scanAt == Scan::Done;
  }

  RowId currentRowId() {
    if (adding || atEnd()) throw noCurrentRow();
    if (writtenRow) return *writtenRow;
    if (byKeys) return keys[position];
    return sealed ? sealed->rowId() : sqlite3_column_int64(scan.get(), 0);
  }

  bool onScanRow() const { return !byKeys && !writtenRow; }

  // The current row copied by rowid; false when it is gone and not `required`.
  bool load(bool required) {
    if (!loaded) loaded = readRow(*cn, currentRowId());
    if (!loaded && required) throw noCurrentRow();  // removed since the set was opened
    return loaded.has_value();
  }

  // The current row's fields as the file holds them, valid until the next move.
  StoredRow stored() {
    if (onScanRow() && !sealed) {
      StoredRow out;
      for (std::size_t i = 0; i < kFieldCount; ++i)
        out[i] = storedField(scan.get(), 1 + static_cast<int>(i));
      return out;
    }
    load(true);
    return loaded->view();
  }

  // The current row's field i as the windows see it, nullopt for null; the view is valid until
  // the next move. A plain store's fields are the file's own bytes, never anything sealed;
  // a protected store's are opened through its key, and never shown when they do not open.
  std::optional<std::string_view> field(std::size_t i) {
    if (onScanRow() && atEnd()) throw noCurrentRow();
    if (sealed && onScanRow() && SealedScan::kNameAndType[i]) return sealed->opened(i);
    if (!opened[i]) {
      if (plain()) {
        const StoredField f = stored()[i];
        if (!looksSealed(f)) return f.null ? std::nullopt : std::optional(f.bytes);
      }
      opened[i] = openStored(*cn, stored(), i);  // refuses what it cannot show
    }
    if (!*opened[i]) return std::nullopt;
    return **opened[i];
  }

  // Forgets the current row's fields; on a scan, `written` becomes the current row.
  void forgetRow(std::optional<RowId> written = std::nullopt) {
    loaded.reset();
    opened = {};
    writtenRow = byKeys ? std::nullopt : written;
  }

  RowWriter::Fields setFields() const {
    RowWriter::Fields which{};
    for (std::size_t i = 0; i < kFieldCount; ++i) which[i] = pending[i].has_value();
    return which;
  }

  // A protected store's row is written whole: its fields as they are, with the set ones over
  // them.
  Account pendingAccount() {
    Account account = pending;
    for (std::size_t i = 0; i < kFieldCount && !plain() && !adding; ++i) {
      if (pending[i]) continue;
      const std::optional<std::string_view> current = field(i);
      if (current) account[i] = std::string(*current);
    }
    return account;
  }

  // The name the catalog of a store sealed whole has for the current row, if it is still there.
  std::optional<std::string> catalogName() {
    if (!whole() || !(onScanRow() || load(false))) return std::nullopt;
    return std::string(field(kNameAt).value_or(std::string_view()));
  }

  // The new row goes to the end of the set and becomes its current row.
  void insert() {
    const RowId id = insertAccount(*cn, pending, setFields());
    if (sealed) sealed->written();
    adding = false;
    pending = {};
    if (byKeys) {
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
    const Account account = pendingAccount();
    const bool changed = updateAccount(*cn, id, account, setFields(), catalogName());
    if (sealed) sealed->written();
    pending = {};
    forgetRow(id);
    return changed;
  }

  bool hasPending() const {
    for (const auto& value : pending)
      if (value) return true;
    return false;
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
    const std::optional<std::string> name = findByNameArgument(source);
    if (!name) throw StoreError(errnum::kBadStatement, fillText(texts::kStoreBadStatement, source));
    fresh.byKeys = true;
    fresh.keys = rowsNamed(cn, *name);
  }
  *d = std::move(fresh);
}

bool Recordset::IsOpen() const {
  return d->cn != nullptr;
}

std::int64_t Recordset::RecordCount() {
  d->requireOpen();
  if (d->byKeys) return static_cast<std::int64_t>(d->keys.size());
  if (!d->count) d->count = SealedScan::knownRows(*d->cn);
  if (!d->count) d->count = std::stoll(firstColumn(*d->cn, "SELECT count(*) FROM 账号集合").at(0));
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
  if (d->byKeys) {
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
  const bool deleted = removeAccount(*d->cn, id, d->catalogName());
  if (d->sealed) d->sealed->written();
  d->forgetRow(id);
  return deleted;
}

void Recordset::Close() {
  d->requireOpen();
  *d = Impl();
}

Value Recordset::Field(std::string_view name) {
  d->requireOpen();
  const std::size_t i = requireField(name);
  if (d->pending[i]) return d->pending[i];
  if (d->adding) return std::nullopt;
  const std::optional<std::string_view> value = d->field(i);
  if (!value) return std::nullopt;
  return std::string(*value);
}

std::string_view Recordset::FieldText(std::string_view name) {
  d->requireOpen();
  const std::size_t i = requireField(name);
  if (d->pending[i]) return *d->pending[i];
  if (d->adding) return {};
  return d->field(i).value_or(std::string_view());
}

void Recordset::SetField(std::string_view name, std::string value) {
  d->requireOpen();
  const std::size_t i = requireField(name);
  if (!d->adding) d->currentRowId();  // a stored row must be current
  d->pending[i] = std::move(value);
}

RowId Recordset::CurrentRowId() {
  d->requireOpen();
  return d->currentRowId();
}

}  // namespace store
