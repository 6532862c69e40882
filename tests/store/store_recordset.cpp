// The record-set calls the windows make, against a real store file.
#include <sqlite3.h>

#include <QDir>
#include <QFile>
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

// A walk done the windows' way (count, then MoveNext after each row): one field of each row.
QStringList walk(Recordset& rs, const char* field = store::kName) {
  QStringList values;
  for (std::int64_t i = 1; i <= rs.RecordCount(); ++i, rs.MoveNext())
    values << text(rs.FieldText(field));
  return values;
}

QStringList storedNames(const testsupport::TempStore& store) {
  QStringList names;
  for (const auto& row : store.rows()) names << row.name.value_or("<null>");
  return names;
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
    for (const std::string& source :
         {std::string(store::kTableName), std::string(store::kSelectAll), store::findByName("甲"),
          store::findByName("")})
      QTest::newRow(source.c_str()) << QByteArray::fromStdString(source) << true;
    for (const std::string& source :
         {std::string(), std::string("SELECT * FROM 账号集合"), std::string("账号集合 "),
          std::string("select * from 账号集合 where 1=1"),
          std::string("select * from 账号集合 where 账号名称='"),
          std::string("select * from 账号集合 where 账号名称='a' or 账号名称='b'"),
          store::findByName("a") + " or 1=1"})
      QTest::newRow(source.c_str()) << QByteArray::fromStdString(source) << false;
  }

  // Each accepted statement gives a set, empty on the empty table.
  void acceptsOnlyTheThreeStatements() {
    QFETCH(QByteArray, source);
    QFETCH(bool, accepted);
    Recordset rs;
    const auto error = storeErrorOf([&] { rs.Open(source.toStdString(), cn); });
    QCOMPARE(error.number(), accepted ? 0 : store::errnum::kBadStatement);
    QCOMPARE(rs.IsOpen(), accepted);
    if (!accepted) return;
    QCOMPARE(rs.RecordCount(), 0);
    QVERIFY(rs.AtEnd());
    QCOMPARE(storeErrorOf([&] { rs.Field(store::kName); }).number(), store::errnum::kNoCurrentRow);
  }

  // Two passes over a set give the same rows in store order; a name's rows are fixed when
  // its set opens.
  void keysetsInStoreOrderOnEveryPass() {
    const char* rows[][2] = {{"丙", "一"}, {"重名", "二"}, {"甲", "三"}, {"重名", "四"}};
    for (const auto& [name, type] : rows) store->addRow(name, type);
    store->exec("DELETE FROM 账号集合 WHERE 账号名称='甲'");
    Recordset all, found;
    all.Open(store::kTableName, cn);
    for (int pass = 0; pass < 2; ++pass, all.MoveFirst()) {
      QCOMPARE(walk(all, store::kType), QStringList({"一", "二", "四"}));
      QVERIFY(all.AtEnd());
    }
    find(found, "重名");
    store->addRow("重名", "五");
    for (int pass = 0; pass < 2; ++pass, found.MoveFirst()) {
      QCOMPARE(walk(found, store::kType), QStringList({"二", "四"}));
      QVERIFY(found.AtEnd());
    }
  }

  void findsExactlyTheNameGiven_data() {
    QTest::addColumn<QString>("name");
    for (const char* name : {"it's", "''", "x' or '1'='1", "a\\b", "100%", "a_b"})
      QTest::newRow(name) << QString(name);
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

  // Update writes only the fields set, and neither it nor Delete loses the walk's place.
  void writesDuringAWalkKeepItsPlace() {
    for (const char* name : {"一", "二", "三", "四"}) store->addRow(name, "类", "旧");
    Recordset rs;
    rs.Open(store::kTableName, cn);
    rs.MoveNext();
    rs.SetField(store::kName, "贰");
    rs.SetField(store::kModified, "2016/02/01 09:00:00");
    QVERIFY(rs.Update());
    QCOMPARE(rs.FieldText(store::kName), "贰");
    rs.MoveNext();
    QVERIFY(rs.Delete());
    rs.MoveNext();
    QCOMPARE(rs.FieldText(store::kName), "四");
    QCOMPARE(storedNames(*store), QStringList({"一", "贰", "四"}));
    const auto row = store->rows().at(1);
    QCOMPARE(row.content, "旧");
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

  // Opening statement 2 and AddNew read nothing, so they do not wait for another instance's
  // lock; Update waits for it to end rather than fail.
  void appendingWaitsOnlyToWrite() {
    sqlite3* other = nullptr;  // a second program's connection
    sqlite3_open_v2(store->path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Recordset rs;
    const auto opened = storeErrorOf([&] {
      rs.Open(store::kSelectAll, cn);
      rs.AddNew();
      rs.SetField(store::kName, "甲");
    });
    std::thread release([other] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
      sqlite3_close(other);
    });
    const auto updated = storeErrorOf([&] { QVERIFY(rs.Update()); });
    release.join();
    QCOMPARE(opened.number(), 0);
    QCOMPARE(updated.number(), 0);
    QCOMPARE(storedNames(*store), QStringList{"甲"});
  }

  // The editor keeps a found row's set open while its question box waits for the user; a
  // second instance must be able to write meanwhile, and may remove the row.
  void aReadRowHoldsNoLock() {
    store->addRow("甲", "工作");
    Recordset rs;
    find(rs, "甲");
    QCOMPARE(rs.Field(store::kType), Text("工作"));
    store->exec("DELETE FROM 账号集合");  // a second instance, which would wait for a lock
    QCOMPARE(rs.Field(store::kType), Text("工作"));  // as read, until the set moves
    rs.SetField(store::kType, "生活");
    QVERIFY(!rs.Update());
    QVERIFY(!rs.Delete());
    QVERIFY(store->rows().empty());
  }

  // secure_delete and a rollback journal: a deleted or overwritten account leaves none of its
  // text in the folder's files.
  void leavesNoTextBehind() {
    const auto folderBytes = [&] {
      QByteArray bytes;
      for (const QFileInfo& info : QDir(store->dir()).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly)) bytes += file.readAll();
      }
      return bytes;
    };
    store->addRow("留下", "网站", "KEEP-7c1e");
    store->addRow("DEL-NAME-52b0", "网站", "DEL-CONTENT-52b0");
    store->addRow("长文", "备忘", QString("LONG-9d04-").repeated(1500));  // overflow pages
    store->addRow("改写", "邮箱", "OLD-CONTENT-e6a3 的旧内容");
    const char* gone[] = {"DEL-NAME-52b0", "DEL-CONTENT-52b0", "LONG-9d04-", "OLD-CONTENT-e6a3"};
    for (const char* text : gone) QVERIFY2(folderBytes().contains(text), text);
    for (const char* name : {"DEL-NAME-52b0", "长文", "改写"}) {
      Recordset rs;
      find(rs, name);
      if (name == std::string("改写")) {
        rs.SetField(store::kContent, "新");
        QVERIFY(rs.Update());
      } else {
        QVERIFY(rs.Delete());
      }
    }
    const QByteArray after = folderBytes();
    for (const char* text : gone) QVERIFY2(!after.contains(text), text);
    QVERIFY(after.contains("KEEP-7c1e"));
  }
};

QTEST_GUILESS_MAIN(StoreRecordset)
#include "store_recordset.moc"
