// The delete button, the 100 ms tick (summary label, caption, status-bar clock), the
// notification-area icon with the hide button, and the two web links.
#include <QLocale>

#include "WidgetTest.h"
#include "version.h"

using namespace testsupport;

Q_DECLARE_METATYPE(QSystemTrayIcon::ActivationReason)

namespace {

const QString kConfirm = "提示：|确定要删除这个账号？|是*,否";
const QString kNothingSelected = "Kelvarn|请选择要【删除】的账号！|确定";
const QDateTime kNoon(QDate(2015, 1, 31), QTime(19, 23, 30));

QString statusAt(const QString& clock) {
  return "本程序由Brondel工作室-站长倾情开发★现在是：" + clock + "   感谢使用(^_^)";
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

  std::optional<TempStore> store;
  std::optional<BoxRecorder> boxes;

  // Shows the account of `key` in the record view, as a double-click does.
  static void showAccount(zulM& w, const QString& key) {
    w.selectNode(key);
    w.tvwXs_DblClick();
    QVERIFY(!Module1::boxText(w.txtXs).isEmpty());
  }
  static bool viewEmpty(const zulM& w) {
    return Module1::boxText(w.txtXs).isEmpty() && w.shownRowId == 0;
  }
  bool topmost(const QWidget& w) { return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

 private slots:
  void init() {
    store.emplace();
    boxes.emplace();
  }
  void cleanup() {
    boxes.reset();
    store.reset();
    Module1::setTrayAvailable(std::nullopt);
  }

  void deleteWithAnEmptyViewOnlyTellsTheUser() {
    store->addRow("A", "工作");
    zulM w(store->path());
    w.cmdSc->click();
    QCOMPARE(boxes->seen, QStringList{kNothingSelected});
    QCOMPARE(names(*store), QStringList{"A"});
    QCOMPARE(treeTexts(w), QStringList({"y1:工作", "c1:A"}));
    QVERIFY(viewEmpty(w));
  }

  void deleteNoKeepsTheStoreButRebuildsAndEmpties() {
    store->addRow("A", "工作");
    zulM w(store->path());
    showAccount(w, "c1");
    store->addRow("B", "生活");  // behind the window's back: only a rebuild shows it
    boxes->answerNext(Module1::vbNo);

    w.cmdSc->click();

    QCOMPARE(boxes->seen, QStringList{kConfirm});
    QCOMPARE(names(*store), QStringList({"A", "B"}));
    QCOMPARE(treeTexts(w), QStringList({"y1:工作", "y2:生活", "c1:A", "c2:B"}));
    QVERIFY(viewEmpty(w));
  }

  // Success is not announced; the last account of a type takes its type node along, the
  // very last one the modify and delete buttons.
  void deleteYesRemovesTheRow() {
    store->addRow("A", "工作");
    store->addRow("B", "生活");
    zulM w(store->path());
    showAccount(w, "c2");
    w.cmdSc->click();
    QCOMPARE(boxes->seen, QStringList{kConfirm});
    QCOMPARE(names(*store), QStringList{"A"});
    QCOMPARE(treeTexts(w), QStringList({"y1:工作", "c1:A"}));
    QVERIFY(viewEmpty(w));
    QVERIFY(w.cmdSc->isEnabled() && w.cmdXg->isEnabled());

    showAccount(w, "c1");
    w.cmdSc->click();
    QVERIFY(names(*store).isEmpty() && w.treeNodes().empty() && w.blnEmpty);
    QVERIFY(!w.cmdSc->isEnabled() && !w.cmdXg->isEnabled() && w.cmdTj->isEnabled());
  }

  // The selected node decides, not the first row of its name nor the account shown; a name
  // with quotes matches only itself.
  void sameNamesLoseExactlyTheSelectedRow() {
    store->addRow("O'Brien", "工作");
    store->addRow("O'Brien", "生活");
    store->addRow("O''Brien", "工作");
    zulM w(store->path());
    showAccount(w, "c3");
    w.selectNode("c2");
    w.cmdSc->click();
    QCOMPARE(boxes->seen, QStringList{kConfirm});
    QCOMPARE(store->rows()[0].rowid, 1);
    QCOMPARE(names(*store), QStringList({"O'Brien", "O''Brien"}));
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
    store->addRow("A", "工作");
    store->addRow("工作", "生活");
    zulM w(store->path());
    showAccount(w, "c2");
    if (select.isEmpty())
      w.tvwXs->selectionModel()->clear();
    else
      w.selectNode(select);
    if (removeBehindBack) store->exec("DELETE FROM 账号集合 WHERE rowid = 1");
    const QStringList before = names(*store);
    store->addRow("B", "其他");

    w.cmdSc->click();

    QCOMPARE(boxes->seen, QStringList({kConfirm, kNothingSelected}));
    QCOMPARE(names(*store), before + QStringList{"B"});
    QVERIFY(treeTexts(w).last().endsWith(":B"));  // the last type's only account
    QVERIFY(viewEmpty(w));
  }

  // The seven lines, with CR LF drawn exactly as plain line breaks; NULL times give empty
  // lines; an empty view an empty label, while caption and status still refresh.
  void summaryLabelCaptionAndStatus() {
    store->addRow("A", "工作", "内容", "2015/01/31 08:05:09", "2015/02/01 19:23:30");
    store->addRow("N", "工作");
    store->exec("UPDATE 账号集合 SET 创建时间 = NULL, 最后修改 = NULL WHERE rowid = 2");
    zulM w(store->path());
    FixedClock clock(kNoon);
    showAccount(w, "c1");
    w.Timer1_Timer();
    QCOMPARE(w.labSjxs->text(),
             "当前账号：\r\nA\r\n\r\n创建时间：\r\n2015/01/31 08:05:09\r\n"
             "最后修改：\r\n2015/02/01 19:23:30");
    QCOMPARE(w.windowTitle(), "KelvarnV15.1.4");
    QCOMPARE(w.StatusBar1->currentMessage(), statusAt("2015年01月31日 19时23分30秒"));
    const QImage drawn = w.labSjxs->grab().toImage();
    const QString text = w.labSjxs->text();
    w.labSjxs->setText(QString(text).replace("\r\n", "\n"));
    QCOMPARE(drawn, w.labSjxs->grab().toImage());

    showAccount(w, "c2");
    w.Timer1_Timer();
    QCOMPARE(w.labSjxs->text(), "当前账号：\r\nN\r\n\r\n创建时间：\r\n\r\n最后修改：\r\n");

    w.selectNode("y1");
    w.tvwXs_DblClick();  // a type node empties the view; strMc still holds "N"
    w.setWindowTitle("stale");
    clock.set(kNoon.addSecs(1));
    w.Timer1_Timer();
    QCOMPARE(w.labSjxs->text(), "");
    QCOMPARE(w.windowTitle(), "KelvarnV15.1.4");
    QCOMPARE(w.StatusBar1->currentMessage(), statusAt("2015年01月31日 19时23分31秒"));
  }

  // Zero-padded 24-hour fields with ASCII digits, whatever the default locale says.
  void clockText_data() {
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shown");
    QTest::newRow("single digits") << QDateTime(QDate(2015, 3, 5), QTime(7, 4, 9)) << "ar_EG"
                                   << "2015年03月05日 07时04分09秒";
    QTest::newRow("midnight") << QDateTime(QDate(2015, 3, 5), QTime(0, 0)) << "C"
                              << "2015年03月05日 00时00分00秒";
    QTest::newRow("evening") << QDateTime(QDate(2015, 12, 31), QTime(23, 59, 59)) << "zh_CN"
                             << "2015年12月31日 23时59分59秒";
  }
  void clockText() {
    QFETCH(QDateTime, time);
    QFETCH(QString, locale);
    QFETCH(QString, shown);
    zulM w(store->path());
    FixedClock clock(time);
    QLocale::setDefault(QLocale(locale));
    w.Timer1_Timer();
    QLocale::setDefault(QLocale::c());
    QCOMPARE(w.StatusBar1->currentMessage(), statusAt(shown));
  }

  // The timer runs while the window is hidden; a tick that changes no text repaints nothing.
  void tickIsCheapAndGoesOnWhileHidden() {
    store->addRow("A", "工作");
    zulM w(store->path());
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

    w.hide();
    QCOMPARE(w.Timer1->interval(), 100);
    clock.set(kNoon.addSecs(5));
    QTRY_COMPARE(w.StatusBar1->currentMessage(), statusAt("2015年01月31日 19时23分35秒"));
  }

  // Hidden to the tray, the window comes back, at normal size and topmost, on a left or
  // double click only; the icon stays.
  void iconClicks_data() {
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::addColumn<bool>("restores");
    QTest::newRow("left click") << QSystemTrayIcon::Trigger << true;
    QTest::newRow("double click") << QSystemTrayIcon::DoubleClick << true;
    QTest::newRow("right click") << QSystemTrayIcon::Context << false;
    QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << false;
    QTest::newRow("unknown") << QSystemTrayIcon::Unknown << false;
  }
  void iconClicks() {
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    QFETCH(bool, restores);
    zulM w(store->path());
    w.show();
    const int added = Module1::tpicon.added, removed = Module1::tpicon.removed;
    Module1::setTrayAvailable(true);
    w.showMinimized();
    w.cmdTp->click();
    QVERIFY(!w.isVisible());
    Module1::tpicon.callback(reason);
    QCOMPARE(w.isVisible(), restores);
    QCOMPARE(w.isMinimized(), !restores);
    QVERIFY(topmost(w));
    QCOMPARE(Module1::tpicon.added, added);
    QCOMPARE(Module1::tpicon.removed, removed);
  }

  // Without a notification area the window is minimised instead, so it can come back.
  void hideWithoutTrayMinimises() {
    zulM w(store->path());
    w.show();
    Module1::setTrayAvailable(false);
    w.cmdTp->click();
    QVERIFY(w.isVisible() && w.isMinimized());
  }

  void linksOpenOnePagePerClickAndChangeNothing() {
    store->addRow("A", "工作");
    zulM w(store->path());
    w.show();
    showAccount(w, "c1");
    WebRecorder web;

    w.cmdAbout->click();
    w.cmdHelp->click();
    w.cmdAbout->click();

    const QString host = "http://" + QString(version::kWebHost) + "/mypregrams/zul/";
    QCOMPARE(web.opened,
             QStringList({host + "about.html", host + "usersc.html", host + "about.html"}));
    QVERIFY(boxes->seen.isEmpty());
    QVERIFY(w.isVisible() && topmost(w));
    QCOMPARE(Module1::boxText(w.txtXs), "内容");
    QCOMPARE(treeTexts(w), QStringList({"y1:工作", "c1:A"}));
    QCOMPARE(w.selectedNode()->key, "c1");
  }
};

QTEST_MAIN(ZulMTest)
#include "test_delete_clock_tray.moc"
