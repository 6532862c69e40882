#include "Protection.h"

#include <sodium.h>
#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

#include "Connection.h"
#include "RowWriter.h"
#include "Sql.h"
#include "StoreError.h"
#include "StoredRow.h"
#include "Summary.h"
#include "Texts.h"

namespace store {
namespace {

constexpr char kKeyTable[] = "账号密钥";
constexpr char kFormColumn[] = "格式";
constexpr std::size_t kSaltSize = crypto_pwhash_SALTBYTES;
constexpr int kWholeForm = 2;  // 格式 of a store sealed whole
constexpr char kNameIndex[] = "账号集合_账号名称";

const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

StoreError keyDamaged(const Connection& cn) {
  return StoreError(errnum::kKeyDamaged, fillText(texts::kStoreKeyDamaged, cn.path()));
}

Secret derive(const Secret& passphrase, std::string_view salt, KdfLimits limits) {
  Secret key(std::string(kKeySize, '\0'));
  const int failed = crypto_pwhash(
      key.data(), kKeySize, reinterpret_cast<const char*>(passphrase.data()), passphrase.size(),
      bytes(salt), limits.ops, limits.memory, crypto_pwhash_ALG_ARGON2ID13);
  wipeStackBelow();
  if (failed) throw std::bad_alloc();  // the only way it fails with limits in the window below
  return key;
}

// Stores the data key wrapped by the passphrase's key, with the salt and limits to derive it.
void writeKey(Connection& cn, const Secret& dataKey, const Secret& passphrase) {
  const Secret salt = Secret::random(kSaltSize);
  const std::string wrapped = wrapKey(derive(passphrase, salt.view(), kKdfLimits), dataKey);
  wipeStackBelow();
  exec(cn, std::string("DROP TABLE IF EXISTS ") + kKeyTable);
  exec(cn, std::string("CREATE TABLE ") + kKeyTable +
               "(盐 BLOB NOT NULL, 运算次数 INTEGER NOT NULL, 内存 INTEGER NOT NULL, "
               "密钥 BLOB NOT NULL, " +
               kFormColumn + " INTEGER NOT NULL)");
  const Statement insert =
      prepare(cn, std::string("INSERT INTO ") + kKeyTable + " VALUES(?,?,?,?,?)");
  sqlite3_bind_blob(insert.get(), 1, salt.data(), static_cast<int>(salt.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(insert.get(), 2, static_cast<sqlite3_int64>(kKdfLimits.ops));
  sqlite3_bind_int64(insert.get(), 3, static_cast<sqlite3_int64>(kKdfLimits.memory));
  sqlite3_bind_blob(insert.get(), 4, wrapped.data(), static_cast<int>(wrapped.size()),
                    SQLITE_TRANSIENT);
  sqlite3_bind_int(insert.get(), 5, kWholeForm);
  cn.check(sqlite3_step(insert.get()));
}

// What the key table holds, each value checked before anything is derived from it: a doctored
// table must neither crash, nor hang, nor pass for a wrong passphrase.
struct KeyRow {
  std::string salt;
  KdfLimits limits;
  std::string wrapped;
};

KeyRow readKey(const Connection& cn) {
  const bool whole = cn.form() == Form::Whole;
  Statement statement;
  try {
    statement = prepare(cn, std::string("SELECT 盐,运算次数,内存,密钥,") +
                                (whole ? kFormColumn : "2") + " FROM " + kKeyTable + " LIMIT 2");
  } catch (const StoreError&) {
    throw keyDamaged(cn);  // a column missing or renamed
  }
  sqlite3_stmt* row = statement.get();
  if (sqlite3_step(row) != SQLITE_ROW) throw keyDamaged(cn);
  const auto integer = [row](int i) {  // anything else is refused by the window below
    return sqlite3_column_type(row, i) == SQLITE_INTEGER ? sqlite3_column_int64(row, i) : 0;
  };
  const auto blob = [row](int i) { return std::string(storedField(row, i).bytes); };
  KeyRow key{blob(0),
             {static_cast<unsigned long long>(integer(1)), static_cast<std::size_t>(integer(2))},
             blob(3)};
  // A wrapped key of any other size would unwrap to a key of the wrong size.
  const bool sane = sqlite3_column_type(row, 0) == SQLITE_BLOB && key.salt.size() == kSaltSize &&
                    key.limits.ops >= kKdfLimits.ops && key.limits.ops <= kKdfLimitsCap.ops &&
                    key.limits.memory >= kKdfLimits.memory &&
                    key.limits.memory <= kKdfLimitsCap.memory &&
                    key.wrapped.size() == wrappedKeySize() && integer(4) == kWholeForm &&
                    sqlite3_step(row) == SQLITE_DONE;  // exactly one row
  if (!sane) throw keyDamaged(cn);
  return key;
}

// Every account rewritten from the connection's form into `form` (sealed with `vault`), a slice
// of rows at a time so that memory stays small however large the store.
void rewriteRows(Connection& cn, Form form, const Vault* vault) {
  const Statement read =
      prepare(cn, "SELECT rowid," + columnList() +
                      " FROM 账号集合 WHERE rowid > ?1 ORDER BY rowid LIMIT 4096");
  RowWriter writer(cn, form, vault);
  // A store sealed whole gets the summary of its accounts as they are written.
  std::optional<SummaryWriter> summary;
  if (form == Form::Whole) summary.emplace(cn, *vault, true);
  std::vector<std::pair<RowId, Account>> slice;
  for (RowId last = std::numeric_limits<RowId>::min();; slice.clear()) {
    sqlite3_bind_int64(read.get(), 1, last);
    while (sqlite3_step(read.get()) == SQLITE_ROW) {
      StoredRow stored;
      Account account;
      for (std::size_t i = 0; i < kFieldCount; ++i)
        stored[i] = storedField(read.get(), static_cast<int>(i) + 1);
      for (std::size_t i = 0; i < kFieldCount; ++i) account[i] = openStored(cn, stored, i);
      slice.emplace_back(sqlite3_column_int64(read.get(), 0), std::move(account));
    }
    cn.check(sqlite3_reset(read.get()));
    if (slice.empty()) break;
    for (const auto& [rowid, account] : slice) writer.reseal(rowid, account);
    if (summary) summary->addWritten(slice);
    last = slice.back().first;
  }
  if (summary) summary->finish();
}

// The whole store in `form` under `vault` (with its key table, or none), in one transaction
// followed by VACUUM, so that nothing is left in free pages in its former form. A store sealed
// whole has no index on its names: it could not serve, sealed names being all different.
void convert(Connection& cn, Form form, std::shared_ptr<const Vault> vault,
             const Secret* passphrase) {
  inTransaction(cn, [&] {
    if (form != Form::Plain) exec(cn, std::string("DROP INDEX IF EXISTS ") + kNameIndex);
    rewriteRows(cn, form, vault.get());
    if (form == Form::Plain) {
      exec(cn, std::string("DROP TABLE ") + kKeyTable);
      dropSummary(cn);
      exec(cn,
           std::string("CREATE INDEX IF NOT EXISTS ") + kNameIndex + " ON 账号集合(" + kName + ")");
    } else {
      writeKey(cn, vault->key(), *passphrase);
    }
    return true;
  });
  exec(cn, "VACUUM");
  cn.adopt(form, std::move(vault));
}

}  // namespace

Form formOf(const Connection& cn) {
  const auto columns =
      firstColumn(cn, std::string("SELECT name FROM pragma_table_info('") + kKeyTable + "')");
  if (columns.empty()) return Form::Plain;
  return std::find(columns.begin(), columns.end(), kFormColumn) == columns.end() ? Form::Contents
                                                                                 : Form::Whole;
}

std::string keyTableBytes(const Connection& cn) {
  if (!cn.isProtected()) return {};
  std::string bytes;
  for (const std::string& value : firstColumn(cn, std::string("SELECT quote(盐)||quote(运算次数)||"
                                                              "quote(内存)||quote(密钥) FROM ") +
                                                      kKeyTable))
    bytes += value + '\n';
  return bytes;
}

std::shared_ptr<const Vault> unlock(Connection& cn, const Secret& passphrase,
                                    const std::function<void()>& whileDeriving) {
  const KeyRow key = readKey(cn);
  if (whileDeriving) whileDeriving();
  std::optional<Secret> dataKey = unwrapKey(derive(passphrase, key.salt, key.limits), key.wrapped);
  wipeStackBelow();
  if (!dataKey) return nullptr;
  return std::make_shared<const Vault>(std::move(*dataKey));
}

void protect(Connection& cn, const Secret& passphrase) {
  if (cn.isProtected())
    throw StoreError(errnum::kProtection, fillText(texts::kStoreProtected, cn.path()));
  convert(cn, Form::Whole, std::make_shared<const Vault>(Secret::random(kKeySize)), &passphrase);
}

void unprotect(Connection& cn) {
  cn.vault();  // unlocked
  convert(cn, Form::Plain, nullptr, nullptr);
}

void changePassphrase(Connection& cn, const Secret& passphrase) {
  cn.vault();
  convert(cn, Form::Whole, std::make_shared<const Vault>(Secret::random(kKeySize)), &passphrase);
}

const char* passphraseProblem(std::string_view utf8, bool isNew) {
  if (utf8.size() > kMaxPassphraseBytes) return texts::kPassphraseTooLong;
  std::string_view rest = utf8;
  for (bool trimmed = true; trimmed && isNew;) {
    trimmed = false;
    for (std::string_view space : {" ", "\t", "\u3000"}) {  // U+3000: the ideographic space
      if (rest.starts_with(space)) rest.remove_prefix(space.size()), trimmed = true;
    }
  }
  return rest.empty() ? texts::kPassphraseEmpty : nullptr;
}

void requireNothingSealed(const Connection& cn) {
  std::string sql = "SELECT " + columnList() + " FROM 账号集合 WHERE 0";
  for (const char* field : kFields)
    sql += std::string(" OR typeof(") + field + ")='blob' OR substr(" + field + ",1," +
           std::to_string(sealedPrefix().size()) + ")='" + std::string(sealedPrefix()) + "'";
  const Statement candidates = prepare(cn, sql);
  while (sqlite3_step(candidates.get()) == SQLITE_ROW) {
    for (std::size_t i = 0; i < kFieldCount; ++i)
      if (looksSealed(storedField(candidates.get(), static_cast<int>(i))))
        throw sealedWithoutKey(cn);
  }
}

StoreError contentDamaged(const Connection& cn, std::string_view name) {
  return StoreError(errnum::kDamaged, fillText(texts::kStoreContentDamaged, cn.path(), name));
}

StoreError rowDamaged(const Connection& cn) {
  return StoreError(errnum::kDamaged, fillText(texts::kStoreRowDamaged, cn.path()));
}

StoreError sealedWithoutKey(const Connection& cn) {
  return StoreError(errnum::kDamaged, fillText(texts::kStoreSealedWithoutKey, cn.path()));
}

}  // namespace store
