// Opening the editor in either mode, the way back, the one connection, lxsx and Ctrl+S.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "EditorSession.h"
#include "Texts.h"
#include "WidgetTest.h"

using testsupport::BoxRecorder;
using testsupport::TempStore;

class ZulTjXgTest : public QObject {
  Q_OBJECT

  static bool editorOnly(const zulM& w, const zulTjXg& e) {
    return e.isVisible() && !w.isVisible() && !w.isEnabled();
  }

 private slots:
  void addModeOnAnEmptyTable() {
    TempStore store;
    zulM w(store.path());
    ZulMTest::arrLx(w) = {"旧类型"};  // left from an earlier table: must not be offered

    ZulMTest::openAdd(w);

    zulTjXg& e = *ZulMTest::editor(w);
    QVERIFY(editorOnly(w, e));
    QVERIFY(typeList(e.cmbLx).isEmpty());
    QVERIFY(e.cmbLx->currentText().isEmpty());
    QVERIFY(e.cmdTj->isEnabled() && !e.cmdXg->isEnabled());
    QCOMPARE(e.focusWidget(), e.cmbLx);
    QCOMPARE(ZulMTest::arrLx(w), QStringList({"旧类型"}));

    e.cmbLx->setEditText("未保存");  // left without adding: the next opening starts empty
    e.cmdFh->click();
    ZulMTest::openAdd(w);
    QVERIFY(e.cmbLx->currentText().isEmpty());
  }

  // Each opening sets the boxes, list and mode afresh, whatever the last one left.
  void modeAndBoxesFollowEachOpening() {
    TempStore store;
    store.addRow("A", "工作", "第一行\r\n第二行");
    store.addRow("B", "生活");
    zulM w(store.path());
    ZulMTest::showAccount(w, "c1");

    ZulMTest::openModify(w);
    zulTjXg& e = *ZulMTest::editor(w);
    QVERIFY(editorOnly(w, e));
    QCOMPARE(typeList(e.cmbLx), QStringList({"工作"}));
    QCOMPARE(e.cmbLx->currentIndex(), 0);
    QCOMPARE(e.cmbLx->currentText(), QStringLiteral("工作"));
    QCOMPARE(e.txtMc->text(), QStringLiteral("A"));
    QCOMPARE(Module1::boxText(e.txtNr), QStringLiteral("第一行\n第二行"));
    QVERIFY(e.cmdXg->isEnabled() && !e.cmdTj->isEnabled());
    QCOMPARE(e.focusWidget(), e.txtNr);

    e.cmdFh->click();
    ZulMTest::openAdd(w);
    QCOMPARE(typeList(e.cmbLx), ZulMTest::arrLx(w));
    QCOMPARE(typeList(e.cmbLx), QStringList({"工作", "生活"}));
    QVERIFY(e.cmbLx->currentText().isEmpty());
    QVERIFY(e.txtMc->text().isEmpty() && Module1::boxText(e.txtNr).isEmpty());
    QVERIFY(e.cmdTj->isEnabled() && !e.cmdXg->isEnabled());
    QCOMPARE(e.focusWidget(), e.cmbLx);
  }

  void modifyWithNothingShownOnlyTellsTheUser() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    BoxRecorder boxes;

