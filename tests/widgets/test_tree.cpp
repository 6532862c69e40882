// The account tree and the record view: nodes after a rebuild, the buttons, double-clicks,
// the blocked right button and Ctrl+C.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "WidgetTest.h"

using namespace testsupport;

class ZulMTest : public QObject {
  Q_OBJECT

  // "key text parentKey children rowId" per node, in the order the tree lists them.
  static QStringList describe(const zulM& w) {
    QStringList out;
    for (const NodeInfo& n : w.treeNodes())
      out << QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(n.key, n.text, n.parentKey)
                 .arg(n.children)
                 .arg(n.rowId);
    return out;
  }
  static void rebuild(zulM& w) {
    w.sxnode();
    w.an();
  }
  // The delete and modify buttons, which always go together, and the add button.
  static QString buttons(const zulM& w) {
    const auto on = [](const QPushButton* b) { return b->isEnabled() ? "on" : "off"; };
    return QStringLiteral("Sc %1 Xg %2 Tj %3").arg(on(w.cmdSc), on(w.cmdXg), on(w.cmdTj));
  }
  // A real double click on the node: press and release, then the double click, at one point.
  static void doubleClick(zulM& w, const QString& key) {
    const QModelIndex node = w.tree->find(key);
    QVERIFY(node.isValid());
    w.tvwXs->scrollTo(node);  // opens the node's type
    const QPoint at = w.tvwXs->visualRect(node).center();
    QTest::mouseClick(w.tvwXs->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w.tvwXs->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(w.selectedNode()->key, key);
  }
  static QString shown(const zulM& w) { return Module1::boxText(w.txtXs); }

 private slots:
  // Rows given as "name|type"; without "|" the type is NULL. Row identities are moved apart
  // from store positions.
  void nodes_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<QStringList>("types");
    QTest::newRow("worked example") << QStringList{"A|工作", "B|生活", "C|工作"}
                                    << QStringList{"y1 工作  2 0", "y2 生活  1 0", "c1 A y1 0 11",
                                                   "c3 C y1 0 13", "c2 B y2 0 12"}
                                    << QStringList{"工作", "生活"};
    QTest::newRow("types compare exactly")
        << QStringList{"a1|email", "a2|Email", "a3|email ", "a4|email"}
        << QStringList{"y1 email  2 0", "y2 Email  1 0", "y3 email   1 0", "c1 a1 y1 0 11",
                       "c4 a4 y1 0 14", "c2 a2 y2 0 12", "c3 a3 y3 0 13"}
        << QStringList{"email", "Email", "email "};
    QTest::newRow("no types") << QStringList{"A|", "B"} << QStringList{} << QStringList{};
    QTest::newRow("untyped rows keep their place")
        << QStringList{"A|", "B", "C|工作", "D|", "E|生活", "F|工作"}
        << QStringList{"y1 工作  2 0", "y2 生活  1 0", "c3 C y1 0 13", "c6 F y1 0 16",
                       "c5 E y2 0 15"}
        << QStringList{"工作", "生活"};
  }
  void nodes() {
    QFETCH(QStringList, rows);
    QFETCH(QStringList, nodes);
    QFETCH(QStringList, types);
    TempStore store;
    for (const QString& row : rows) {
      if (row.contains('|'))
        store.addRow(row.section('|', 0, 0), row.section('|', 1));
      else
        store.exec(("INSERT INTO 账号集合(账号名称) VALUES('" + row + "')").toUtf8());
    }
    store.exec("UPDATE 账号集合 SET rowid = rowid + 10");
    zulM w(store.path());
    QCOMPARE(describe(w), nodes);
    QCOMPARE(w.arrLx, types);
    QVERIFY(!w.blnEmpty);
    QCOMPARE(buttons(w), "Sc on Xg on Tj on");
  }

