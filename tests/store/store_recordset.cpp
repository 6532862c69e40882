// The record-set calls the windows make, against a real store file.
#include <sqlite3.h>

#include <QtTest>
#include <chrono>
#include <memory>
#include <thread>

#include "Connection.h"
#include "Recordset.h"
#include "Statements.h"
#include "StoreErrorOf.h"
#include "TempStore.h"

using store::Recordset;
using testsupport::storeErrorOf;
using Text = std::optional<std::string>;

namespace {

QString text(std::string_view view) {
  return QString::fromUtf8(view.data(), view.size());
}

// The names of a walk done the windows' way: count, then MoveNext after each row.
QStringList walk(Recordset& rs) {
  QStringList names;
  for (std::int64_t i = 1; i <= rs.RecordCount(); ++i, rs.MoveNext())
    names << text(rs.FieldText(store::kName));
  return names;
}

QStringList storedNames(const testsupport::TempStore& store) {
  QStringList names;
  for (const auto& row : store.rows()) names << row.name.value_or("<null>");
  return names;
}

// A second program's connection to the file, inside a transaction begun with `begin`.
sqlite3* otherInstance(const testsupport::TempStore& store, const char* begin) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(store.path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (sqlite3_exec(db, begin, nullptr, nullptr, nullptr) != SQLITE_OK) qFatal("%s failed", begin);
  return db;
}

void endInstance(sqlite3* db) {
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace

class StoreRecordset : public QObject {
  Q_OBJECT

  std::unique_ptr<testsupport::TempStore> store;
  store::Connection cn;

  void find(Recordset& rs, const std::string& name) { rs.Open(store::findByName(name), cn); }

 private slots:
  void init() {
    store = std::make_unique<testsupport::TempStore>();
    cn.Open(store->path().toStdString());
  }

  void acceptsOnlyTheThreeStatements_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1") << QByteArray(store::kTableName) << true;
    QTest::newRow("2") << QByteArray(store::kSelectAll) << true;
    QTest::newRow("3") << QByteArray::fromStdString(store::findByName("甲")) << true;
    QTest::newRow("3, empty name") << QByteArray::fromStdString(store::findByName("")) << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("upper case") << QByteArray("SELECT * FROM 账号集合") << false;
    QTest::newRow("trailing space") << QByteArray("账号集合 ") << false;
    QTest::newRow("other where") << QByteArray("select * from 账号集合 where 1=1") << false;
    QTest::newRow("unclosed") << QByteArray("select * from 账号集合 where 账号名称='") << false;
    QTest::newRow("lone quote") << QByteArray(
                                       "select * from 账号集合 where 账号名称='a' or 账号名称='b'")
                                << false;
    QTest::newRow("appended") << QByteArray::fromStdString(store::findByName("a") + " or 1=1")
                              << false;
  }

  void acceptsOnlyTheThreeStatements() {
    QFETCH(QByteArray, source);
    QFETCH(bool, accepted);
    Recordset rs;
    const auto error = storeErrorOf([&] { rs.Open(source.toStdString(), cn); });
    QCOMPARE(error.number(), accepted ? 0 : store::errnum::kBadStatement);
    QCOMPARE(rs.IsOpen(), accepted);
  }

  void emptyTable() {
    for (const std::string& source : {std::string(store::kTableName), store::findByName("甲")}) {
      Recordset rs;
      rs.Open(source, cn);
      QCOMPARE(rs.RecordCount(), 0);
      QVERIFY(rs.AtEnd());
      QCOMPARE(storeErrorOf([&] { rs.Field(store::kName); }).number(),
               store::errnum::kNoCurrentRow);
    }
  }

  void readAllGivesEveryRowInStoreOrderOnEveryPass() {
    for (const char* name : {"丙", "甲", "乙"}) store->addRow(name, "邮箱");
    store->exec("DELETE FROM 账号集合 WHERE 账号名称='甲'");
    store->addRow("丁", "网站");
    Recordset rs;
    rs.Open(store::kTableName, cn);
    QCOMPARE(walk(rs), QStringList({"丙", "乙", "丁"}));
    QVERIFY(rs.AtEnd());
    rs.MoveFirst();
    QCOMPARE(walk(rs), QStringList({"丙", "乙", "丁"}));
    rs.MoveFirst();
    QCOMPARE(rs.Field(store::kCreated), Text("2015/01/31 08:05:09"));
  }

  void findsExactlyTheNameGiven_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("quote") << "it's";
    QTest::newRow("quotes only") << "''";
    QTest::newRow("injection") << "x' or '1'='1";
    QTest::newRow("backslash") << "a\\b";
    QTest::newRow("percent") << "100%";
    QTest::newRow("underscore") << "a_b";
    QTest::newRow("NUL") << QString::fromStdString(std::string("a\0b", 3));
  }

