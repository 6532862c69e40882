// The editor's form: frame, controls, stacking, tab order and the settings that change
// behaviour.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <limits>

#include "EditorSession.h"
#include "Texts.h"
#include "WidgetTest.h"

using testsupport::TempStore;

class ZulTjXgTest : public QObject {
  Q_OBJECT

  TempStore store;
  std::unique_ptr<zulM> main;
  zulTjXg* e = nullptr;

 private slots:
  void initTestCase() {
    main = std::make_unique<zulM>(store.path());
    ZulMTest::openAdd(*main);
    e = ZulMTest::editor(*main);
    QVERIFY(e);
  }

  void frameIsBorderlessTopmostAndFixed() {
    const Qt::WindowFlags flags = e->windowFlags();
    QVERIFY(flags & Qt::Window);
    QVERIFY(flags & Qt::FramelessWindowHint);
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QCOMPARE(e->windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(e->size(), QSize(410, 168));
    QCOMPARE(e->minimumSize(), e->maximumSize());
  }

  void controlsStackTabAndSitAsDesigned() {
    QStringList stacking;
    for (QWidget* w : e->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      stacking << w->objectName();
    QCOMPARE(stacking, QStringList({"txtMc", "txtNr", "cmbLx", "cmdXg", "cmdFh", "cmdTj", "Label2",
                                    "Label1"}));

    const QList<QPair<QWidget*, QRect>> geometry = {
        {e->txtMc, {0, 144, 106, 22}},  {e->txtNr, {108, 0, 302, 166}},
        {e->cmbLx, {0, 100, 109, 20}},  {e->cmdXg, {0, 50, 109, 25}},
        {e->cmdFh, {0, 0, 109, 25}},    {e->cmdTj, {0, 25, 109, 25}},
        {e->Label2, {0, 124, 106, 19}}, {e->Label1, {0, 82, 109, 17}}};
    for (const auto& [control, rect] : geometry) QCOMPARE(control->geometry(), rect);

    const QList<QWidget*> tabStops = {e->cmdFh, e->cmdTj, e->cmdXg, e->cmbLx, e->txtMc, e->txtNr};
    QList<QWidget*> chain;
    QWidget* w = e->cmdFh;
    do {
      if (tabStops.contains(w) && !chain.contains(w)) chain << w;
      w = w->nextInFocusChain();
    } while (w != e->cmdFh);
    QCOMPARE(chain, tabStops);
    QCOMPARE(e->Label1->focusPolicy(), Qt::NoFocus);
  }

  void buttonsShowCaptionsInTheirColours() {
    const QList<QPair<QPushButton*, QPair<const char*, QColor>>> buttons = {
        {e->cmdFh, {"返  回", QColor(192, 255, 192)}},
        {e->cmdTj, {"添  加", QColor(128, 128, 255)}},
        {e->cmdXg, {"修  改", QColor(255, 192, 128)}}};
    for (const auto& [button, look] : buttons) {
      QCOMPARE(button->text(), QString::fromUtf8(look.first));
      QCOMPARE(button->grab().toImage().pixelColor(4, 4), look.second);
    }
  }

  void labelsAndContentBoxLookAsDesigned() {
    for (QLabel* label : {e->Label1, e->Label2}) {
      QCOMPARE(label->font().family(), QStringLiteral("宋体"));
      QCOMPARE(label->font().pointSizeF(), 10.5);
      QVERIFY(label->alignment() & Qt::AlignHCenter);
      QVERIFY(!label->autoFillBackground());
    }
    QCOMPARE(e->Label1->text(), QStringLiteral("输入账号类型："));
    QCOMPARE(e->Label2->text(), QStringLiteral("输入账号名称："));

    QCOMPARE(e->txtNr->font().family(), QStringLiteral("微软雅黑"));
    QCOMPARE(e->txtNr->font().pointSizeF(), 10.5);
    QCOMPARE(e->txtNr->palette().color(QPalette::Text), QColor(0, 0, 128));
    QCOMPARE(e->txtNr->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(e->txtNr->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(e->txtNr->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(e->txtNr->tabChangesFocus());
    QCOMPARE(e->txtMc->maxLength(), std::numeric_limits<int>::max());
  }

  // Typed text stays as typed: no completion from the list, no entry added on Enter.
  void typeBoxKeepsTypedText() {
    e->cmbLx->addItems({"email", "银行"});
    e->cmbLx->setCurrentIndex(-1);
    e->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(e));
    e->cmbLx->setFocus();
    QTest::keyClicks(e->cmbLx->lineEdit(), "em");
    QCOMPARE(e->cmbLx->currentText(), QStringLiteral("em"));
    QTest::keyClick(e->cmbLx->lineEdit(), Qt::Key_Return);
    QCOMPARE(e->cmbLx->count(), 2);
    QCOMPARE(e->cmbLx->itemText(0), QStringLiteral("email"));  // unsorted, as added
  }
};

QTEST_MAIN(ZulTjXgTest)
#include "test_editor_layout.moc"
