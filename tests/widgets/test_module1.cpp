// The platform layer: real message boxes and box texts.
#include <QAbstractButton>
#include <QMessageBox>
#include <QProxyStyle>

#include "MessageBox.h"
#include "WidgetTest.h"

using Module1::Answer;
using Module1::Buttons;

Q_DECLARE_METATYPE(Module1::Buttons)
Q_DECLARE_METATYPE(Module1::Answer)

namespace {

// A desktop style that puts pictures on standard buttons, as the one under X11 does.
class ButtonIconStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Shows a real box over `window` and, once it is open, describes it in `seen` and answers it:
// "Return" and "Escape" press the key, any other text clicks the button of that caption.
Answer answerRealBox(QWidget* window, const Module1::BoxRequest& request, const QString& action,
                     QString& seen) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    bool icons = box->icon() != QMessageBox::NoIcon || !box->iconPixmap().isNull();
    QStringList buttons;
    for (QAbstractButton* b : box->buttons()) {
      buttons << b->text();
      icons = icons || !b->icon().isNull();
    }
    buttons.sort();
    seen = QStringList{box->windowTitle(),
                       box->text(),
                       buttons.join(','),
                       box->defaultButton() ? box->defaultButton()->text() : QString(),
                       icons ? "icons" : "no icon",
                       box->windowFlags() & Qt::WindowStaysOnTopHint ? "on top" : "below",
                       window->isVisible() ? "window shown" : "window hidden"}
               .join('|');
    if (action == "Return" || action == "Escape")
      QTest::keyClick(box, action == "Return" ? Qt::Key_Return : Qt::Key_Escape);
    for (QAbstractButton* b : box->buttons())
      if (b->text() == action) b->click();
  });
  return Module1::MsgBox(window, request);
}

}  // namespace

class Module1Test : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setStyle(new ButtonIconStyle); }

  // Chinese buttons, no icon, on top, plain text; the window hidden while the box is open and
  // shown again afterwards. Escape and the close button answer 否 to a question.
  void realBox_data() {
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<Answer>("preferred");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("offered");  // sorted, then the default
    QTest::addColumn<Answer>("answer");
    QTest::newRow("ok, Return") << Buttons::Ok << Module1::vbOK << "Return"
                                << "确定|确定" << Module1::vbOK;
    QTest::newRow("ok, Escape") << Buttons::Ok << Module1::vbOK << "Escape"
                                << "确定|确定" << Module1::vbOK;
    QTest::newRow("yes default, Return") << Buttons::YesNo << Module1::vbYes << "Return"
                                         << "否,是|是" << Module1::vbYes;
    QTest::newRow("yes default, Escape") << Buttons::YesNo << Module1::vbYes << "Escape"
                                         << "否,是|是" << Module1::vbNo;
    QTest::newRow("no default, Return") << Buttons::YesNo << Module1::vbNo << "Return"
                                        << "否,是|否" << Module1::vbNo;
    QTest::newRow("no default, click 是") << Buttons::YesNo << Module1::vbNo << "是"
                                          << "否,是|否" << Module1::vbYes;
  }
  void realBox() {
    QFETCH(Buttons, buttons);
    QFETCH(Answer, preferred);
    QFETCH(QString, action);
    QFETCH(QString, offered);
    QFETCH(Answer, answer);
    QWidget window;
    window.show();
    QString seen;
    QCOMPARE(
        answerRealBox(&window, {"<b>a</b>\n第二行", "提示：", buttons, preferred}, action, seen),
        answer);
    QCOMPARE(seen, "提示：|<b>a</b>\n第二行|" + offered + "|no icon|on top|window hidden");
    QVERIFY(window.isVisible());
  }

  void boxTextIsExact() {
    QPlainTextEdit box;
    Module1::setBoxText(&box, QString("a\r\nb\rc\nd") + QChar(0x00A0) + "e\t");
    QCOMPARE(box.blockCount(), 4);
    QCOMPARE(Module1::boxText(&box), QString("a\nb\nc\nd") + QChar(0x00A0) + "e\t");
    Module1::setBoxText(&box, "\r\n");
    QCOMPARE(Module1::boxText(&box), "\n");
  }
};

QTEST_MAIN(Module1Test)
#include "test_module1.moc"
