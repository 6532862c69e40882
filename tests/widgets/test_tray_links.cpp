// The notification-area icon, the hide button and the two web links.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "Controls.h"
#include "Tray.h"
#include "WidgetTest.h"
#include "version.h"
#include "zulM.h"

using testsupport::BoxRecorder;
using testsupport::TempStore;
using testsupport::WebRecorder;

Q_DECLARE_METATYPE(QSystemTrayIcon::ActivationReason)

namespace {

QString page(const char* path) {
  return "http://" + QString::fromUtf8(version::kWebHost) + path;
}

bool topmost(const QWidget& w) {
  return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

}  // namespace

class ZulMTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { Module1::setTrayAvailable(std::nullopt); }

  void iconLivesFromLoadToClose() {
    TempStore store;
    const int added = Module1::tpicon.added;
    const int removed = Module1::tpicon.removed;
    zulM w(store.path());

    QCOMPARE(Module1::tpicon.added, added + 1);
    QCOMPARE(Module1::tpicon.removed, removed);
    QCOMPARE(Module1::tpicon.window, &w);
    QCOMPARE(Module1::tpicon.tip, QStringLiteral("KelvarnV%1.%2.%3")
                                      .arg(version::kMajor)
                                      .arg(version::kMinor)
                                      .arg(version::kRevision));
    QVERIFY(!Module1::tpicon.icon.isNull());
    QVERIFY(topmost(w));

    w.close();
    QCOMPARE(Module1::tpicon.added, added + 1);
    QCOMPARE(Module1::tpicon.removed, removed + 1);
  }

  // Without a notification area the window is minimised instead, so it can come back.
  void hideButton_data() {
    QTest::addColumn<bool>("tray");
    QTest::newRow("tray") << true;
    QTest::newRow("no tray") << false;
  }
  void hideButton() {
    QFETCH(bool, tray);
    TempStore store;
    zulM w(store.path());
    w.show();
    const int added = Module1::tpicon.added;
    const int removed = Module1::tpicon.removed;
    Module1::setTrayAvailable(tray);

    w.cmdTp->click();

    QCOMPARE(w.isVisible(), !tray);
    QCOMPARE(w.isMinimized(), !tray);
    QCOMPARE(Module1::tpicon.added, added);
    QCOMPARE(Module1::tpicon.removed, removed);
  }

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
    TempStore store;
    zulM w(store.path());
    w.show();
    Module1::setTrayAvailable(true);
    w.cmdTp->click();
    QVERIFY(!w.isVisible());
    QVERIFY(Module1::tpicon.callback);

    Module1::tpicon.callback(reason);

    QCOMPARE(w.isVisible(), restores);
    if (restores) {
      QVERIFY(!w.isMinimized());
      QVERIFY(topmost(w));
    }
  }

  void linksOpenOnePagePerClickAndChangeNothing() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    w.show();
    w.selectNode("c1");
    w.tvwXs_DblClick();
    const QString shown = Module1::boxText(w.txtXs);
    const auto nodes = w.treeNodes().size();
    BoxRecorder boxes;
    WebRecorder web;

    w.cmdAbout->click();
    w.cmdHelp->click();
    w.cmdAbout->click();

    const QString about = page("/mypregrams/zul/about.html");
    const QString manual = page("/mypregrams/zul/usersc.html");
    QCOMPARE(web.opened, QStringList({about, manual, about}));
    QVERIFY(boxes.shown.isEmpty());
    QVERIFY(w.isVisible());
    QVERIFY(topmost(w));
    QCOMPARE(Module1::boxText(w.txtXs), shown);
    QCOMPARE(w.treeNodes().size(), nodes);
    QCOMPARE(w.selectedNode()->key, QString("c1"));
  }
};

QTEST_MAIN(ZulMTest)
#include "test_tray_links.moc"
