// Start-up, shutdown and the standard error report, under the program's own application.
#include <QFile>
#include <QTreeView>
#include <QtTest>

#include "AccountTree.h"
#include "Application.h"
#include "ErrorReport.h"
#include "StoreError.h"
#include "Tray.h"
#include "WidgetTest.h"
#include "zulM.h"
#include "zulTjXg.h"

using testsupport::BoxRecorder;
using testsupport::EndRecorder;
using testsupport::TempStore;

namespace {

// How the window stood at the moment the notification icon came into being.
struct AtIconAdd {
  QObject* icon = nullptr;
  bool topmost = false;
  int typeNodes = -1;
};

// The icon is a child of the application: watch the application's children being added.
class IconWatch : public QObject {
 public:
  explicit IconWatch(std::function<AtIconAdd(QObject*)> look) : look_(std::move(look)) {
    qApp->installEventFilter(this);
  }
  QList<AtIconAdd> seen;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == qApp && event->type() == QEvent::ChildAdded)
      seen << look_(static_cast<QChildEvent*>(event)->child());
    return false;
  }

 private:
  std::function<AtIconAdd(QObject*)> look_;
};

zulM* mainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* m = qobject_cast<zulM*>(w)) return m;
  return nullptr;
}

}  // namespace

class ZulMTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { Module1::tpicon = {}; }

  // Open, tree, topmost, then the icon: at the icon's birth the rest is already done.
  void loadOrder() {
    TempStore store;
    store.addRow("A", "工作");
    store.addRow("B", "生活");
    IconWatch watch([](QObject* child) {
      zulM* w = mainWindow();
      return AtIconAdd{child, w && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                       w && w->tree ? w->tree->rowCount() : -1};
    });
    zulM w(store.path());

    QCOMPARE(Module1::tpicon.added, 1);
    QVERIFY(Module1::tpicon.shown);
    const auto icon = std::find_if(watch.seen.begin(), watch.seen.end(), [](const AtIconAdd& a) {
      return a.icon == Module1::tpicon.shown;
    });
    QVERIFY(icon != watch.seen.end());
    QVERIFY(icon->topmost);
    QCOMPARE(icon->typeNodes, 2);
    QCOMPARE(Module1::tpicon.window, &w);
    QCOMPARE(Module1::tpicon.shown->toolTip(), "KelvarnV15.1.4");
    QVERIFY(!w.isVisible());  // becoming topmost must not show it early: main does
  }

  // Closing ends the run even while the editor is up (the last-window rule would not).
  void closeRemovesIconAndEnds() {
    TempStore store;
    BoxRecorder boxes;
    auto w = std::make_unique<zulM>(store.path());
    w->show();
    w->editor().showEditor();
    QVERIFY(w->editor().isVisible());

    QTimer::singleShot(0, w.get(), &QWidget::close);
    QTimer hangGuard;
    hangGuard.callOnTimeout([] { QCoreApplication::exit(99); });
    hangGuard.start(30000);
    QCOMPARE(QCoreApplication::exec(), 0);

    QCOMPARE(Module1::tpicon.added, 1);
    QCOMPARE(Module1::tpicon.removed, 1);
    QVERIFY(!Module1::tpicon.shown);
    QVERIFY(boxes.shown.isEmpty());
    const auto before = store.rows();
    w.reset();  // what main does next
    QCOMPARE(Module1::tpicon.removed, 1);
    QCOMPARE(store.rows().size(), before.size());
  }

  // No store beside the program: nothing shown, no icon, no file, then the error report.
  void missingStore() {
    QTemporaryDir dir;
    const QString path = dir.filePath("zuld.mdb");
    BoxRecorder boxes;
    EndRecorder ends;

    try {
      zulM w(path);
      QFAIL("the window loaded without a store");
    } catch (const store::StoreError& error) {
      QVERIFY(!mainWindow());
      QCOMPARE(Module1::tpicon.added, 0);
      QVERIFY(!QFile::exists(path));
      Module1::reportFatal(error);  // as main does
    }

    QCOMPARE(boxes.shown.size(), 1);
    const Module1::BoxRequest& box = boxes.shown[0].box;
    QCOMPARE(box.caption, "Kelvarn");
    QCOMPARE(box.buttons, Module1::Buttons::Ok);
    QVERIFY2(box.text.startsWith("实时错误 '3024':\n\n"), qPrintable(box.text));
    QVERIFY2(box.text.contains(path), qPrintable(box.text));
    QCOMPARE(ends.exitCodes, QList<int>{1});
    QVERIFY(QDir(dir.path()).isEmpty());
  }

  // A store error inside a handler: the event dispatch reports it, removes the icon and ends.
  void storeErrorInHandler() {
    TempStore store;
    store.addRow("A", "工作");
    zulM w(store.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.tvwXs->expandAll();
    w.selectNode("c1");
    const QRect node = w.tvwXs->visualRect(w.tvwXs->currentIndex());
    store.exec("DROP TABLE 账号集合");
    BoxRecorder boxes;
    EndRecorder ends;

    QTest::mouseClick(w.tvwXs->viewport(), Qt::LeftButton, {}, node.center());
    QTest::mouseDClick(w.tvwXs->viewport(), Qt::LeftButton, {}, node.center());

    QCOMPARE(boxes.shown.size(), 1);
    const Module1::BoxRequest& box = boxes.shown[0].box;
    QCOMPARE(box.caption, "Kelvarn");
    QVERIFY2(box.text.startsWith("实时错误 '"), qPrintable(box.text));
    QVERIFY2(box.text.contains(store.path()), qPrintable(box.text));
    QVERIFY(boxes.shown[0].visibleWindows.contains("zulM"));  // the report hides nothing
    QCOMPARE(Module1::tpicon.removed, 1);
    QVERIFY(!Module1::tpicon.shown);
    QCOMPARE(ends.exitCodes, QList<int>{1});
  }

  // The report shows the description as it is, even when it looks like a placeholder.
  void reportText() {
    BoxRecorder boxes;
    EndRecorder ends;
    Module1::reportFatal(store::StoreError(3021, "没有当前记录。%1 %2"));
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].box.text, "实时错误 '3021':\n\n没有当前记录。%1 %2");
    QCOMPARE(ends.exitCodes, QList<int>{1});
  }
};

int main(int argc, char** argv) {
  Module1::Application app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  ZulMTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