    ZulMTest::openModify(w);

    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].box.text, QStringLiteral("请选择要【修改】的账号！"));
    QCOMPARE(boxes.shown[0].box.caption, QStringLiteral("Kelvarn"));
    QCOMPARE(boxes.shown[0].box.buttons, Module1::Buttons::Ok);
    QVERIFY(!boxes.shown[0].visibleWindows.contains("zulM"));
    QVERIFY(!ZulMTest::editor(w));
    QVERIFY(w.isVisible() && w.isEnabled());
  }

  // 返回, and a window manager's close request alike, give the main window back with an
  // empty record view and a tree rebuilt from the store.
  void returnAndCloseRequestRestoreTheMainWindow() {
    for (const bool byCloseRequest : {false, true}) {
      TempStore store;
      store.addRow("A", "工作");
      zulM w(store.path());
      ZulMTest::showAccount(w, "c1");
      ZulMTest::openModify(w);
      zulTjXg& e = *ZulMTest::editor(w);
      store.addRow("B", "生活");  // written elsewhere: only a rebuild shows it

      if (byCloseRequest)
        QVERIFY(!e.close());
      else
        e.cmdFh->click();

      QVERIFY(!e.isVisible());
      QVERIFY(w.isVisible() && w.isEnabled());
      QVERIFY(ZulMTest::recordView(w).isEmpty());
      QCOMPARE(ZulMTest::shownRowId(w), 0);
      QCOMPARE(w.treeNodes().size(), 4u);
    }
  }

  // The store file is moved away after the first opening: a second Form_Load could not
  // open it.
  void reopeningKeepsTheOneConnection() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    ZulMTest::openAdd(w);
    zulTjXg& e = *ZulMTest::editor(w);
    sqlite3* const handle = e.cn.handle();
    QVERIFY(handle);
    e.cmdFh->click();
    QVERIFY(QFile::rename(store.path(), store.path() + ".moved"));

    ZulMTest::showAccount(w, "c1");
    ZulMTest::openModify(w);

    QCOMPARE(ZulMTest::editor(w), &e);
    QCOMPARE(e.cn.handle(), handle);
    QVERIFY(e.isVisible());
    QVERIFY(QFile::rename(store.path() + ".moved", store.path()));
  }

  void lxsxAppendsOnlyAnUnlistedType() {
    TempStore store;
    zulM w(store.path());
    ZulMTest::openAdd(w);
    zulTjXg& e = *ZulMTest::editor(w);
    e.cmbLx->setEditText("正在输入");

    e.varLx = "Mail";
    e.lxsx();  // empty list
    QCOMPARE(typeList(e.cmbLx), QStringList({"Mail"}));
    QCOMPARE(e.cmbLx->currentText(), QStringLiteral("正在输入"));
    e.lxsx();  // equal to the first entry
    QCOMPARE(typeList(e.cmbLx), QStringList({"Mail"}));
    e.varLx = "mail";
    e.lxsx();  // differs in case only
    QCOMPARE(typeList(e.cmbLx), QStringList({"Mail", "mail"}));
    QCOMPARE(e.cmbLx->currentText(), QStringLiteral("正在输入"));
  }

  // Ctrl alone with S in the content box runs the enabled action; the key still reaches the
  // box. Other combinations, and Ctrl+S elsewhere, do nothing.
  void ctrlSInTheContentBoxRunsTheAction() {
    TempStore store;
    store.addRow("A", "工作", "旧");
    zulM w(store.path());
    BoxRecorder boxes;
    boxes.answerNext(Module1::vbNo);
    boxes.answerNext(Module1::vbNo);

    ZulMTest::openAdd(w);
    zulTjXg& e = *ZulMTest::editor(w);
    fill(e, "生活", "B", "内容");
    QTest::keyClick(e.txtNr, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(e.txtNr, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    const QString typed = Module1::boxText(e.txtNr);
    QTest::keyClick(e.txtNr, Qt::Key_S);
    QCOMPARE(Module1::boxText(e.txtNr), "s" + typed);
    QTest::keyClick(e.txtMc, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(e.cmbLx, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(boxes.shown.isEmpty());

    QTest::keyClick(e.txtNr, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].box.text, QStringLiteral("确定添加该条信息？"));

    e.cmdFh->click();
    ZulMTest::showAccount(w, "c1");
    ZulMTest::openModify(w);
    e.txtNr->setPlainText("新");
    QTest::keyClick(e.txtNr, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(boxes.shown.size(), 2);
    QCOMPARE(boxes.shown[1].box.text, QStringLiteral("确定修改该条信息？"));
    QCOMPARE(store.rows().size(), 1u);  // both answered 否
  }
};

QTEST_MAIN(ZulTjXgTest)
#include "test_editor_open.moc"
