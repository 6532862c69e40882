// The platform layer: message boxes, box texts, window placement and the version text.
#include <QAbstractButton>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QtTest>

#include "Clock.h"
#include "Controls.h"
#include "MessageBox.h"
#include "WidgetTest.h"
#include "WindowManager.h"

using Module1::Answer;
using Module1::Buttons;

Q_DECLARE_METATYPE(Module1::Buttons)
Q_DECLARE_METATYPE(Module1::Answer)

namespace {

// What a real box looked like while it was open.
struct SeenBox {
  bool found = false;
  QString caption, text;
  QStringList buttons;  // in the box's order
  QString defaultButton;
  bool iconless = false;  // neither the box nor its buttons
  bool onTop = false;
  bool windowVisible = true;
};

// A desktop style that puts pictures on standard buttons, as the one under X11 does.
class ButtonIconStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Shows a real box over `window` and, once it is open, records it and answers it by
// pressing `key` (Return takes the default button) or clicking the button captioned `click`.
Answer answerRealBox(QWidget* window, const Module1::BoxRequest& request, SeenBox& seen, int key,
                     const QString& click = {}) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen.found = true;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.iconless = box->icon() == QMessageBox::NoIcon && box->iconPixmap().isNull();
    for (QAbstractButton* b : box->buttons()) {
      seen.buttons << b->text();
      seen.iconless = seen.iconless && b->icon().isNull();
    }
    seen.buttons.sort();
    if (box->defaultButton()) seen.defaultButton = box->defaultButton()->text();
    seen.onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    seen.windowVisible = window->isVisible();
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == click) {
        b->click();
        return;
      }
    }
    QTest::keyClick(box, Qt::Key(key));
  });
  return Module1::MsgBox(window, request);
}

}  // namespace

class Module1Test : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setStyle(new ButtonIconStyle); }

  // The real box: Chinese buttons, no icon, on top, the window hidden while it is open and
  // shown again afterwards. Escape and the close button answer 否 to a question.
  void realBox_data() {
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<Answer>("preferred");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>("defaultButton");
    QTest::addColumn<Answer>("answer");
    QTest::newRow("ok, Return") << Buttons::Ok << Module1::vbOK << int(Qt::Key_Return) << ""
                                << "确定" << Module1::vbOK;
    QTest::newRow("ok, Escape") << Buttons::Ok << Module1::vbOK << int(Qt::Key_Escape) << ""
                                << "确定" << Module1::vbOK;
    QTest::newRow("yes default, Return")
        << Buttons::YesNo << Module1::vbYes << int(Qt::Key_Return) << ""
        << "是" << Module1::vbYes;
    QTest::newRow("yes default, Escape")
        << Buttons::YesNo << Module1::vbYes << int(Qt::Key_Escape) << ""
        << "是" << Module1::vbNo;
    QTest::newRow("no default, Return")
        << Buttons::YesNo << Module1::vbNo << int(Qt::Key_Return) << ""
        << "否" << Module1::vbNo;
    QTest::newRow("no default, click 是") << Buttons::YesNo << Module1::vbNo << 0 << "是"
                                          << "否" << Module1::vbYes;
  }
  void realBox() {
    QFETCH(Buttons, buttons);
    QFETCH(Answer, preferred);
    QFETCH(int, key);
    QFETCH(QString, click);
    QFETCH(QString, defaultButton);
    QFETCH(Answer, answer);
    QWidget window;
    window.show();
    SeenBox seen;
    // Plain text: an account name that looks like markup is shown as typed.
    const Module1::BoxRequest request{"<b>a</b>\n第二行", "提示：", buttons, preferred};

    QCOMPARE(answerRealBox(&window, request, seen, key, click), answer);

    QVERIFY(seen.found);
    QCOMPARE(seen.caption, request.caption);
    QCOMPARE(seen.text, request.text);
    const QStringList offered =
        buttons == Buttons::Ok ? QStringList{"确定"} : QStringList{"否", "是"};
    QCOMPARE(seen.buttons, offered);
    QCOMPARE(seen.defaultButton, defaultButton);
    QVERIFY(seen.iconless);
    QVERIFY(seen.onTop);
    QVERIFY(!seen.windowVisible);
    QVERIFY(window.isVisible());
  }

  // The usual requests; a scripted answer still comes while the window is hidden.
  void informAndAsk() {
    testsupport::BoxRecorder boxes;
    boxes.answerNext(Module1::vbNo);
    QWidget window;
    window.setObjectName("main");
    window.show();

    QCOMPARE(Module1::ask(&window, "确定要删除这个账号？"), Module1::vbNo);
    QCOMPARE(Module1::inform(&window, "请选择要【修改】的账号！"), Module1::vbOK);

    QCOMPARE(boxes.shown.size(), 2);
    const Module1::BoxRequest& question = boxes.shown[0].box;
    QCOMPARE(question.caption, "提示：");
    QCOMPARE(question.text, "确定要删除这个账号？");
    QCOMPARE(question.buttons, Buttons::YesNo);
    QCOMPARE(question.defaultAnswer, Module1::vbYes);
    QCOMPARE(boxes.shown[1].box.caption, "Kelvarn");
    QCOMPARE(boxes.shown[1].box.buttons, Buttons::Ok);
    QVERIFY(!boxes.shown[0].visibleWindows.contains("main"));
    QVERIFY(window.isVisible());
  }

  void boxTextIsExact() {
    QPlainTextEdit box;
    Module1::setBoxText(&box, QString("a\r\nb\rc\nd") + QChar(0x00A0) + "e\t");
    QCOMPARE(box.blockCount(), 4);
    QCOMPARE(Module1::boxText(&box), QString("a\nb\nc\nd") + QChar(0x00A0) + "e\t");

    Module1::setBoxText(&box, "\r\n");
    QCOMPARE(Module1::boxText(&box), "\n");
    Module1::setBoxText(&box, "");
    QCOMPARE(Module1::boxText(&box), "");
  }

  void versionAndClockTexts() {
    QCOMPARE(Module1::productVersionText(), "KelvarnV15.1.4");
    testsupport::FixedClock clock(QDateTime(QDate(2015, 1, 31), QTime(8, 5, 9)));
    QCOMPARE(Module1::timestampNow(), "2015/01/31 08:05:09");
  }

  // Setting the flag on a shown window must not leave it hidden.
  void topmostAndRestore() {
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Module1::setTopmost(&window);
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());

    window.showMinimized();
    window.hide();
    Module1::restoreWindow(&window);
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  }
};

QTEST_MAIN(Module1Test)
#include "test_module1.moc"
