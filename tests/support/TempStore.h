#pragma once

#include <sqlite3.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "Connection.h"
#include "Protection.h"
#include "StoreError.h"
#include "StoreFile.h"

namespace testsupport {

inline const QString kTime = "2015/01/31 08:05:09";

// A fresh store in a folder of its own, read and written with plain SQL.
class TempStore {
 public:
  TempStore() { store::createStore(path().toStdString()); }
  QString dir() const { return dir_.path(); }
  QString path() const { return dir_.filePath("zuld.mdb"); }

  // One statement, "?" bound to `args`; rows as "a|b|...", null as "∅" both ways.
  QStringList sql(const QString& statement, const QStringList& args = {}) const {
    return sqlOn(path(), statement, args);
  }
  static QStringList sqlOn(const QString& path, const QString& statement,
                           const QStringList& args = {}) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, statement.toUtf8(), -1, &st, nullptr) != SQLITE_OK)
      qFatal("%s: %s", qPrintable(statement), sqlite3_errmsg(db));
    for (int i = 0; i < args.size(); ++i)
      if (args[i] != "∅") sqlite3_bind_text(st, i + 1, args[i].toUtf8(), -1, SQLITE_TRANSIENT);
    QStringList out;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      QStringList row;
      for (int c = 0; c < sqlite3_column_count(st); ++c)
        row << (sqlite3_column_type(st, c) == SQLITE_NULL
                    ? "∅"
                    : QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(st, c)),
                                        sqlite3_column_bytes(st, c)));
      out << row.join('|');
    }
    if (rc != SQLITE_DONE) qFatal("%s: %s", qPrintable(statement), sqlite3_errmsg(db));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
  // Accounts as "name|type|content|created|modified"; left out: null, "内容", kTime, kTime.
  void add(const QStringList& accounts) const {
    for (const QString& account : accounts) {
      const QStringList given = account.split('|');
      const QStringList defaults = {"", "∅", "内容", kTime, kTime};
      sql("INSERT INTO 账号集合(" + QString::fromStdString(store::columnList()) +
              ") VALUES(?,?,?,?,?)",
          given + defaults.mid(given.size()));
    }
  }
  // Protects the store as kelvarn-store does.
  void protect(const char* passphrase) const {
    store::Connection cn;
    cn.Open(path().toStdString());
    store::protect(cn, store::Secret(passphrase));
  }
  QStringList rows() const {
    return sql("SELECT " + QString::fromStdString(store::columnList()) +
               " FROM 账号集合 ORDER BY rowid");
  }
  QString names() const { return sql("SELECT 账号名称 FROM 账号集合 ORDER BY rowid").join(' '); }

 private:
  QTemporaryDir dir_;
};

// The names and bytes of every file in a folder, journals included.
inline QByteArray folderBytes(const QString& dir) {
  QByteArray bytes;
  for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden)) {
    QFile file(info.filePath());
    bytes +=
        info.fileName().toUtf8() + '\0' + (file.open(QIODevice::ReadOnly) ? file.readAll() : "");
  }
  return bytes;
}

// The StoreError that `call` throws; number 0 when it throws none.
template <typename Call>
store::StoreError storeErrorOf(Call&& call) {
  try {
    call();
  } catch (const store::StoreError& error) {
    return error;
  }
  return store::StoreError(0, "no error");
}

}  // namespace testsupport