  void findsExactlyTheNameGiven() {
    QFETCH(QString, name);
    for (const char* decoy : {"a", "ab", "axb", "1000", "x", "it"}) store->addRow(decoy, "诱饵");
    const qint64 id = store->addRow(name, "目标");
    Recordset rs;
    find(rs, name.toStdString());
    QCOMPARE(rs.RecordCount(), 1);
    QCOMPARE(rs.CurrentRowId(), id);
    QCOMPARE(text(rs.FieldText(store::kName)), name);
  }

  // The rows of one name are fixed when the set opens; later rows of that name stay out.
  void findByNameKeepsItsKeysetInStoreOrder() {
    const qint64 first = store->addRow("重名", "一");
    store->addRow("别名", "二");
    const qint64 second = store->addRow("重名", "三");
    Recordset rs;
    find(rs, "重名");
    store->addRow("重名", "四");
    QCOMPARE(rs.RecordCount(), 2);
    for (int pass = 0; pass < 2; ++pass) {
      rs.MoveFirst();
      QCOMPARE(rs.CurrentRowId(), first);
      QCOMPARE(rs.Field(store::kType), Text("一"));
      rs.MoveNext();
      QCOMPARE(rs.CurrentRowId(), second);
      rs.MoveNext();
      QVERIFY(rs.AtEnd());
    }
  }

  void addNewIsSeenThroughAnotherConnection() {
    store->addRow("旧", "网站");
    store::Connection editor;
    editor.Open(store->path().toStdString());
    Recordset add;
    add.Open(store::kSelectAll, editor);
    add.AddNew();
    const std::string values[] = {std::string("新\0名", 7), "邮箱", "两\n行", "t1", "t2"};
    for (int i = 0; i < 5; ++i) add.SetField(store::kFields[i], values[i]);
    QVERIFY(add.Update());
    const auto added = store->rows().at(1);
    QCOMPARE(added.rowid, add.CurrentRowId());
    QCOMPARE(added.name, QString::fromStdString(values[0]));
    QCOMPARE(added.modified, "t2");

    Recordset main;
    main.Open(store::kTableName, cn);
    QCOMPARE(main.RecordCount(), 2);
    main.MoveNext();
    QCOMPARE(main.Field(store::kName), Text(values[0]));
  }

  void updateWritesOnlyTheFieldsSet() {
    store->addRow("甲", "网站", "旧", "2015/01/31 08:05:09");
    Recordset rs;
    find(rs, "甲");
    rs.SetField(store::kContent, "新");
    rs.SetField(store::kModified, "2016/02/01 09:00:00");
    QVERIFY(rs.Update());
    QCOMPARE(rs.FieldText(store::kContent), "新");
    const auto row = store->rows().at(0);
    QCOMPARE(row.name, "甲");
    QCOMPARE(row.content, "新");
    QCOMPARE(row.created, "2015/01/31 08:05:09");
    QCOMPARE(row.modified, "2016/02/01 09:00:00");
  }

  void deleteRemovesTheFirstRowOfTheNameAtOnce() {
    store->addRow("甲", "网站");
    store->addRow("乙", "网站", "第一个");
    store->addRow("乙", "网站", "第二个");
    Recordset rs;
    find(rs, "乙");
    QVERIFY(rs.Delete(store::adAffectCurrent));
    QCOMPARE(storedNames(*store), QStringList({"甲", "乙"}));
    QCOMPARE(store->rows().at(1).content, "第二个");
    QVERIFY(rs.Update());  // nothing pending after a delete
    QCOMPARE(storeErrorOf([&] { rs.FieldText(store::kName); }).number(),
             store::errnum::kNoCurrentRow);
    QVERIFY(!rs.Delete());
  }

