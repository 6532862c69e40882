// The store on real files, and kelvarn-store's encodings where the fixtures never go.
#include <grp.h>
#include <sys/wait.h>

#include <thread>

#include "Connection.h"
#include "OwnWrites.h"
#include "Recordset.h"
#include "SealedScan.h"
#include "Statements.h"
#include "TempStore.h"
#include "export_format.h"
#include "mdb_text.h"

using namespace testsupport;
using store::Recordset;
using namespace std::string_literals;

namespace {

// A walk done the windows' way (count, then MoveNext after each row): one field per row.
QString walk(Recordset& rs, const char* field = store::kName) {
  QStringList values;
  for (std::int64_t i = 1; i <= rs.RecordCount(); ++i, rs.MoveNext())
    values << QString::fromStdString(std::string(rs.FieldText(field)));
  return values.join(' ');
}

// A store, or its folder, that an ordinary user may not write is refused at once with its
// cause and left as it was; reading still works.
bool writeProtectedStoreRefused() {
  for (const bool folder : {false, true}) {
    TempStore t;
    const QString locked = folder ? t.dir() : t.path();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray before = folderBytes(t.dir());
    const auto error = storeErrorOf([&] { store::Connection().Open(t.path().toStdString()); });
    store::Connection().Open(t.path().toStdString(), store::Connection::Access::ReadOnly);
    const QString text = QString::fromStdString(error.description());
    const bool refused =
        error.number() == 3051 && text.contains(t.path()) &&
        text.contains(folder ? "所在的文件夹“" + t.dir() + "”不能写入" : "是只读的") &&
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

  // Refused with the error's number and the file named, the folder left as it was.
  void badFileRefusedUntouched_data() {
    QTest::addColumn<QByteArray>("bytes");  // the file's; no file when null
    QTest::addColumn<QByteArray>("sql");    // else an SQLite database made by this
    QTest::addColumn<long>("number");
    const auto row = [](const char* tag, const QByteArray& bytes, const QByteArray& sql,
                        long number) { QTest::newRow(tag) << bytes << sql << number; };
    row("missing", {}, {}, 3024);
    row("empty", "", {}, 3343);
    row("damaged SQLite", QByteArray("SQLite format 3\0", 16) + QByteArray(4096, '\xff'), {}, 3343);
    for (const char* engine : {"Standard Jet DB", "Standard ACE DB"})
      row(engine, QByteArray(4, '\1') + QByteArray(engine, 16) + QByteArray(4096, 'Z'), {}, 3343);
    row("no table", {}, "CREATE TABLE 账号(x)", 3078);
    row("view", {}, "CREATE TABLE t(x); CREATE VIEW 账号集合 AS SELECT * FROM t", 3078);
    row("WAL, no table", {}, "PRAGMA journal_mode=WAL; CREATE TABLE t(x)", 3078);
    for (const char* missing : store::kFields) {
      QByteArrayList columns;
      for (const char* field : store::kFields)
        if (field != missing) columns << field;
      row(missing, {}, "CREATE TABLE 账号集合(" + columns.join(',') + ")", 3265);
    }
  }
  void badFileRefusedUntouched() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, sql);
    QFETCH(long, number);
    QTemporaryDir dir;
    const QString path = dir.filePath("zuld.mdb");
    sqlite3* db = nullptr;
    if (!sql.isEmpty() && sqlite3_open(path.toUtf8(), &db) == SQLITE_OK)
      QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) + sqlite3_close(db), SQLITE_OK);
    QFile file(path);
    QVERIFY(bytes.isNull() || (file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0));
    file.close();
    const QByteArray before = folderBytes(dir.path());
    store::Connection bad;
    const store::StoreError error = storeErrorOf([&] { bad.Open(path.toStdString()); });
    QCOMPARE(error.number(), number);
    QVERIFY2(QString::fromStdString(error.description()).contains(path), error.what());
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

  // WAL is switched off (it keeps old text); a name beginning "file:" is no URI.
  void fileFormsAndNames() {
    s->sql("PRAGMA journal_mode=WAL");
    store::Connection().Open(s->path().toStdString());
    QCOMPARE(s->sql("PRAGMA journal_mode"), QStringList{"delete"});
    QVERIFY(QDir::setCurrent(s->dir()));
    store::createStore("file:x?mode=memory");
    store::Connection().Open("file:x?mode=memory");
    QVERIFY(QFile::exists("file:x?mode=memory"));
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

  // Same rows in store order on every pass; a name's rows fixed at open and matching only it.
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
    s->sql("INSERT INTO 账号集合(账号名称) VALUES(CAST(x'610062' AS TEXT))");  // a, NUL, b
    Recordset nul;
    QCOMPARE(walk(find(nul, QString::fromUtf8("a\0b", 3))), QString::fromUtf8("a\0b", 3));
    Recordset one;
    QCOMPARE(find(one, "丙").Field(store::kContent), store::Value());
  }

  // A row read holds no lock, so a second instance may remove it meanwhile: then Update and
  // Delete report it gone and write nothing.
  void writes() {
    s->add({"一|类|旧", "二|类|旧"});
    Recordset walk;  // a write during a walk keeps its place
    walk.Open(store::kTableName, cn);
    walk.MoveNext();
    walk.SetField(store::kType, "改");
    QVERIFY(walk.Update());
    QCOMPARE(walk.FieldText(store::kType), "改");
    walk.Close();
    Recordset gone;
    find(gone, "一");
    QCOMPARE(gone.Field(store::kType), store::Value("类"));
    s->sql("DELETE FROM 账号集合 WHERE 账号名称='一'");
    QCOMPARE(gone.Field(store::kType), store::Value("类"));  // as read, until the set moves
    gone.SetField(store::kType, "新");
    QVERIFY(!gone.Update() && !gone.Delete());
    QCOMPARE(s->sql("SELECT 账号名称, 账号类型 FROM 账号集合"), QStringList{"二|改"});
  }

  // Beside a second instance's write, opening and AddNew wait for nothing, Update for its end.
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

  // A file renamed over the store (as sync clients do) or restructured in place by another
  // program is noticed, and reopened the connection writes the file now at the path; the key
  // goes along while the key table is the same. Writes of another connection are told from
  // this process's own.
  void followsTheFileAtThePath() {
    s->add({"A|工作"});
    const auto write = [&](store::Connection& c, const char* name) {
      Recordset rs;
      rs.Open(store::kSelectAll, c), rs.AddNew(), rs.SetField(store::kName, name), rs.Update();
    };
    const std::uint32_t at = *cn.changeCounter();
    write(cn, "B");
    QCOMPARE(cn.ownWrites().since(at, cn.changeCounter())->size(), 1u);
    store::Connection other;
    other.Open(s->path().toStdString());
    write(other, "C");
    QVERIFY(!cn.ownWrites().since(at, cn.changeCounter()) && !cn.outdated());
    TempStore newer;
    newer.add({"N|生活"});
    newer.protect("pw");
    QCOMPARE(::rename(newer.path().toUtf8(), s->path().toUtf8()), 0);
    QVERIFY(cn.outdated());
    cn.reopen();
    QVERIFY(cn.locked() && cn.unlock(store::Secret("pw")));
    write(cn, "D");
    QCOMPARE(s->sql("SELECT count(*) FROM 账号集合"), QStringList{"2"});
    QVERIFY(QFile::copy(s->path(), s->dir() + "/copy") &&
            ::rename((s->dir() + "/copy").toUtf8(), s->path().toUtf8()) == 0 && cn.outdated());
    cn.reopen();
    QVERIFY(!cn.locked());
    other.Open(s->path().toStdString());
    QVERIFY(other.unlock(store::Secret("pw")));
    store::changePassphrase(other, store::Secret("new"));
    QVERIFY(cn.outdated());
    cn.reopen();
    QVERIFY(cn.locked());
    QVERIFY(QFile::remove(s->path()));  // a failed reopen leaves it to be opened again
    QVERIFY(storeErrorOf([&] { cn.reopen(); }).number() == 3024 && cn.outdated());
  }

  // Refused as damaged before any key derivation (none could hang), the file left as it was.
  void doctoredKeyTableRefused_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("no row") << "DELETE FROM 账号密钥";
    QTest::newRow("two rows") << "INSERT INTO 账号密钥 SELECT * FROM 账号密钥";
    QTest::newRow("no salt") << "CREATE TABLE k(盐,运算次数,内存,密钥);INSERT INTO k SELECT NULL,"
                                "运算次数,内存,密钥 FROM 账号密钥;DROP TABLE 账号密钥;ALTER "
                                "TABLE k RENAME TO 账号密钥";
    QTest::newRow("short salt") << "UPDATE 账号密钥 SET 盐 = x'0011'";
    QTest::newRow("64 passes, 4 GiB") << "UPDATE 账号密钥 SET 运算次数 = 64, 内存 = 4294967296";
    QTest::newRow("1 pass") << "UPDATE 账号密钥 SET 运算次数 = 1";
    QTest::newRow("8 KiB") << "UPDATE 账号密钥 SET 内存 = 8192";
    QTest::newRow("limits as text") << "UPDATE 账号密钥 SET 内存 = 'x'";
    QTest::newRow("16-byte key") << "UPDATE 账号密钥 SET 密钥 = substr(密钥, 1, 59)";
  }
  void doctoredKeyTableRefused() {
    QFETCH(QString, sql);
    static TempStore protectedOnce;  // protecting takes a key derivation: once for all rows
    static const bool ready =
        (protectedOnce.add({"A|工作|秘密"}), protectedOnce.protect("pw"), true);
    QVERIFY(ready && QFile::remove(s->path()) && QFile::copy(protectedOnce.path(), s->path()));
    for (const QString& statement : sql.split(';')) s->sql(statement);
    const QByteArray before = folderBytes(s->dir());
    store::Connection doctored;
    doctored.Open(s->path().toStdString());
    const auto error = storeErrorOf([&] { doctored.unlock(store::Secret("pw")); });
    QCOMPARE(error.number(), store::errnum::kKeyDamaged);
    QVERIFY(QString::fromStdString(error.description()).contains(s->path() + "”的密钥表已损坏"));
    QCOMPARE(folderBytes(s->dir()), before);
  }

  // Without its key table a protected store shows nothing sealed, not even turned into text; a
  // plain text that merely starts like a sealed one is shown.
  void sealedWithoutKeyRefused() {
    s->add({"A|工作|秘密", "B|工作|KV2 is my code"});
    Recordset b;
    QCOMPARE(walk(find(b, "B"), store::kContent), "KV2 is my code");
    store::requireNothingSealed(cn);
    s->sql(
        "INSERT INTO 账号集合(账号名称, 账号内容) VALUES('C', x'00ff')");  // a BLOB, sealed or not
    QCOMPARE(storeErrorOf([&] {
               Recordset c;
               walk(find(c, "C"), store::kContent);
             }).number(),
             3049);
    s->sql("DELETE FROM 账号集合 WHERE 账号名称 = 'C'");
    s->protect("pw");
    s->sql("DROP TABLE 账号密钥");
    for (const char* cast : {"", "CAST(账号名称 AS TEXT), 账号类型 = CAST(账号类型 AS TEXT)"}) {
      if (*cast) s->sql(QString("UPDATE 账号集合 SET 账号名称 = %1").arg(cast));
      cn.Open(s->path().toStdString());
      const auto shown = storeErrorOf([&] {
        Recordset all;
        all.Open(store::kTableName, cn), walk(all);
      });
      const auto checked = storeErrorOf([&] { store::requireNothingSealed(cn); });
      QCOMPARE(shown.number() + checked.number(), 2 * store::errnum::kDamaged);
      QVERIFY(shown.description().find("没有解密所需的密钥表") != std::string::npos);
    }
  }

  // No sealed field opens anywhere but in its own field of its own account: each move is refused
  // as damaged, nothing of it shown.
  void sealedFieldsBound_data() {
    QTest::addColumn<QString>("sql");
    const QString move =
        "UPDATE 账号集合 SET %1 = (SELECT %2 FROM 账号集合 WHERE rowid = 2) "
        "WHERE rowid = 1";
    QTest::newRow("names swapped") << move.arg("账号名称", "账号名称");
    QTest::newRow("type for a name") << move.arg("账号名称", "账号类型").replace("2)", "1)");
    QTest::newRow("type moved") << move.arg("账号类型", "账号类型");
    QTest::newRow("content moved") << move.arg("账号内容", "账号内容");
    QTest::newRow("times swapped") << move.arg("创建时间", "最后修改").replace("2)", "1)");
  }
  void sealedFieldsBound() {
    QFETCH(QString, sql);
    static TempStore protectedOnce;
    static const bool ready =
        (protectedOnce.add({"A|工作|甲的", "B|生活|乙的|2016/01/01 00:00:00"}),
         protectedOnce.protect("pw"), true);
    QVERIFY(ready && QFile::remove(s->path()) && QFile::copy(protectedOnce.path(), s->path()));
    QCOMPARE(s->sql("SELECT substr(创建时间, 1, 20) = substr(最后修改, 1, 20) FROM 账号集合"),
             QStringList({"0", "0"}));  // equal times are sealed under nonces of their own
    s->sql(sql);
    cn.Open(s->path().toStdString());
    QVERIFY(cn.unlock(store::Secret("pw")));
    Recordset rs;
    rs.Open(store::kTableName, cn);
    const auto error = storeErrorOf([&] {
      for (const char* field : store::kFields) walk(rs, field), rs.MoveFirst();
    });
    QCOMPARE(error.number(), store::errnum::kDamaged);
  }

  // Names are found through keyed hashes kept in memory, which a change by another program
  // (another connection, here) makes stale: then they are read anew.
  void sealedNamesFoundAfterChangesElsewhere() {
    s->add({"A|工作", "B|工作"});
    s->protect("pw");
    cn.Open(s->path().toStdString());
    store::Connection other;
    other.Open(s->path().toStdString());
    QVERIFY(cn.unlock(store::Secret("pw")) && other.unlock(store::Secret("pw")));
    Recordset all, found;
    all.Open(store::kTableName, cn);
    QCOMPARE(walk(all), "A B");
    found.Open(store::findByName("B"), other);
    found.SetField(store::kName, "A");
    QVERIFY(found.Update());
    QCOMPARE(walk(find(found, "A"), store::kType) + walk(find(all, "B")), "工作 工作");
  }

  // The summary serves a row only while its sealed name and type are those it was made from: left
  // behind, missing, doctored or another store's, it shows what the rows say, and is written anew.
  void summaryShowsWhatTheRowsSay_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("left behind") << "SELECT 1";
    QTest::newRow("missing") << "DELETE FROM 账号摘要";
    QTest::newRow("a byte changed") << "UPDATE 账号摘要 SET 摘要 = CAST(substr(摘要, 1, 40) || "
                                       "iif(substr(摘要, 41, 1) = x'00', x'01', x'00') || "
                                       "substr(摘要, 42) AS BLOB)";
    QTest::newRow("another number") << "UPDATE 账号摘要 SET 编号 = 7";
    // The renamed account's type as it was sealed before: the type's tag matches, the name's not
    // (refused when the row is opened: the old type no longer belongs to the account).
    QTest::newRow("a type put back") << "UPDATE 账号集合 SET 账号类型 = x'%1' WHERE rowid = 2";
    TempStore other;  // the same passphrase, rows and rowids, other names
    other.add({"X|工作", "Y|生活", "Z|工作"});
    other.protect("pw");
    QTest::newRow("another store's")
        << "UPDATE 账号摘要 SET 摘要 = x'" + other.sql("SELECT hex(摘要) FROM 账号摘要")[0] + "'";
  }
  void summaryShowsWhatTheRowsSay() {
    QFETCH(QString, sql);
    static TempStore edited;  // protected, then edited
    static QString typeBefore;
    static const bool ready = [] {
      edited.add({"A-7c2d|工作", "B-7c2d|生活", "C-7c2d|工作"});
      edited.protect("pw");
      typeBefore = edited.sql("SELECT hex(账号类型) FROM 账号集合 WHERE rowid = 2")[0];
      store::Connection c;
      c.Open(edited.path().toStdString());
      Recordset rs;
      if (!c.unlock(store::Secret("pw"))) return false;
      rs.Open(store::findByName("B-7c2d"), c), rs.SetField(store::kName, "B2-7c2d"), rs.Update();
      rs.Open(store::findByName("A-7c2d"), c), rs.Delete();
      rs.Open(store::kSelectAll, c), rs.AddNew(), rs.SetField(store::kName, "D-7c2d");
      rs.SetField(store::kType, "新");
      return rs.Update();
    }();
    QVERIFY(ready && QFile::remove(s->path()) && QFile::copy(edited.path(), s->path()));
    Recordset rs;
    s->sql(QString(sql).replace("%1", typeBefore));
    if (QTest::currentDataTag() == QString("a type put back")) {
      cn.Open(s->path().toStdString());
      QVERIFY(cn.unlock(store::Secret("pw"), store::SealedScan::kNameAndType));
      rs.Open(store::kTableName, cn);
      QCOMPARE(storeErrorOf([&] { walk(rs), rs.MoveFirst(), walk(rs, store::kType); }).number(),
               store::errnum::kDamaged);
      return;
    }
    for (int pass = 0; pass < 2; ++pass) {  // the second on the summary the first one wrote
      cn.Open(s->path().toStdString());
      QVERIFY(cn.unlock(store::Secret("pw"), store::SealedScan::kNameAndType));
      rs.Open(store::kTableName, cn);
      const QString names = walk(rs);
      rs.MoveFirst();
      QCOMPARE(names + " " + walk(rs, store::kType), "B2-7c2d C-7c2d D-7c2d 生活 工作 新");
    }
    QCOMPARE(walk(find(rs, "C-7c2d"), store::kType) + walk(find(rs, "A-7c2d")), "工作");
    rs.Open(store::kSelectAll, cn), rs.AddNew(), rs.SetField(store::kName, "E"), rs.Update();
    QCOMPARE((rs.Open(store::kTableName, cn), rs.RecordCount()), 4);  // counted by the catalog
    QCOMPARE(s->sql("SELECT count(*) > 0 FROM 账号摘要"), QStringList{"1"});
    QVERIFY(!folderBytes(s->dir()).contains("7c2d"));
  }

  // A walk that saw a write writes no summary.
  void summaryNotWrittenByAWalkThatWrote() {
    s->add({"A|工作", "B|生活"});
    s->protect("pw");
    s->sql("DELETE FROM 账号摘要");
    cn.Open(s->path().toStdString());
    QVERIFY(cn.unlock(store::Secret("pw")));
    Recordset rs;
    rs.Open(store::kTableName, cn), rs.SetField(store::kType, "新"), rs.MoveNext(), rs.MoveNext();
    QVERIFY(rs.AtEnd());
    QCOMPARE(s->sql("SELECT count(*) FROM 账号摘要"), QStringList{"0"});
  }

  // A new passphrase brings a new key: the old key table with the old passphrase opens nothing
  // written afterwards, nor the contents resealed by the change.
  void newPassphraseLocksOutTheOldKey() {
    s->add({"A|工作|旧的"});
    s->protect("old");
    const QString oldKey = s->sql("SELECT quote(盐)||','||quote(密钥) FROM 账号密钥").join("");
    cn.Open(s->path().toStdString());
    QVERIFY(cn.unlock(store::Secret("old")));
    store::changePassphrase(cn, store::Secret("new"));
    Recordset add;
    add.Open(store::kSelectAll, cn);
    add.AddNew();
    for (const char* field : store::kFields) add.SetField(field, "新的");
    add.Update();
    s->sql("UPDATE 账号密钥 SET (盐, 密钥) = (" + oldKey + ")");
    store::Connection old;
    old.Open(s->path().toStdString());
    QVERIFY(old.unlock(store::Secret("old")));
    Recordset rs;
    QCOMPARE(storeErrorOf([&] { rs.Open(store::kTableName, old), walk(rs); }).number(), 3049);
  }

  // Nothing deleted or overwritten stays readable anywhere in the folder, protected or not.
  void deletedTextLeavesNoTrace() {
    for (const bool protect : {false, true}) {
      TempStore t;
      t.add({"NAME-A-6b1e|TYPE-A-6b1e|CONTENT-A-6b1e", "NAME-B-6b1e|工作|CONTENT-B-6b1e"});
      if (protect) t.protect("pw");
      store::Connection c;
      c.Open(t.path().toStdString());
      QVERIFY(!protect || c.unlock(store::Secret("pw")));
      Recordset rs;
      rs.Open(store::findByName("NAME-A-6b1e"), c);
      for (const char* field : {store::kName, store::kType, store::kContent})
        rs.SetField(field, "改");
      rs.Update();
      rs.Open(store::findByName("NAME-B-6b1e"), c);
      rs.Delete();
      QVERIFY2(!folderBytes(t.dir()).contains("6b1e"), protect ? "protected" : "plain");
    }
  }

  void damagedTextBecomesReplacementCharacters() {
    const std::string bad = "\uFFFD";
    const auto csv = [](std::string_view text) {
      std::string out;
      exporting::appendCsv(out, text);
      return out;
    };
    const auto json = [](std::string_view text) {
      std::string out;
      exporting::appendJson(out, text);
      return out;
    };
    QCOMPARE(legacy::jet4Text("\x3d\xd8"s), bad);                    // high surrogate alone
    QCOMPARE(legacy::jet4Text("\x00\xde\x41\x00"s), bad + "A");      // low surrogate alone
    QCOMPARE(legacy::jet4Text("\x41\x00\x42"s), "A" + bad);          // dangling byte
    QCOMPARE(legacy::jet4Text("\xff\xfe\x61\x00\x2d"s), "a" + bad);  // odd two-byte run
    QCOMPARE(legacy::jet3Text("\xff\x41\xd5"s), bad + "A" + bad);    // not CP936, cut short
    QCOMPARE(legacy::jet3Text("\x80"s), "€"s);
    QCOMPARE(csv("ok 中😀"s), "ok 中😀"s);
    QCOMPARE(csv("\xc0\xaf"s), bad + bad);                      // overlong
    QCOMPARE(csv("\xed\xa0\x80"s), bad + bad + bad);            // surrogate
    QCOMPARE(csv("\xf4\x90\x80\x80"s), bad + bad + bad + bad);  // > U+10FFFF
    QCOMPARE(csv("a\xe4\xb8"s), "a" + bad + bad);               // cut short
    QCOMPARE(csv("\xff,\"\""s), "\"" + bad + ",\"\"\"\"\""s);
    QCOMPARE(json("\xff"s), "\"" + bad + "\""s);
    QCOMPARE(json("\b\f\x01\x1f\x7f/\"\\"s), "\"\\b\\f\\u0001\\u001f\x7f/\\\"\\\\\""s);
  }

  // Whole seconds, rounded across midnight; nothing outside Access's range.
  void dates() {
    QCOMPARE(legacy::jetDateText(1.9999999), "1900/01/01 00:00:00"s);
    QCOMPARE(legacy::jetDateText(-0.5), "1899/12/30 12:00:00"s);
    QCOMPARE(legacy::jetDateText(-657434.0), "0100/01/01 00:00:00"s);
    QCOMPARE(legacy::jetDateText(2958465.99998), "9999/12/31 23:59:58"s);
    for (double days : {-657435.0, 2958466.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                        -std::numeric_limits<double>::infinity()})
      QVERIFY2(!legacy::jetDateText(days), QByteArray::number(days));
  }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "test_store.moc"
