// The account tree: nodes, keys and order after a rebuild, the type list and the buttons.
#include <QAbstractItemModelTester>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "AccountTree.h"
#include "WidgetTest.h"
#include "zulM.h"

using testsupport::TempStore;

namespace {

// "key text parentKey children" per node, in the order the tree lists them.
QStringList describe(const zulM& w) {
  QStringList out;
  for (const NodeInfo& n : w.treeNodes())
    out << QStringLiteral("%1 %2 %3 %4").arg(n.key, n.text, n.parentKey).arg(n.children);
  return out;
}

}  // namespace

class ZulMTest : public QObject {
  Q_OBJECT

  static void rebuild(zulM& w) {
    w.sxnode();
    w.an();
  }
  // The delete and modify buttons, which always go together, and the add button.
  static QString buttons(const zulM& w) {
    const auto state = [](const QPushButton* b) { return b->isEnabled() ? "on" : "off"; };
    return QStringLiteral("Sc %1 Xg %2 Tj %3").arg(state(w.cmdSc), state(w.cmdXg), state(w.cmdTj));
  }

 private slots:
  void workedExample() {
    TempStore store;
    const qint64 a = store.addRow("A", "工作");
    const qint64 b = store.addRow("B", "生活");
    const qint64 c = store.addRow("C", "工作");
    zulM w(store.path());

    QCOMPARE(describe(w),
             QStringList({"y1 工作  2", "y2 生活  1", "c1 A y1 0", "c3 C y1 0", "c2 B y2 0"}));
    QCOMPARE(w.arrLx, QStringList({"工作", "生活"}));
    QVERIFY(!w.blnEmpty);
    const std::vector<NodeInfo> nodes = w.treeNodes();
    QCOMPARE(nodes[0].rowId, store::RowId(0));
    QCOMPARE(nodes[2].rowId, store::RowId(a));
    QCOMPARE(nodes[3].rowId, store::RowId(c));
    QCOMPARE(nodes[4].rowId, store::RowId(b));
  }

  void emptyTableDisablesModifyAndDelete() {
    TempStore store;
    zulM w(store.path());
    QVERIFY(w.treeNodes().empty());
    QVERIFY(w.blnEmpty);
    QCOMPARE(buttons(w), QString("Sc off Xg off Tj on"));

    store.addRow("A", "工作");  // a table of one row
    rebuild(w);
    QCOMPARE(describe(w), QStringList({"y1 工作  1", "c1 A y1 0"}));
    QVERIFY(!w.blnEmpty);
    QCOMPARE(buttons(w), QString("Sc on Xg on Tj on"));

    store.exec("DELETE FROM 账号集合");
    rebuild(w);
    QVERIFY(w.treeNodes().empty());
    QVERIFY(w.blnEmpty);
    QCOMPARE(buttons(w), QString("Sc off Xg off Tj on"));
    QCOMPARE(w.arrLx, QStringList({"工作"}));  // an empty table leaves the old list

    store.addRow("B", "生活");
    rebuild(w);
    QCOMPARE(describe(w), QStringList({"y1 生活  1", "c1 B y1 0"}));
    QCOMPARE(buttons(w), QString("Sc on Xg on Tj on"));
    QCOMPARE(w.arrLx, QStringList({"生活"}));
  }

  void typesCompareExactly() {
    TempStore store;
    store.addRow("a1", "email");
    store.addRow("a2", "Email");
    store.addRow("a3", "email ");
    store.addRow("a4", "email");
    zulM w(store.path());

    QCOMPARE(describe(w), QStringList({"y1 email  2", "y2 Email  1", "y3 email   1", "c1 a1 y1 0",
                                       "c4 a4 y1 0", "c2 a2 y2 0", "c3 a3 y3 0"}));
    QCOMPARE(w.arrLx, QStringList({"email", "Email", "email "}));
  }

  // Rows without a type get no node but keep their place in the keys.
  void rowsWithoutTypeGetNoNode() {
    TempStore store;
    store.addRow("A", "");
    zulM w(store.path());
    QVERIFY(w.treeNodes().empty());
    QVERIFY(w.arrLx.isEmpty());
    QCOMPARE(buttons(w), QString("Sc on Xg on Tj on"));

    store.exec("INSERT INTO 账号集合(账号名称,账号类型) VALUES('B',NULL)");
    store.addRow("C", "工作");
    store.addRow("D", "");
    store.addRow("E", "生活");
    store.addRow("F", "工作");
    rebuild(w);
    QCOMPARE(describe(w),
             QStringList({"y1 工作  2", "y2 生活  1", "c3 C y1 0", "c6 F y1 0", "c5 E y2 0"}));
    w.selectNode("c5");
    w.selectNode("c4");  // no such node: the selection stays
    QCOMPARE(w.selectedNode()->text, QString("E"));
    QCOMPARE(w.selectedNode()->parentKey, QString("y2"));
  }

  void moreRowsThanSixteenBitsCount() {
    TempStore store;
    store.exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
        "INSERT INTO 账号集合(账号名称,账号类型,账号内容) SELECT 'a' || i, 't' || (i % 3), '' "
        "FROM n");
    zulM w(store.path());

    QCOMPARE(w.arrLx, QStringList({"t1", "t2", "t0"}));
    QCOMPARE(w.tree->rowCount(w.tree->find("y3")), 13333);
    w.selectNode("c40000");
    QCOMPARE(w.selectedNode()->text, QString("a40000"));
    QCOMPARE(w.selectedNode()->parentKey, QString("y1"));
  }

  // The view sees one consistent model across rebuilds; a rebuild drops the selection.
  void modelStaysConsistent() {
    TempStore store;
    store.addRow("A", "工作");
    store.addRow("B", "生活");
    zulM w(store.path());
    QAbstractItemModelTester tester(w.tree, QAbstractItemModelTester::FailureReportingMode::QtTest);
    w.tvwXs->expandAll();
    w.selectNode("y2");
    QCOMPARE(w.selectedNode()->children, 1);

    store.addRow("C", "工作");
    rebuild(w);
    QVERIFY(!w.selectedNode());
    w.tvwXs->expandAll();
    const QModelIndex leaf = w.tree->find("c3");
    QCOMPARE(w.tree->parent(leaf), w.tree->find("y1"));
    QCOMPARE(w.tree->flags(leaf),
             Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren);
    QCOMPARE(w.tree->flags(w.tree->find("y1")), Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    store.exec("DELETE FROM 账号集合");
    rebuild(w);
    QCOMPARE(w.tree->rowCount(), 0);
  }
};

QTEST_MAIN(ZulMTest)
#include "test_tree.moc"
