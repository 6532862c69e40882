// Adding an account: validation, the confirmation's two answers, the stored values and
// timestamps, and the type list that follows the types used.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "EditorSession.h"
#include "Texts.h"
#include "WidgetTest.h"

using testsupport::BoxRecorder;
using testsupport::FixedClock;
using testsupport::TempStore;

class ZulTjXgTest : public QObject {
  Q_OBJECT

  static bool boxesEmpty(const zulTjXg& e) {
    return e.cmbLx->currentText().isEmpty() && e.txtMc->text().isEmpty() &&
           Module1::boxText(e.txtNr).isEmpty();
  }

 private slots:
  void incompleteInputWritesNothing() {
    const QStringList complete = {"工作", "A", "内容"};
    for (int missing = 0; missing < 3; ++missing) {
      TempStore store;
      store.addRow("X", "工作");
      zulM w(store.path());
      ZulMTest::openAdd(w);
      zulTjXg& e = *ZulMTest::editor(w);
      QStringList input = complete;
      input[missing].clear();
      fill(e, input[0], input[1], input[2]);
      BoxRecorder boxes;

      e.cmdTj->click();

      QCOMPARE(boxes.shown.size(), 1);
      QCOMPARE(boxes.shown[0].box.text, QStringLiteral("请输入完整信息！"));
      QCOMPARE(boxes.shown[0].box.caption, QStringLiteral("Kelvarn"));
      QVERIFY(!boxes.shown[0].visibleWindows.contains("zulTjXg"));
      QVERIFY(e.isVisible());
      QCOMPARE(store.rows().size(), 1u);
      QCOMPARE(e.cmbLx->currentText(), input[0]);
      QCOMPARE(e.txtMc->text(), input[1]);
      QCOMPARE(typeList(e.cmbLx), QStringList({"工作"}));
      QVERIFY(!e.varLx);
    }
  }

  // Texts go in exactly as typed; the two times are two readings, here across midnight.
  void yesStoresTheTextsAndTwoClockReadings() {
    TempStore store;
    store.addRow("X", "工作");
    zulM w(store.path());
    ZulMTest::openAdd(w);
    zulTjXg& e = *ZulMTest::editor(w);
    fill(e, "  ", "O'Brien \"x\"", "第一行\n  第二行\n");
    FixedClock clock(QDateTime(QDate(2015, 1, 31), QTime(23, 59, 59)));
    clock.then(QDateTime(QDate(2015, 1, 31), QTime(23, 59, 59)));
    clock.then(QDateTime(QDate(2015, 2, 1), QTime(0, 0, 0)));
    BoxRecorder boxes;

    e.cmdTj->click();

    QCOMPARE(boxes.shown.size(), 1);  // the question only: success is not announced
    const Module1::BoxRequest& ask = boxes.shown[0].box;
    QCOMPARE(ask.text, QStringLiteral("确定添加该条信息？"));
    QCOMPARE(ask.caption, QStringLiteral("提示："));
    QCOMPARE(ask.buttons, Module1::Buttons::YesNo);
    QVERIFY(!boxes.shown[0].visibleWindows.contains("zulTjXg"));
    const auto rows = store.rows();
    QCOMPARE(rows.size(), 2u);
    QCOMPARE(*rows[1].name, QStringLiteral("O'Brien \"x\""));
    QCOMPARE(*rows[1].type, QStringLiteral("  "));
    QCOMPARE(*rows[1].content, QStringLiteral("第一行\n  第二行\n"));
    QCOMPARE(*rows[1].created, QStringLiteral("2015/01/31 23:59:59"));
    QCOMPARE(*rows[1].modified, QStringLiteral("2015/02/01 00:00:00"));
    QVERIFY(e.isVisible() && e.cmdTj->isEnabled());
    QVERIFY(boxesEmpty(e));
    QCOMPARE(typeList(e.cmbLx), QStringList({"工作", "  "}));
  }

  void noStoresNothingButEmptiesAndKeepsTheType() {
    TempStore store;
    zulM w(store.path());
    ZulMTest::openAdd(w);
    zulTjXg& e = *ZulMTest::editor(w);
    BoxRecorder boxes;
    boxes.answerNext(Module1::vbNo);
    fill(e, "新类型", "A", "内容");

    e.cmdTj->click();

    QVERIFY(store.rows().empty());
    QVERIFY(boxesEmpty(e));
    QCOMPARE(typeList(e.cmbLx), QStringList({"新类型"}));
  }

  // A type used again is not listed twice; the main window's tree shows the new accounts
  // once the editor is left, read through its own connection.
  void addedAccountsReachTheMainTreeAfterReturn() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    ZulMTest::openAdd(w);
    zulTjXg& e = *ZulMTest::editor(w);
    BoxRecorder boxes;
    fill(e, "生活", "B", "b");
    e.cmdTj->click();
    fill(e, "生活", "C", "c");
    e.cmdTj->click();
    fill(e, "工作", "D", "d");
    e.cmdTj->click();
    QCOMPARE(typeList(e.cmbLx), QStringList({"工作", "生活"}));
    QCOMPARE(w.treeNodes().size(), 2u);  // not before 返回

    e.cmdFh->click();

    QCOMPARE(treeTexts(w), QStringList({"y1:工作", "y2:生活", "c1:A", "c4:D", "c2:B", "c3:C"}));
  }
};

QTEST_MAIN(ZulTjXgTest)
#include "test_editor_add.moc"
