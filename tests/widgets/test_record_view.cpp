// The record view: double-clicking nodes, the blocked right button and Ctrl+C.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTreeView>
#include <QtTest>

#include "AccountTree.h"
#include "Controls.h"
#include "Texts.h"
#include "WidgetTest.h"
#include "zulM.h"

using testsupport::BoxRecorder;
using testsupport::TempStore;

class ZulMTest : public QObject {
  Q_OBJECT

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
  static QClipboard* clipboard() { return QApplication::clipboard(); }

 private slots:
  void doubleClickShowsAnAccountAndATypeEmptiesTheView() {
    TempStore store;
    store.addRow("A", "工作", "第一行\r\n第二行\r\n\r\n第四行", "2015/01/31 08:05:09",
                 "2016/02/29 23:59:58");
    const qint64 b = store.addRow("B", "工作", "乙", "2017/03/01 00:00:00");
    zulM w(store.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    doubleClick(w, "c2");
    QCOMPARE(shown(w), QString("乙"));
    QCOMPARE(w.shownRowId, store::RowId(b));
    QCOMPARE(w.strMc, QString("B"));
    QCOMPARE(w.strLx, QString("工作"));
    QCOMPARE(w.cjsj, store::Value("2017/03/01 00:00:00"));

    doubleClick(w, "c1");  // Windows line breaks show as plain lines
    QCOMPARE(w.txtXs->document()->blockCount(), 4);
    QCOMPARE(shown(w), QString("第一行\n第二行\n\n第四行"));
    QCOMPARE(w.zhxg, store::Value("2016/02/29 23:59:58"));

    doubleClick(w, "y1");
    QVERIFY(shown(w).isEmpty());
    QCOMPARE(w.shownRowId, store::RowId(0));
  }

  // Each of two same-named accounts shows its own row; a row gone since the rebuild changes
  // nothing.
  void sameNamesShowTheirOwnRows() {
    TempStore store;
    const qint64 first = store.addRow("A", "工作", "第一个");
    store.addRow("A", "工作", "第二个");
    zulM w(store.path());

    doubleClick(w, "c2");
    QCOMPARE(shown(w), QString("第二个"));
    doubleClick(w, "c1");
    QCOMPARE(shown(w), QString("第一个"));
    QCOMPARE(w.selectedNode()->text, QString("A"));

    store.exec("DELETE FROM 账号集合 WHERE 账号内容 = '第二个'");
    doubleClick(w, "c2");
    QCOMPARE(shown(w), QString("第一个"));
    QCOMPARE(w.strNr, QString("第一个"));
    QCOMPARE(w.shownRowId, store::RowId(first));
  }

  void nullFieldsReadAsEmpty() {
    TempStore store;
    store.addRow("A", "工作", "旧的内容");
    store.exec("INSERT INTO 账号集合(账号名称,账号类型) VALUES('B','工作')");
    zulM w(store.path());
    doubleClick(w, "c1");

    doubleClick(w, "c2");
    QVERIFY(shown(w).isEmpty());
    QCOMPARE(w.strMc, QString("B"));
    QCOMPARE(w.cjsj, store::Value());
  }

  void doubleClickWithoutSelectionOrRowsDoesNothing() {
    TempStore store;
    store.addRow("A", "工作", "内容");
    zulM w(store.path());
    Module1::setBoxText(w.txtXs, "原来的");
    w.tvwXs_DblClick();
    QCOMPARE(shown(w), QString("原来的"));
    w.sy1();
    QVERIFY(!w.rs);

    TempStore empty;
    zulM e(empty.path());
    Module1::setBoxText(e.txtXs, "原来的");
    e.tvwXs_DblClick();
    QCOMPARE(shown(e), QString("原来的"));
  }

  void rightClickShowsTheMessageInstead() {
    TempStore store;
    store.addRow("A", "工作", "一二三四");
    zulM w(store.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    doubleClick(w, "c1");
    QTextCursor selection = w.txtXs->textCursor();
    selection.setPosition(1);
    selection.setPosition(3, QTextCursor::KeepAnchor);
    w.txtXs->setTextCursor(selection);
    BoxRecorder boxes;

    QTest::mouseClick(w.txtXs->viewport(), Qt::RightButton, {}, {200, 200});

    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].box.text, QString::fromUtf8(texts::kRightClickBlocked));
    QCOMPARE(boxes.shown[0].box.caption, QString("Kelvarn"));
    QCOMPARE(boxes.shown[0].box.buttons, Module1::Buttons::Ok);
    QVERIFY(!boxes.shown[0].visibleWindows.contains("zulM"));
    QVERIFY(w.isVisible());
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(w.txtXs->textCursor().selectedText(), QString("二三"));
    QTest::mouseClick(w.txtXs->viewport(), Qt::LeftButton, {}, {200, 200});
    QCOMPARE(boxes.shown.size(), 1);
  }

  // Ctrl alone copies the selection as plain lines, or empties the clipboard when nothing is
  // selected; with Shift or Alt the key is the box's alone.
  void ctrlCCopiesThroughTheProgram() {
    TempStore store;
    store.addRow("A", "工作", "第一行\r\n第二行");
    zulM w(store.path());
    doubleClick(w, "c1");
    w.txtXs->selectAll();

    clipboard()->setText("旧");
    QVERIFY(!w.txtXs_KeyDown(Qt::Key_C, Qt::ControlModifier));  // the box's own copy follows
    QCOMPARE(clipboard()->text(), QString("第一行\n第二行"));
    QVERIFY(!clipboard()->mimeData()->hasHtml());
    clipboard()->setText("旧");
    QTest::keyClick(w.txtXs, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard()->text(), QString("第一行\n第二行"));

    for (const Qt::KeyboardModifiers other :
         {Qt::ControlModifier | Qt::ShiftModifier, Qt::ControlModifier | Qt::AltModifier}) {
      clipboard()->setText("旧");
      QVERIFY(!w.txtXs_KeyDown(Qt::Key_C, other));
      QCOMPARE(clipboard()->text(), QString("旧"));
    }
    QTest::keyClick(w.txtXs, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(clipboard()->text(), QString("旧"));

    w.txtXs->moveCursor(QTextCursor::End);
    QTest::keyClick(w.txtXs, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(clipboard()->text().isEmpty());
  }
};

QTEST_MAIN(ZulMTest)
#include "test_record_view.moc"
