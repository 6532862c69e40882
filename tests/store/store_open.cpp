// Opening store files: what is accepted, that a refused file stays untouched, and the texts
// the store makes.
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "Connection.h"
#include "Statements.h"
#include "StoreErrorOf.h"
#include "StoreFile.h"
#include "TempStore.h"
#include "Texts.h"
#include "Timestamp.h"

using testsupport::storeErrorOf;

namespace {

QByteArray fileHash(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly)
             ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
             : QByteArray();
}

}  // namespace

class StoreOpen : public QObject {
  Q_OBJECT

 private slots:
  void switchesWalStoreToRollbackJournal() {
    testsupport::TempStore store;
    store.exec("PRAGMA journal_mode=WAL");
    store::Connection().Open(store.path().toStdString());
    QFile file(store.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(20).mid(18, 2), QByteArray("\x01\x01", 2));  // legacy (rollback) format
  }

  void refusesBadFileUntouched_data() {
    QTest::addColumn<QByteArray>("bytes");  // the file's, no file when null
    QTest::addColumn<QByteArray>("sql");    // when set, the file is an SQLite database made by it
    QTest::addColumn<long>("number");
    QTest::addColumn<QByteArray>("description");  // %1 the path, %2 the missing field
    QTest::addColumn<QByteArray>("field");
    using namespace store::errnum;
    const auto row = [](const char* tag, const QByteArray& bytes, const QByteArray& sql,
                        long number, const char* description, const char* field = "") {
      QTest::newRow(tag) << bytes << sql << number << QByteArray(description) << QByteArray(field);
    };
    row("text file", "账号,类型\n", {}, kNotDatabase, texts::kStoreNotDatabase);
    row("missing file", {}, {}, kFileMissing, texts::kStoreMissing);  // and not created
    row("empty file", "", {}, kNotDatabase, texts::kStoreNotDatabase);
    row("damaged SQLite", QByteArray("SQLite format 3\0", 16) + QByteArray(4096, '\xff'), {},
        kNotDatabase, texts::kStoreNotDatabase);
    for (const char* engine : {"Standard Jet DB", "Standard ACE DB"})
      row(engine,
          QByteArray("\x00\x01\x00\x00", 4) + QByteArray(engine, 16) + QByteArray(4096, 'Z'), {},
          kNotDatabase, texts::kStoreIsAccess);
    row("no table", {}, "CREATE TABLE 账号(x)", kNoTable, texts::kStoreNoTable);
    row("view, not table", {},
        "CREATE TABLE t(账号名称,账号类型,账号内容,创建时间,最后修改);"
        "CREATE VIEW 账号集合 AS SELECT * FROM t",
        kNoTable, texts::kStoreNoTable);
    row("WAL, no table", {}, "PRAGMA journal_mode=WAL; CREATE TABLE t(x)", kNoTable,
        texts::kStoreNoTable);
    for (const char* missing : store::kFields) {
      QByteArrayList columns;
      for (const char* field : store::kFields)
        if (field != missing) columns << field;
      row(missing, {}, "CREATE TABLE 账号集合(" + columns.join(',') + ")", kUnknownField,
          texts::kStoreNoField, missing);
    }
  }

  void refusesBadFileUntouched() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, sql);
    QFETCH(long, number);
    QFETCH(QByteArray, description);
    QFETCH(QByteArray, field);
    QTemporaryDir dir;
    const std::string path = dir.filePath("zuld.mdb").toStdString();
    if (!sql.isEmpty()) {
      sqlite3* db = nullptr;
      QCOMPARE(sqlite3_open(path.c_str(), &db), SQLITE_OK);
      QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
      sqlite3_close(db);
    } else if (!bytes.isNull()) {
      QFile file(QString::fromStdString(path));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(bytes);
    }
    const auto files = [&] { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden); };
    const QStringList filesBefore = files();
    const QByteArray before = fileHash(QString::fromStdString(path));

    store::Connection cn;
    const store::StoreError error = storeErrorOf([&] { cn.Open(path); });
    QCOMPARE(error.number(), number);
    QCOMPARE(error.description(),
             store::fillText(description.toStdString(), path, field.toStdString()));
    QVERIFY(!cn.IsOpen());
    QCOMPARE(fileHash(QString::fromStdString(path)), before);
    QCOMPARE(files(), filesBefore);
  }

  // SQLite reads a name beginning "file:" as a URI, which could open or create another file.
  void pathStartingWithFileIsNoUri() {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const std::string path = "file:zuld.mdb?mode=memory";
    store::createStore(path);
    store::Connection().Open(path);
    QDir::setCurrent(previous);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QString::fromStdString(path)});
  }

  void texts() {
    QCOMPARE(store::timestampText(2015, 1, 31, 8, 5, 9), "2015/01/31 08:05:09");
    QCOMPARE(store::timestampText(2024, 12, 9, 23, 59, 0), "2024/12/09 23:59:00");
    QCOMPARE(store::findByName("it's ''"), "select * from 账号集合 where 账号名称='it''s '''''");
    // A mark inside an argument stays as it is.
    QCOMPARE(store::fillText("文件“%1”缺少“%2”", "/tmp/%2.mdb", "账号名称"),
             "文件“/tmp/%2.mdb”缺少“账号名称”");
  }
};

QTEST_GUILESS_MAIN(StoreOpen)
#include "store_open.moc"
