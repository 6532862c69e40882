#include "Recordset.h"

#include <sqlite3.h>

#include <array>
#include <iterator>
#include <vector>

#include "Connection.h"
#include "Protection.h"
#include "Sql.h"
#include "Statements.h"
#include "StoreError.h"
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
constexpr std::size_t kNameIndex = 0, kContentIndex = 2, kCreatedIndex = 3;

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

std::string_view columnText(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  if (text == nullptr) return {};
  return {text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
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
  std::array<bool, std::size(kFields)> loadedSealed{};  // stored as BLOBs
  bool rowLoaded = false;
  std::string revealed;  // the current row's content as read from its sealed form

  // Values set since AddNew or since the last Update, by field index.
  bool adding = false;
  std::array<std::optional<std::string>, std::size(kFields)> pending;

  bool byKeys() const { return name.has_value(); }
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
    if (!scan) scan = prepare(kScanSql);
    scanAt = stepToRow(scan.get()) ? Scan::OnRow : Scan::Done;
  }

  void loadKeys() {
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
    return byKeys() ? keys[position] : sqlite3_column_int64(scan.get(), 0);
  }

  // The current row's field i, nullopt for null; the view is valid until the next move.
  std::optional<std::string_view> field(std::size_t i) {
    if (!byKeys() && !writtenRow) {
      if (atEnd()) throw noCurrentRow();
      const int column = 1 + static_cast<int>(i);
      if (sqlite3_column_type(scan.get(), column) == SQLITE_NULL) return std::nullopt;
      const bool sealed = sqlite3_column_type(scan.get(), column) == SQLITE_BLOB;
      return reveal(i, columnText(scan.get(), column), sealed);
    }
    if (!rowLoaded) loadRow();
    if (!loaded[i]) return std::nullopt;
    return reveal(i, *loaded[i], loadedSealed[i]);
  }

  // A field as the user wrote it. On a protected store every content is sealed with the
  // store's key and its account's creation time and name; nothing else is sealed, and on a
  // plain store nothing at all. Anything else is a store changed by another program
  // meanwhile, or damaged: never shown.
  std::string_view reveal(std::size_t i, std::string_view stored, bool sealed) {
    const bool shouldBeSealed = i == kContentIndex && cn->isProtected();
    if (sealed != shouldBeSealed) cn->requireSameSchema();
    if (!shouldBeSealed) {
      if (looksSealed(stored, sealed)) throw sealedWithoutKey(*cn);
      return stored;
    }
    const std::string created(field(kCreatedIndex).value_or(std::string_view()));
    const std::string name(field(kNameIndex).value_or(std::string_view()));
    std::optional<std::string> plain =
        sealed ? cn->vault().decrypt(stored, created, name) : std::nullopt;
    if (!plain) throw contentDamaged(*cn, name);
    revealed = std::move(*plain);
    return revealed;
  }

  // Copies a row found by rowid and lets go of its statement at once: a statement left on
  // a row keeps a read lock on the file, which would block a second instance's writes for
  // as long as a question box waits for the user.
  void loadRow() {
    const RowId id = currentRowId();
    if (!row) row = prepare(kRowSql);
    sqlite3_bind_int64(row.get(), 1, id);
    const bool found = stepToRow(row.get());
    for (std::size_t i = 0; found && i < loaded.size(); ++i) {
      const int column = static_cast<int>(i);
      loadedSealed[i] = sqlite3_column_type(row.get(), column) == SQLITE_BLOB;
      loaded[i] = sqlite3_column_type(row.get(), column) == SQLITE_NULL
                      ? Value()
                      : Value(std::string(columnText(row.get(), column)));
    }
    sqlite3_reset(row.get());
    if (!found) throw noCurrentRow();  // removed since the set was opened
    rowLoaded = true;
  }

  // Forgets the current row's fields; on a scan, `written` becomes the current row.
  void forgetRow(std::optional<RowId> written = std::nullopt) {
    rowLoaded = false;
    writtenRow = byKeys() ? std::nullopt : written;
  }

  bool hasPending() const {
    for (const auto& value : pending) {
      if (value) return true;
    }
    return false;
  }

  // Binds the pending values as ?1, ?2, ... and returns their count. On a protected store
  // the content goes in sealed, with the name and creation time it will be stored with.
  int bindPending(sqlite3_stmt* statement) {
    if (cn->isProtected() && pending[kContentIndex]) {
      const auto stored = [&](std::size_t i) {
        if (pending[i]) return *pending[i];
        return adding ? std::string() : std::string(field(i).value_or(std::string_view()));
      };
      pending[kContentIndex] =
          cn->vault().encrypt(*pending[kContentIndex], stored(kCreatedIndex), stored(kNameIndex));
    }
    int index = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
      if (!pending[i]) continue;
      if (i == kContentIndex && cn->isProtected())
        sqlite3_bind_blob64(statement, ++index, pending[i]->data(), pending[i]->size(),
                            SQLITE_TRANSIENT);
      else
        bindText(statement, ++index, *pending[i]);
    }
    return index;
  }

  // Each write is one transaction that first makes sure that the store is still as it was
  // opened: protected or not, sealed contents under this key.
  template <typename Write>
  auto inTransaction(Write&& write) {
    return store::inTransaction(*cn, [&] {
      cn->requireSameSchema();
      return write();
    });
  }

  // The new row goes to the end of the set and becomes its current row.
  void insert() {
    const RowId id = inTransaction([this] {
      std::string columns, parameters;
      for (std::size_t i = 0; i < std::size(kFields); ++i) {
        if (!pending[i]) continue;
        columns += (columns.empty() ? "" : ",") + std::string(kFields[i]);
        parameters += parameters.empty() ? "?" : ",?";
      }
      const std::string sql =
          columns.empty() ? "INSERT INTO 账号集合 DEFAULT VALUES"
                          : "INSERT INTO 账号集合(" + columns + ") VALUES(" + parameters + ")";
      const Statement statement = prepare(sql);
      bindPending(statement.get());
      stepToRow(statement.get());
      return sqlite3_last_insert_rowid(db());
    });
    adding = false;
    pending = {};
    if (byKeys()) {
      keys.push_back(id);
      position = keys.size() - 1;
    } else {
      if (scan) sqlite3_reset(scan.get());
      scanAt = Scan::Done;
      if (count) ++*count;
    }
    forgetRow(id);
  }

  bool updateCurrent() {
    const RowId id = currentRowId();
    // A sealed content is bound to its account's name and creation time: it moves with them.
    if (cn->isProtected() && !pending[kContentIndex] &&
        (pending[kNameIndex] || pending[kCreatedIndex])) {
      if (const auto content = field(kContentIndex)) pending[kContentIndex] = std::string(*content);
    }
    const bool changed = inTransaction([&] {
      std::string sql = "UPDATE 账号集合 SET ";
      int index = 0;
      for (std::size_t i = 0; i < std::size(kFields); ++i) {
        if (pending[i]) sql += (index++ ? "," : "") + std::string(kFields[i]) + "=?";
      }
      sql += " WHERE rowid=?";
      const Statement statement = prepare(sql);
      sqlite3_bind_int64(statement.get(), bindPending(statement.get()) + 1, id);
      stepToRow(statement.get());
      return sqlite3_changes64(db()) > 0;
    });
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
  if (d->scan) sqlite3_reset(d->scan.get());
  d->scanAt = Impl::Scan::NotStarted;
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
  const bool deleted = d->inTransaction([&] {
    const Statement statement = d->prepare(kDeleteSql);
    sqlite3_bind_int64(statement.get(), 1, id);
    d->stepToRow(statement.get());
    return sqlite3_changes64(d->db()) > 0;
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
