// The 100 ms tick: summary label, caption and status-bar clock.
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include "Controls.h"
#include "WidgetTest.h"
#include "version.h"
#include "zulM.h"

using testsupport::FixedClock;
using testsupport::TempStore;

namespace {

const QDateTime kNoon(QDate(2015, 1, 31), QTime(19, 23, 30));

QString statusAt(const QString& clock) {
  return "本程序由Brondel工作室-站长倾情开发★现在是：" + clock + "   感谢使用(^_^)";
}

QString caption() {
  return QStringLiteral("KelvarnV%1.%2.%3")
      .arg(version::kMajor)
      .arg(version::kMinor)
      .arg(version::kRevision);
}

// Counts paint events of the widgets it watches.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(std::initializer_list<QWidget*> widgets) {
    for (QWidget* w : widgets) w->installEventFilter(this);
  }
  QHash<QObject*, int> paints;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints[watched];
    return false;
  }
};

}  // namespace

class ZulMTest : public QObject {
  Q_OBJECT

  static void showAccount(zulM& w, const QString& key) {
    w.selectNode(key);
    w.tvwXs_DblClick();
    QVERIFY(!Module1::boxText(w.txtXs).isEmpty());
  }

 private slots:
  void accountShownFillsSevenLines() {
    TempStore store;
    store.addRow("A", "工作", "内容", "2015/01/31 08:05:09", "2015/02/01 19:23:30");
    zulM w(store.path());
    FixedClock clock(kNoon);
    showAccount(w, "c1");

    w.Timer1_Timer();

    QCOMPARE(w.labSjxs->text(),
             "当前账号：\r\nA\r\n\r\n创建时间：\r\n2015/01/31 08:05:09\r\n"
             "最后修改：\r\n2015/02/01 19:23:30");
    QCOMPARE(w.windowTitle(), caption());
    QCOMPARE(w.StatusBar1->currentMessage(), statusAt("2015年01月31日 19时23分30秒"));

    // CR LF must draw exactly as a plain line break: no stray glyph, no joined lines.
    const QImage shown = w.labSjxs->grab().toImage();
    const QString crLfText = w.labSjxs->text();
    w.labSjxs->setText(QString(crLfText).replace("\r\n", "\n"));
    QCOMPARE(shown, w.labSjxs->grab().toImage());
    w.labSjxs->setText(crLfText);
  }

  void nullTimesLeaveEmptyLines() {
    TempStore store;
    store.addRow("A", "工作");
    store.exec("UPDATE 账号集合 SET 创建时间 = NULL, 最后修改 = NULL");
    zulM w(store.path());
    showAccount(w, "c1");

    w.Timer1_Timer();

    QCOMPARE(w.labSjxs->text(), "当前账号：\r\nA\r\n\r\n创建时间：\r\n\r\n最后修改：\r\n");
  }

  void emptyViewEmptiesLabelButRefreshesCaptionAndStatus() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    FixedClock clock(kNoon);
    showAccount(w, "c1");
    w.Timer1_Timer();
    QVERIFY(!w.labSjxs->text().isEmpty());

    w.selectNode("y1");
    w.tvwXs_DblClick();  // a type node empties the view; strMc still holds "A"
    w.setWindowTitle("stale");
    w.StatusBar1->showMessage("stale");
    clock.set(kNoon.addSecs(1));
    w.Timer1_Timer();

    QCOMPARE(w.labSjxs->text(), QString());
    QCOMPARE(w.windowTitle(), caption());
    QCOMPARE(w.StatusBar1->currentMessage(), statusAt("2015年01月31日 19时23分31秒"));
  }

  // Zero-padded 24-hour fields with ASCII digits, whatever the default locale says.
  void clockText_data() {
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shown");
    const QDateTime early(QDate(2015, 3, 5), QTime(7, 4, 9));
    const QDateTime midnight(QDate(2015, 3, 5), QTime(0, 0, 0));
    const QDateTime late(QDate(2015, 12, 31), QTime(23, 59, 59));
    QTest::newRow("single digits") << early << "C"
                                   << "2015年03月05日 07时04分09秒";
    QTest::newRow("midnight") << midnight << "C"
                              << "2015年03月05日 00时00分00秒";
    QTest::newRow("evening") << late << "C"
                             << "2015年12月31日 23时59分59秒";
    QTest::newRow("arabic locale") << early << "ar_EG"
                                   << "2015年03月05日 07时04分09秒";
    QTest::newRow("chinese locale") << late << "zh_CN"
                                    << "2015年12月31日 23时59分59秒";
  }
  void clockText() {
    QFETCH(QDateTime, time);
    QFETCH(QString, locale);
    QFETCH(QString, shown);
    TempStore store;
    zulM w(store.path());
    FixedClock clock(time);
    QLocale::setDefault(QLocale(locale));

    w.Timer1_Timer();

    QLocale::setDefault(QLocale::c());
    QCOMPARE(w.StatusBar1->currentMessage(), statusAt(shown));
  }

  void timerTicksWhileHidden() {
    TempStore store;
    zulM w(store.path());
    FixedClock clock(kNoon);
    w.show();
    w.hide();
    QCOMPARE(w.Timer1->interval(), 100);

    clock.set(kNoon.addSecs(5));
    QTRY_COMPARE(w.StatusBar1->currentMessage(), statusAt("2015年01月31日 19时23分35秒"));
  }

  // Idle cost: a tick that changes no text must not repaint anything.
  void unchangedTickRepaintsNothing() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    FixedClock clock(kNoon);
    showAccount(w, "c1");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Timer1_Timer();
    QCoreApplication::processEvents();
    PaintCounter counter{w.labSjxs, w.StatusBar1};

    for (int i = 0; i < 5; ++i) w.Timer1_Timer();
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints.value(w.labSjxs), 0);
    QCOMPARE(counter.paints.value(w.StatusBar1), 0);

    clock.set(kNoon.addSecs(1));
    w.Timer1_Timer();
    QTRY_VERIFY(counter.paints.value(w.StatusBar1) > 0);
    QCOMPARE(counter.paints.value(w.labSjxs), 0);
  }
};

QTEST_MAIN(ZulMTest)
#include "test_clock.moc"
