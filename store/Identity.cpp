#include "Identity.h"

#include <sodium.h>

#include <vector>

#include "Connection.h"
#include "Sql.h"
#include "StoredRow.h"

namespace store {
namespace {

std::string hashed(std::string_view data, std::size_t size) {
  std::string out(size, '\0');
  crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), size,
                     reinterpret_cast<const unsigned char*>(data.data()), data.size(), nullptr, 0);
  return out;
}

// The index on accounts without identity finds those an older release added, without reading
// the others.

// What an identity is made from.
std::string rowBytes(RowId row, const StoredRow& stored) {
  std::string data = std::to_string(row);
  for (const StoredField& field : stored)
    data += (field.null   ? 'N'
             : field.blob ? 'B'
                          : 'T') +
            std::to_string(field.bytes.size()) + ':' + std::string(field.bytes);
  return data;
}

bool has(const Connection& cn, const std::string& sql) {
  return !firstColumn(cn, sql).empty();
}

}  // namespace

std::string madeIdentity(RowId row, const StoredRow& stored) {
  return hashed(rowBytes(row, stored), kIdentitySize);
}

std::string newIdentity() {
  std::string identity(kIdentitySize, '\0');
  randombytes_buf(identity.data(), identity.size());
  return identity;
}

std::string firstVersion(std::string_view identity) {
  return hashed(std::string("版本") + std::string(identity), kVersionSize);
}

std::string conflictIdentity(std::string_view identity, std::string_view version) {
  return hashed(std::string("冲突") + std::string(identity) + std::string(version), kIdentitySize);
}

std::string nextVersions(std::string_view versions) {
  std::string next(kVersionSize, '\0');
  randombytes_buf(next.data(), next.size());
  next += versions.substr(0, (kVersionsKept - 1) * kVersionSize);
  return next;
}

bool hasIdentities(const Connection& cn) {
  return has(cn, std::string("SELECT name FROM pragma_table_info('账号集合') WHERE name='") +
                     kIdentity + "'");
}

std::string identityTables() {
  return std::string("CREATE TABLE IF NOT EXISTS ") + kVersionTable + "(" + kIdentity +
         " BLOB PRIMARY KEY, 版本 BLOB NOT NULL) WITHOUT ROWID; CREATE TABLE IF NOT EXISTS " +
         kDeletedTable + "(" + kIdentity +
         " BLOB PRIMARY KEY, 删除时间 TEXT NOT NULL) WITHOUT ROWID; CREATE INDEX IF NOT EXISTS "
         "账号集合_无标识 ON 账号集合(" +
         kIdentity + ") WHERE " + kIdentity + " IS NULL;";
}

void prepareIdentities(const Connection& cn) {
  const bool column = hasIdentities(cn);
  if (column &&
      has(cn, std::string("SELECT name FROM sqlite_master WHERE name='") + kDeletedTable + "'") &&
      !has(cn, std::string("SELECT rowid FROM 账号集合 WHERE ") + kIdentity + " IS NULL LIMIT 1"))
    return;
  const auto work = [&] {
    if (!column) exec(cn, std::string("ALTER TABLE 账号集合 ADD COLUMN ") + kIdentity + " BLOB");
    exec(cn, identityTables());
    const Statement read = prepare(
        cn, "SELECT rowid, " + columnList() + " FROM 账号集合 WHERE " + kIdentity + " IS NULL");
    const Statement write =
        prepare(cn, std::string("UPDATE 账号集合 SET ") + kIdentity + "=?1 WHERE rowid=?2");
    std::vector<std::pair<RowId, std::string>> identities;
    int rc;
    while ((rc = sqlite3_step(read.get())) == SQLITE_ROW) {
      StoredRow stored;
      for (std::size_t i = 0; i < kFieldCount; ++i)
        stored[i] = storedField(read.get(), static_cast<int>(i) + 1);
      const RowId row = sqlite3_column_int64(read.get(), 0);
      identities.emplace_back(row, madeIdentity(row, stored));
    }
    cn.check(rc);
    for (const auto& [row, identity] : identities) {
      sqlite3_reset(write.get());
      sqlite3_bind_blob(write.get(), 1, identity.data(), static_cast<int>(identity.size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_int64(write.get(), 2, row);
      cn.check(sqlite3_step(write.get()));
    }
    return true;
  };
  if (sqlite3_get_autocommit(cn.handle()))
    inTransaction(cn, work);
  else
    work();  // part of the caller's transaction: gone with it if it fails
}

}  // namespace store