  // Another instance may remove the row between finding and writing it.
  void writesToAVanishedRowReturnFalse() {
    store->addRow("甲", "网站");
    Recordset rs;
    find(rs, "甲");
    store->exec("DELETE FROM 账号集合");
    rs.SetField(store::kContent, "新");
    QVERIFY(!rs.Update());
    QVERIFY(!rs.Delete());
    QVERIFY(store->rows().empty());
  }

  void writesDuringAWalkKeepItsPlace() {
    for (const char* name : {"一", "二", "三", "四"}) store->addRow(name, "类");
    Recordset rs;
    rs.Open(store::kTableName, cn);
    rs.MoveNext();
    rs.SetField(store::kName, "贰");
    QVERIFY(rs.Update());
    QCOMPARE(rs.FieldText(store::kName), "贰");
    rs.MoveNext();
    QVERIFY(rs.Delete());
    rs.MoveNext();
    QCOMPARE(rs.FieldText(store::kName), "四");
    QCOMPARE(storedNames(*store), QStringList({"一", "贰", "四"}));
  }

  void misuseThrows() {
    store->addRow("甲", "网站");
    Recordset rs;
    QCOMPARE(storeErrorOf([&] { rs.RecordCount(); }).number(), store::errnum::kClosed);
    rs.Open(store::kTableName, cn);
    QCOMPARE(storeErrorOf([&] { rs.Field("rowid"); }).number(), store::errnum::kUnknownField);
    rs.MoveNext();
    QCOMPARE(storeErrorOf([&] { rs.Field(store::kName); }).number(), store::errnum::kNoCurrentRow);
    QCOMPARE(storeErrorOf([&] { rs.MoveNext(); }).number(), store::errnum::kNoCurrentRow);
    rs.Close();
    QCOMPARE(storeErrorOf([&] { rs.Close(); }).number(), store::errnum::kClosed);
  }

  void countsBeyondSixteenBits() {
    store->exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
        "INSERT INTO 账号集合 SELECT 'n' || i, 't', 'c', 'x', 'y' FROM n");
    Recordset rs;
    rs.Open(store::kTableName, cn);
    QCOMPARE(rs.RecordCount(), 40000);
    std::int64_t rows = 0;
    for (; !rs.AtEnd(); rs.MoveNext()) ++rows;
    QCOMPARE(rows, 40000);
  }

  // Opening statement 2 and AddNew read nothing, so they do not wait for a reader's lock.
  void appendingReadsNothingBeforeUpdate() {
    sqlite3* other = otherInstance(*store, "BEGIN EXCLUSIVE");
    Recordset rs;
    rs.Open(store::kSelectAll, cn);
    rs.AddNew();
    rs.SetField(store::kName, "甲");
    endInstance(other);
    QVERIFY(rs.Update());
    QCOMPARE(storedNames(*store), QStringList{"甲"});
  }

  // A second instance in the middle of a write makes this one wait, not fail.
  void waitsForAnotherWriter() {
    sqlite3* other = otherInstance(*store, "BEGIN IMMEDIATE");
    std::thread release([other] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      endInstance(other);
    });
    Recordset rs;
    rs.Open(store::kSelectAll, cn);
    rs.AddNew();
    rs.SetField(store::kName, "甲");
    const auto error = storeErrorOf([&] { rs.Update(); });
    release.join();
    QCOMPARE(error.number(), 0);
    QCOMPARE(storedNames(*store), QStringList{"甲"});
  }
  // The editor keeps a found row's set open while its question box waits for the user; a
  // second instance must be able to write meanwhile.
  void aReadRowHoldsNoLock() {
    store->addRow("甲", "工作");
    Recordset rs;
    find(rs, "甲");
    QCOMPARE(rs.Field(store::kType), Text("工作"));
    sqlite3* other = otherInstance(*store, "BEGIN IMMEDIATE");
    const int rc = sqlite3_exec(other, "DELETE FROM 账号集合", nullptr, nullptr, nullptr);
    endInstance(other);
    QCOMPARE(rc, SQLITE_OK);
    QCOMPARE(rs.Field(store::kType), Text("工作"));  // as read, until the set moves
    rs.SetField(store::kType, "生活");
    QVERIFY(!rs.Update());
  }
};

QTEST_GUILESS_MAIN(StoreRecordset)
#include "store_recordset.moc"