  // The buttons follow the rows through rebuilds; the view sees one consistent model, and a
  // rebuild drops the selection.
  void rebuildsFollowTheTable() {
    TempStore store;
    zulM w(store.path());
    QAbstractItemModelTester tester(w.tree, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(w.treeNodes().empty());
    QVERIFY(w.blnEmpty);
    QCOMPARE(buttons(w), "Sc off Xg off Tj on");

    store.addRow("A", "工作");  // a table of one row
    rebuild(w);
    QCOMPARE(describe(w), QStringList({"y1 工作  1 0", "c1 A y1 0 1"}));
    QVERIFY(!w.blnEmpty);
    QCOMPARE(buttons(w), "Sc on Xg on Tj on");
    w.tvwXs->expandAll();
    w.selectNode("c1");
    const QModelIndex leaf = w.tree->find("c1");
    QCOMPARE(w.tree->flags(leaf),
             Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren);
    QCOMPARE(w.tree->flags(w.tree->parent(leaf)), Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    store.exec("DELETE FROM 账号集合");
    rebuild(w);
    QVERIFY(!w.selectedNode());
    QCOMPARE(w.tree->rowCount(), 0);
    QVERIFY(w.blnEmpty);
    QCOMPARE(buttons(w), "Sc off Xg off Tj on");
    QCOMPARE(w.arrLx, QStringList{"工作"});  // an empty table leaves the old list

    store.addRow("B", "生活");
    rebuild(w);
    QCOMPARE(describe(w), QStringList({"y1 生活  1 0", "c1 B y1 0 1"}));
    QCOMPARE(buttons(w), "Sc on Xg on Tj on");
    QCOMPARE(w.arrLx, QStringList{"生活"});
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
    QCOMPARE(w.selectedNode()->text, "a40000");
    QCOMPARE(w.selectedNode()->parentKey, "y1");
  }

  // Windows line breaks show as plain lines; NULL fields read as empty; a type node empties
  // the view.
  void doubleClickShowsAnAccountAndATypeEmptiesTheView() {
    TempStore store;
    store.addRow("A", "工作", "第一行\r\n第二行\r\n\r\n第四行", "2015/01/31 08:05:09",
                 "2016/02/29 23:59:58");
    store.addRow("B", "工作", "乙", "2017/03/01 00:00:00");
    store.exec("INSERT INTO 账号集合(账号名称,账号类型) VALUES('N','工作')");
    zulM w(store.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    doubleClick(w, "c2");
    QCOMPARE(shown(w), "乙");
    QCOMPARE(w.shownRowId, store::RowId(2));
    QCOMPARE(QStringList({w.strMc, w.strLx}), QStringList({"B", "工作"}));
    QCOMPARE(w.cjsj, store::Value("2017/03/01 00:00:00"));

    doubleClick(w, "c1");
    QCOMPARE(w.txtXs->document()->blockCount(), 4);
    QCOMPARE(shown(w), "第一行\n第二行\n\n第四行");
    QCOMPARE(w.zhxg, store::Value("2016/02/29 23:59:58"));

    doubleClick(w, "c3");
    QVERIFY(shown(w).isEmpty());
    QCOMPARE(w.strMc, "N");
    QCOMPARE(w.cjsj, store::Value());
    QCOMPARE(w.shownRowId, store::RowId(3));

    doubleClick(w, "c1");
    doubleClick(w, "y1");
    QVERIFY(shown(w).isEmpty());
    QCOMPARE(w.shownRowId, store::RowId(0));
  }

  // Each of two same-named accounts shows its own row. A row gone since the rebuild, no
  // selection and an empty table change nothing.
  void sameNamesShowTheirOwnRows() {
    TempStore store;
    store.addRow("A", "工作", "第一个");
    store.addRow("A", "工作", "第二个");
    zulM w(store.path());
    doubleClick(w, "c2");
    QCOMPARE(shown(w), "第二个");
    doubleClick(w, "c1");
    QCOMPARE(shown(w), "第一个");

    store.exec("DELETE FROM 账号集合 WHERE rowid = 2");
    doubleClick(w, "c2");
    QCOMPARE(shown(w), "第一个");
    QCOMPARE(w.strNr, "第一个");
    QCOMPARE(w.shownRowId, store::RowId(1));
    w.tvwXs->selectionModel()->clear();
    w.tvwXs_DblClick();
    store.exec("DELETE FROM 账号集合");
    rebuild(w);
    w.tvwXs_DblClick();
    QCOMPARE(shown(w), "第一个");
  }

  // The right button shows a message instead of a menu and keeps the selection. Ctrl alone
  // copies the selection as plain lines, or empties the clipboard when nothing is selected;
  // with Shift or Alt the key is the box's alone.
  void rightClickAndCtrlC() {
    TempStore store;
    store.addRow("A", "工作", "第一行\r\n第二行");
    zulM w(store.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    doubleClick(w, "c1");
    QTextCursor selection = w.txtXs->textCursor();
    selection.setPosition(1);
    selection.setPosition(2, QTextCursor::KeepAnchor);
    w.txtXs->setTextCursor(selection);
    BoxRecorder boxes;
    QTest::mouseClick(w.txtXs->viewport(), Qt::RightButton, {}, {200, 200});
    QCOMPARE(boxes.seen, QStringList{"Kelvarn|右键已被禁止,复制请用Ctrl+C|确定"});
    QVERIFY(w.isVisible());
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(w.txtXs->textCursor().selectedText(), "一");
    QTest::mouseClick(w.txtXs->viewport(), Qt::LeftButton, {}, {200, 200});
    QCOMPARE(boxes.seen.size(), 1);

    w.txtXs->selectAll();
    QClipboard* clipboard = QApplication::clipboard();

    using Copy = std::pair<Qt::KeyboardModifiers, QString>;
    for (const auto& [modifiers, copied] : {Copy{Qt::ControlModifier, "第一行\n第二行"},
                                            Copy{Qt::ControlModifier | Qt::ShiftModifier, "旧"},
                                            Copy{Qt::ControlModifier | Qt::AltModifier, "旧"}}) {
      clipboard->setText("旧");
      QTest::keyClick(w.txtXs, Qt::Key_C, modifiers);
      QCOMPARE(clipboard->text(), copied);
      QVERIFY(!clipboard->mimeData()->hasHtml());  // the box's own copy is plain text too
    }
    clipboard->clear();
    QVERIFY(!w.txtXs_KeyDown(Qt::Key_C, Qt::ControlModifier));  // the box's own copy follows
    QCOMPARE(clipboard->text(), "第一行\n第二行");
    QVERIFY(!clipboard->mimeData()->hasHtml());
    w.txtXs->moveCursor(QTextCursor::End);
    QTest::keyClick(w.txtXs, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(clipboard->text().isEmpty());
  }
};

QTEST_MAIN(ZulMTest)
#include "test_tree.moc"
