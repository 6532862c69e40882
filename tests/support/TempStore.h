#pragma once

#include <sqlite3.h>

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>
#include <vector>

#include "StoreFile.h"

namespace testsupport {

// One stored row, read straight from the file.
struct Row {
  qint64 rowid = 0;
  std::optional<QString> name, type, content, created, modified;
};

// A fresh store `zuld.mdb` in its own temporary folder, read and written with plain SQL so
// that tests do not trust the code under test to set up or check the file.
class TempStore {
 public:
  TempStore() { store::createStore(path().toStdString()); }

  QString dir() const { return dir_.path(); }
  QString path() const { return dir_.filePath(QStringLiteral("zuld.mdb")); }

  qint64 addRow(const QString& name, const QString& type, const QString& content = "内容",
                const QString& created = "2015/01/31 08:05:09",
                const QString& modified = "2015/01/31 08:05:09") {
    sqlite3* db = open();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO 账号集合(账号名称,账号类型,账号内容,创建时间,最后修改) "
                       "VALUES(?,?,?,?,?)",
                       -1, &st, nullptr);
    const QString values[] = {name, type, content, created, modified};
    for (int i = 0; i < 5; ++i) {
      const QByteArray utf8 = values[i].toUtf8();
      sqlite3_bind_text(st, i + 1, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
    }
    if (sqlite3_step(st) != SQLITE_DONE) qFatal("insert failed: %s", sqlite3_errmsg(db));
    sqlite3_finalize(st);
    const qint64 id = sqlite3_last_insert_rowid(db);
    sqlite3_close(db);
    return id;
  }

  void exec(const char* sql) {
    sqlite3* db = open();
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) qFatal("%s: %s", sql, error);
    sqlite3_close(db);
  }

  std::vector<Row> rows() const {
    std::vector<Row> out;
    sqlite3* db = open();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT rowid,账号名称,账号类型,账号内容,创建时间,最后修改 FROM 账号集合 "
                       "ORDER BY rowid",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      Row r;
      r.rowid = sqlite3_column_int64(st, 0);
      std::optional<QString>* fields[] = {&r.name, &r.type, &r.content, &r.created, &r.modified};
      for (int i = 0; i < 5; ++i) {
        if (sqlite3_column_type(st, i + 1) != SQLITE_NULL)
          *fields[i] =
              QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i + 1)),
                                sqlite3_column_bytes(st, i + 1));
      }
      out.push_back(r);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }

 private:
  sqlite3* open() const {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
      qFatal("cannot open test store");
    sqlite3_busy_timeout(db, 5000);
    return db;
  }

  QTemporaryDir dir_;
};

}  // namespace testsupport
