// Opening store files: what is accepted, and that a refused file stays untouched.
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

using testsupport::storeErrorOf;

namespace {

QByteArray fileHash(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

void makeSqlite(const QString& path, const QByteArray& sql) {
  sqlite3* db = nullptr;
  QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

QByteArray accessHeader(const char* engine) {
  return QByteArray("\x00\x01\x00\x00", 4) + QByteArray(engine, 16) + QByteArray(4096, '\x5a');
}

}  // namespace

class StoreOpen : public QObject {
  Q_OBJECT

 private slots:
  void switchesWalStoreToRollbackJournal() {
    testsupport::TempStore store;
    store.exec("PRAGMA journal_mode=WAL");
    store::Connection cn;
    cn.Open(store.path().toStdString());
    QFile file(store.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(20).mid(18, 2), QByteArray("\x01\x01", 2));  // legacy (rollback) format
  }

  void refusesBadFileUntouched_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("sql");  // when set, the file is an SQLite database made by it
    QTest::addColumn<long>("number");
    QTest::addColumn<QString>("description");  // %1 the path
    using namespace store::errnum;
    const auto text = [](const char* t) { return QString::fromUtf8(t); };
    QTest::newRow("text file") << QByteArray("账号,类型\n") << QByteArray() << kNotDatabase
                               << text(texts::kStoreNotDatabase);
    QTest::newRow("empty file") << QByteArray() << QByteArray() << kNotDatabase
                                << text(texts::kStoreNotDatabase);
    QTest::newRow("damaged SQLite")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(4096, '\xff') << QByteArray()
        << kNotDatabase << text(texts::kStoreNotDatabase);
    QTest::newRow("Jet") << accessHeader("Standard Jet DB") << QByteArray() << kNotDatabase
                         << text(texts::kStoreIsAccess);
    QTest::newRow("ACE") << accessHeader("Standard ACE DB") << QByteArray() << kNotDatabase
                         << text(texts::kStoreIsAccess);
    QTest::newRow("no table") << QByteArray() << QByteArray("CREATE TABLE 账号(x)") << kNoTable
                              << text(texts::kStoreNoTable);
    QTest::newRow("view, not table")
        << QByteArray()
        << QByteArray(
               "CREATE TABLE t(账号名称,账号类型,账号内容,创建时间,最后修改);"
               "CREATE VIEW 账号集合 AS SELECT * FROM t")
        << kNoTable << text(texts::kStoreNoTable);
    QTest::newRow("WAL, no table")
        << QByteArray() << QByteArray("PRAGMA journal_mode=WAL; CREATE TABLE t(x)") << kNoTable
        << text(texts::kStoreNoTable);
    for (const char* missing : store::kFields) {
      QByteArray columns;
      for (const char* field : store::kFields) {
        if (field != missing) columns += (columns.isEmpty() ? "" : ",") + QByteArray(field);
      }
      QTest::addRow("no %s", missing)
          << QByteArray() << "CREATE TABLE 账号集合(" + columns + ")" << kUnknownField
          << text(texts::kStoreNoField).replace("%2", text(missing));
    }
  }

  void refusesBadFileUntouched() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, sql);
    QFETCH(long, number);
    QFETCH(QString, description);
    QTemporaryDir dir;
    const QString path = dir.filePath("zuld.mdb");
    if (sql.isEmpty())
      writeFile(path, bytes);
    else
      makeSqlite(path, sql);
    const QByteArray before = fileHash(path);

    store::Connection cn;
    const store::StoreError error = storeErrorOf([&] { cn.Open(path.toStdString()); });
    QCOMPARE(error.number(), number);
    QCOMPARE(QString::fromStdString(error.description()), description.replace("%1", path));
    QVERIFY(!cn.IsOpen());
    QCOMPARE(fileHash(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"zuld.mdb"});
  }

  void missingFileIsNotCreated() {
    QTemporaryDir dir;
    const QString path = dir.filePath("zuld.mdb");
    store::Connection cn;
    const store::StoreError error = storeErrorOf([&] { cn.Open(path.toStdString()); });
    QCOMPARE(error.number(), store::errnum::kFileMissing);
    QCOMPARE(error.description(), store::fillText(texts::kStoreMissing, path.toStdString()));
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  }

  // SQLite reads a name beginning "file:" as a URI, which could open or create another file.
  void pathStartingWithFileIsNoUri() {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const std::string path = "file:zuld.mdb?mode=memory";
    store::createStore(path);
    store::Connection cn;
    cn.Open(path);
    QDir::setCurrent(previous);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QString::fromStdString(path)});
  }
};

QTEST_GUILESS_MAIN(StoreOpen)
#include "store_open.moc"
