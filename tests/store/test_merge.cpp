// Two copies of a book, changed apart, merged account by account.
#include "Merge.h"
#include "RowWriter.h"
#include "Sql.h"
#include "TempStore.h"

using testsupport::TempStore;

namespace {

// A history: steps "m NAME CONTENT WHEN" (changed), "d NAME WHEN" (deleted), "n NAME WHEN"
// (added), separated by ';'; WHEN is a month, "2025-01".
void live(const QString& path, const QString& history) {
  store::Connection cn;
  cn.Open(path.toStdString());
  for (const QString& step : history.split(';', Qt::SkipEmptyParts)) {
    const QStringList w = step.split(' ');
    const std::string when = (QString(w.last()).replace('-', '/') + "/01 00:00:00").toStdString();
    const std::string name = w[1].toStdString();
    const store::Account account = {name, "类", w.size() > 3 ? w[2].toStdString() : "内容",
                                    testsupport::kTime.toStdString(), when};
    store::inTransaction(cn, [&] {
      store::RowWriter writer(cn);
      const auto rows =
          store::firstColumn(cn, "SELECT rowid FROM 账号集合 WHERE 账号名称='" + name + "'");
      if (w[0] == "n") return writer.insert(account) > 0;
      return w[0] == "m" ? writer.update(std::stoll(rows.at(0)), account)
                         : writer.remove(std::stoll(rows.at(0)), when);
    });
  }
}

store::MergeCounts merge(const QString& from, const QString& into) {
  store::Connection cn, other;
  cn.Open(into.toStdString());
  other.Open(from.toStdString(), store::Connection::Access::ReadOnly);
  return store::inTransaction(cn, [&] { return store::mergeStores(cn, other); });
}

QString accounts(const QString& path) {
  QStringList all = TempStore::sqlOn(path, "SELECT 账号名称 || ':' || 账号内容 FROM 账号集合");
  all.sort();
  return all.join(' ');
}

QByteArray bytesOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class MergeTest : public QObject {
  Q_OBJECT

 private slots:
  void merges_data() {
    QTest::addColumn<QString>("mine");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("result");  // besides a:内容 and c:内容
    const auto row = [](const char* tag, const char* mine, const char* theirs, QString result) {
      QTest::newRow(tag) << mine << theirs << result;
    };
    row("nothing changed", "", "", "b:内容");
    row("changed there", "", "m b 乙 2025-01", "b:乙");
    row("changed here, its clock behind", "m b 甲 2014-01", "", "b:甲");
    row("changed on both", "m b 甲 2025-01", "m b 乙 2025-02", "b:乙 b（冲突副本）:甲");
    row("changed on both, here later", "m b 甲 2025-03", "m b 乙 2025-02", "b:甲 b（冲突副本）:乙");
    row("changed alike on both", "m b 甲 2025-01", "m b 甲 2025-02", "b:甲");
    row("changed twice here", "m b 甲 2025-01;m b 丙 2025-03", "m b 乙 2025-02",
        "b:丙 b（冲突副本）:乙");
    row("added on both", "n d 2025-01", "n e 2025-01", "b:内容 d:内容 e:内容");
    row("deleted there", "", "d b 2025-01", "");
    row("deleted here", "d b 2025-01", "", "");
    row("deleted there, changed here since", "m b 甲 2025-02", "d b 2025-01", "b:甲");
    row("deleted there, changed here before", "m b 甲 2025-01", "d b 2025-02", "");
    row("deleted on both", "d b 2025-01", "d b 2025-02", "");
  }
  // Either way round the same accounts; a second merge changes no byte.
  void merges() {
    QFETCH(QString, mine);
    QFETCH(QString, theirs);
    QFETCH(QString, result);
    TempStore a, b;
    a.add({"a|类", "b|类", "c|类"});
    store::Connection cn;
    cn.Open(a.path().toStdString());
    cn.prepareIdentities();
    QFile::remove(b.path());
    QVERIFY(QFile::copy(a.path(), b.path()));
    live(a.path(), mine);
    live(b.path(), theirs);
    const QString mineBefore = b.dir() + "/mine.mdb";
    QVERIFY(QFile::copy(a.path(), mineBefore));
    merge(b.path(), a.path());
    merge(mineBefore, b.path());
    QStringList expected = ("a:内容 c:内容 " + result).split(' ', Qt::SkipEmptyParts);
    expected.sort();
    const QString want = expected.join(' ');
    QCOMPARE(accounts(a.path()), want);
    QCOMPARE(accounts(b.path()), want);
    const QByteArray merged = bytesOf(a.path());
    const store::MergeCounts again = merge(b.path(), a.path());
    QCOMPARE(again.added + again.updated + again.deleted + again.copies, 0u);
    QCOMPARE(bytesOf(a.path()), merged);
  }
};

QTEST_GUILESS_MAIN(MergeTest)
#include "test_merge.moc"
