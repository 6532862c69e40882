// The store on real files: what opens, that a refused file stays untouched, the three
// statements, keysets, writes, and a second instance writing beside the program.
#include <grp.h>
#include <sys/wait.h>

#include <thread>

#include "Connection.h"
#include "Recordset.h"
#include "Statements.h"
#include "TempStore.h"
#include "Texts.h"

using namespace testsupport;
using store::Recordset;

namespace {

// A walk done the windows' way (count, then MoveNext after each row): one field per row.
QString walk(Recordset& rs, const char* field = store::kName) {
  QStringList values;
  for (std::int64_t i = 1; i <= rs.RecordCount(); ++i, rs.MoveNext())
    values << QString::fromStdString(std::string(rs.FieldText(field)));
  return values.join(' ');
}

// What an ordinary user meets: a store, or a store's folder, that they may not write is
// refused at once with its cause, leaving the folder as it was; reading still works.
bool writeProtectedStoreRefused() {
  for (const bool folder : {false, true}) {
    TempStore t;
    const QString locked = folder ? t.dir() : t.path();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray before = folderBytes(t.dir());
    const auto error = storeErrorOf([&] { store::Connection().Open(t.path().toStdString()); });
    const std::string path = t.path().toStdString(), dir = t.dir().toStdString();
    store::Connection reader;
    reader.Open(path, store::Connection::Access::ReadOnly);
    const bool refused =
        error.number() == store::errnum::kReadOnly &&
        error.description() == (folder ? store::fillText(texts::kStoreFolderReadOnly, path, dir)
                                       : store::fillText(texts::kStoreReadOnly, path)) &&
        folderBytes(t.dir()) == before;
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!refused) return !std::fprintf(stderr, "not refused as expected: %s\n", error.what());
  }
  return true;
}

}  // namespace

class StoreTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TempStore> s;
  store::Connection cn;

  Recordset& find(Recordset& rs, const QString& name) {
    rs.Open(store::findByName(name.toStdString()), cn);
    return rs;
  }

 private slots:
  void init() {
    s = std::make_unique<TempStore>();
    cn.Open(s->path().toStdString());
  }

  void badFileRefusedUntouched_data() {
    QTest::addColumn<QByteArray>("bytes");  // the file's; no file when null
    QTest::addColumn<QByteArray>("sql");    // else an SQLite database made by this
    QTest::addColumn<long>("number");
    QTest::addColumn<QString>("description");  // %1 the path, %2 the missing field
    QTest::addColumn<QString>("field");
    using namespace store::errnum;
    const auto row = [](const char* tag, const QByteArray& bytes, const QByteArray& sql,
                        long number, const char* description, const char* field = "") {
      QTest::newRow(tag) << bytes << sql << number << QString(description) << QString(field);
    };
    row("missing", {}, {}, kFileMissing, texts::kStoreMissing);
    row("empty", "", {}, kNotDatabase, texts::kStoreNotDatabase);
    row("text", "账号,类型\n", {}, kNotDatabase, texts::kStoreNotDatabase);
    row("damaged SQLite", QByteArray("SQLite format 3\0", 16) + QByteArray(4096, '\xff'), {},
        kNotDatabase, texts::kStoreNotDatabase);
    for (const char* engine : {"Standard Jet DB", "Standard ACE DB"})
      row(engine, QByteArray(4, '\1') + QByteArray(engine, 16) + QByteArray(4096, 'Z'), {},
          kNotDatabase, texts::kStoreIsAccess);
    row("no table", {}, "CREATE TABLE 账号(x)", kNoTable, texts::kStoreNoTable);
    row("view", {}, "CREATE TABLE t(x); CREATE VIEW 账号集合 AS SELECT * FROM t", kNoTable,
        texts::kStoreNoTable);
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
  void badFileRefusedUntouched() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, sql);
    QFETCH(long, number);
    QFETCH(QString, description);
    QFETCH(QString, field);
    QTemporaryDir dir;
    const QString path = dir.filePath("zuld.mdb");
    if (!sql.isEmpty()) {
      sqlite3* db = nullptr;
      sqlite3_open(path.toUtf8(), &db);
      QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
      sqlite3_close(db);
    }
    QFile file(path);
    QVERIFY(bytes.isNull() || (file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0));
    file.close();
    const QByteArray before = folderBytes(dir.path());
    store::Connection bad;
    const store::StoreError error = storeErrorOf([&] { bad.Open(path.toStdString()); });
    QCOMPARE(error.number(), number);
    QCOMPARE(QString::fromStdString(error.description()), description.arg(path, field));
    QVERIFY(!bad.IsOpen());
    QCOMPARE(folderBytes(dir.path()), before);
  }

  // Root may write anything: the checks run in a child that is an ordinary user (nobody).
  void writeProtectedStoreRefusedForAnOrdinaryUser() {
    const pid_t child = fork();
    if (child == 0)
      _exit(geteuid() == 0 && (setgroups(0, nullptr) || setresgid(65534, 65534, 65534) ||
                               setresuid(65534, 65534, 65534))
                ? 2
                : !writeProtectedStoreRefused());
    int status = -1;
    waitpid(child, &status, 0);
    QCOMPARE(status, 0);
  }

  // WAL would keep the text of changed rows in a file of its own.
  void walStoreSwitchedToRollbackJournal() {
    s->sql("PRAGMA journal_mode=WAL");
    store::Connection().Open(s->path().toStdString());
    QCOMPARE(s->sql("PRAGMA journal_mode"), QStringList{"delete"});
  }

  // Only the three statements open, each an empty set on the empty table.
  void onlyTheThreeStatements() {
    for (const std::string& ok : {std::string(store::kTableName), std::string(store::kSelectAll),
                                  store::findByName("甲"), store::findByName("")}) {
      Recordset rs;
      rs.Open(ok, cn);
      QCOMPARE(rs.RecordCount(), 0);
      QCOMPARE(storeErrorOf([&] { rs.Field(store::kName); }).number(),
               store::errnum::kNoCurrentRow);
    }
    for (const char* bad :
         {"", "SELECT * FROM 账号集合", "账号集合 ", "select * from 账号集合 where 1=1",
          "select * from 账号集合 where 账号名称='",
          "select * from 账号集合 where 账号名称='a' or 账号名称='b'"}) {
      Recordset rs;
      QCOMPARE(storeErrorOf([&] { rs.Open(bad, cn); }).number(), store::errnum::kBadStatement);
      QVERIFY2(!rs.IsOpen(), bad);
    }
  }

  // Every pass gives the same rows in store order; a name's rows are fixed when its set
  // opens; a name matches only itself; a null field reads as null.
  void keysetsAndNames() {
    s->add(QString("丙 重名 甲 重名 it's '' a_b 100% a\\b").split(' '));
    s->sql("UPDATE 账号集合 SET 账号类型 = rowid, 账号内容 = NULL");
    s->sql("DELETE FROM 账号集合 WHERE 账号名称='甲'");
    Recordset all, found;
    all.Open(store::kTableName, cn);
    for (int pass = 0; pass < 2; ++pass, all.MoveFirst())
      QCOMPARE(walk(all, store::kType), "1 2 4 5 6 7 8 9");
    find(found, "重名");
    s->add({"重名|10"});
    for (int pass = 0; pass < 2; ++pass, found.MoveFirst())
      QCOMPARE(walk(found, store::kType), "2 4");
    for (const QString name : {"it's", "''", "a_b", "100%", "a\\b"}) {
      Recordset one;
      QCOMPARE(walk(find(one, name)), name);
    }
    Recordset one;
    QCOMPARE(find(one, "丙").Field(store::kContent), store::Value());
  }

  // Update writes only the fields set; neither it nor Delete loses the walk's place. A row
  // read holds no lock, so a second instance may remove it meanwhile: then Update and Delete
  // report it gone and write nothing.
  void writes() {
    s->add({"一|类|旧", "二|类|旧", "三|类|旧", "四|类|旧"});
    Recordset rs;
    rs.Open(store::kTableName, cn);
    rs.MoveNext();
    rs.SetField(store::kName, "贰");
    rs.SetField(store::kModified, "2016/02/01 09:00:00");
    QVERIFY(rs.Update());
    QCOMPARE(rs.FieldText(store::kName), "贰");
    rs.MoveNext();
    QVERIFY(rs.Delete(store::adAffectCurrent));
    rs.MoveNext();
    QCOMPARE(rs.FieldText(store::kName), "四");
    QCOMPARE(s->rows().mid(1, 2), QStringList({"贰|类|旧|" + kTime + "|2016/02/01 09:00:00",
                                               "四|类|旧|" + kTime + '|' + kTime}));
    rs.Close();
    Recordset gone;
    find(gone, "一");
    QCOMPARE(gone.Field(store::kType), store::Value("类"));
    s->sql("DELETE FROM 账号集合 WHERE 账号名称='一'");
    QCOMPARE(gone.Field(store::kType), store::Value("类"));  // as read, until the set moves
    gone.SetField(store::kType, "新");
    QVERIFY(!gone.Update() && !gone.Delete());
    QCOMPARE(s->names(), "贰 四");
  }

  // Opening statement 2 and AddNew wait for nothing while a second instance writes; Update
  // waits for its lock to end.
  void secondInstance() {
    sqlite3* other = nullptr;
    sqlite3_open_v2(s->path().toUtf8(), &other, SQLITE_OPEN_READWRITE, nullptr);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Recordset add;
    const auto opened = storeErrorOf([&] {
      add.Open(store::kSelectAll, cn);
      add.AddNew();
      add.SetField(store::kName, "乙");
    });
    std::thread release([other] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
      sqlite3_close(other);
    });
    const auto updated = storeErrorOf([&] { add.Update(); });
    release.join();
    QCOMPARE(opened.number() + updated.number(), 0);
    QCOMPARE(s->names(), "乙");
  }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "test_store.moc"
