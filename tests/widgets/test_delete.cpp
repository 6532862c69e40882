// The delete button: confirmation, which row goes, and the refresh that follows either answer.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "Controls.h"
#include "Texts.h"
#include "WidgetTest.h"
#include "zulM.h"

using testsupport::BoxRecorder;
using testsupport::TempStore;

namespace {

QStringList names(const std::vector<testsupport::Row>& rows) {
  QStringList out;
  for (const auto& r : rows) out << r.name.value_or(QString());
  return out;
}

QStringList nodeTexts(const zulM& w) {
  QStringList out;
  for (const NodeInfo& n : w.treeNodes()) out << n.key + ':' + n.text;
  return out;
}

}  // namespace

class ZulMTest : public QObject {
  Q_OBJECT

  // Shows the account of `key` in the record view, as a double-click does.
  static void showAccount(zulM& w, const QString& key) {
    w.selectNode(key);
    w.tvwXs_DblClick();
    QVERIFY(!Module1::boxText(w.txtXs).isEmpty());
  }
  static bool viewEmpty(const zulM& w) {
    return Module1::boxText(w.txtXs).isEmpty() && w.shownRowId == 0;
  }

 private slots:
  void emptyViewOnlyTellsTheUser() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    const QStringList nodesBefore = nodeTexts(w);
    BoxRecorder boxes;

    w.cmdSc->click();

    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].box.text, QString::fromUtf8(texts::kSelectToDelete));
    QCOMPARE(boxes.shown[0].box.caption, QString::fromUtf8(texts::kAppTitle));
    QCOMPARE(boxes.shown[0].box.buttons, Module1::Buttons::Ok);
    QCOMPARE(store.rows().size(), 1u);
    QCOMPARE(nodeTexts(w), nodesBefore);
    QVERIFY(viewEmpty(w));
  }

  void noKeepsTheStoreButRebuildsAndEmpties() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    showAccount(w, "c1");
    store.addRow("B", "生活");  // behind the window's back: only a rebuild shows it
    BoxRecorder boxes;
    boxes.answerNext(Module1::vbNo);

    w.cmdSc->click();

    QCOMPARE(boxes.shown.size(), 1);
    const Module1::BoxRequest& ask = boxes.shown[0].box;
    QCOMPARE(ask.text, QString::fromUtf8(texts::kConfirmDelete));
    QCOMPARE(ask.caption, QString::fromUtf8(texts::kQuestionCaption));
    QCOMPARE(ask.buttons, Module1::Buttons::YesNo);
    QCOMPARE(ask.defaultAnswer, Module1::vbYes);
    QCOMPARE(names(store.rows()), QStringList({"A", "B"}));
    QCOMPARE(nodeTexts(w), QStringList({"y1:工作", "y2:生活", "c1:A", "c2:B"}));
    QVERIFY(viewEmpty(w));
  }

  void yesRemovesTheRowAndAnEmptiedType() {
    TempStore store;
    store.addRow("A", "工作");
    store.addRow("B", "生活");
    store.addRow("C", "工作");
    zulM w(store.path());
    showAccount(w, "c2");
    BoxRecorder boxes;

    w.cmdSc->click();

    QCOMPARE(boxes.shown.size(), 1);  // the confirmation only: success is not announced
    QCOMPARE(names(store.rows()), QStringList({"A", "C"}));
    QCOMPARE(nodeTexts(w), QStringList({"y1:工作", "c1:A", "c2:C"}));
    QVERIFY(viewEmpty(w));
    QVERIFY(w.cmdSc->isEnabled());
  }

  // The selected node decides, not the first row of its name nor the account shown.
  void sameNamesLoseExactlyTheSelectedRow() {
    TempStore store;
    const qint64 first = store.addRow("X", "工作");
    const qint64 second = store.addRow("X", "生活");
    store.addRow("Y", "工作");
    zulM w(store.path());
    showAccount(w, "c3");
    w.selectNode("c2");
    QCOMPARE(w.selectedNode()->rowId, second);
    BoxRecorder boxes;

    w.cmdSc->click();

    QCOMPARE(boxes.shown.size(), 1);
    const auto rows = store.rows();
    QCOMPARE(rows.size(), 2u);
    QCOMPARE(rows[0].rowid, first);
    QCOMPARE(names(rows), QStringList({"X", "Y"}));
    QCOMPARE(nodeTexts(w), QStringList({"y1:工作", "c1:X", "c2:Y"}));
  }

  void deletingTheLastAccountDisablesModifyAndDelete() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    showAccount(w, "c1");
    BoxRecorder boxes;

    w.cmdSc->click();

    QVERIFY(store.rows().empty());
    QVERIFY(w.treeNodes().empty());
    QVERIFY(!w.cmdSc->isEnabled());
    QVERIFY(!w.cmdXg->isEnabled());
    QVERIFY(w.cmdTj->isEnabled());
    QVERIFY(w.blnEmpty);
  }

  void nameWithQuotes() {
    TempStore store;
    store.addRow("O'Brien", "工作");
    store.addRow("O''Brien", "工作");
    zulM w(store.path());
    showAccount(w, "c1");
    BoxRecorder boxes;

    w.cmdSc->click();

    QCOMPARE(names(store.rows()), QStringList({"O''Brien"}));
  }

  // When the selection names no stored row, nothing is deleted, the user is told, and the
  // tree is rebuilt all the same.
  void nothingToDelete_data() {
    QTest::addColumn<QString>("select");
    QTest::addColumn<bool>("removeBehindBack");
    QTest::newRow("type node") << "y2" << false;
    QTest::newRow("type named like an account") << "y1" << false;
    QTest::newRow("no selection") << "" << false;
    QTest::newRow("row already gone") << "c1" << true;
  }
  void nothingToDelete() {
    QFETCH(QString, select);
    QFETCH(bool, removeBehindBack);
    TempStore store;
    store.addRow("A", "工作");
    store.addRow("工作", "生活");
    zulM w(store.path());
    showAccount(w, "c2");
    if (select.isEmpty()) {
      w.tvwXs->selectionModel()->clear();
      QVERIFY(!w.selectedNode());
    } else {
      w.selectNode(select);
    }
    if (removeBehindBack) store.exec("DELETE FROM 账号集合 WHERE rowid = 1");
    const auto rowsBefore = names(store.rows());
    store.addRow("B", "其他");
    BoxRecorder boxes;

    w.cmdSc->click();

    QCOMPARE(boxes.shown.size(), 2);
    QCOMPARE(boxes.shown[1].box.text, QString::fromUtf8(texts::kSelectToDelete));
    QCOMPARE(boxes.shown[1].box.caption, QString::fromUtf8(texts::kAppTitle));
    QCOMPARE(names(store.rows()), rowsBefore + QStringList{"B"});
    QVERIFY(nodeTexts(w).last().endsWith(":B"));  // the last type's only account
    QVERIFY(viewEmpty(w));
  }
};

QTEST_MAIN(ZulMTest)
#include "test_delete.moc"
