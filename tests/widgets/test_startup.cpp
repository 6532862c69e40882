// Start-up, shutdown and the standard error report, under the program's own application.
#include <QFile>

#include "Application.h"
#include "StoreError.h"
#include "WidgetTest.h"

using namespace testsupport;

namespace {

zulM* mainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* m = qobject_cast<zulM*>(w)) return m;
  return nullptr;
}

// The icon is a child of the application: `look` describes the moment each child is added.
class ChildWatch : public QObject {
 public:
  explicit ChildWatch(std::function<QString()> look) : look_(std::move(look)) {
    qApp->installEventFilter(this);
  }
  QHash<QObject*, QString> seen;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == qApp && event->type() == QEvent::ChildAdded)
      seen[static_cast<QChildEvent*>(event)->child()] = look_();
    return false;
  }

 private:
  std::function<QString()> look_;
};

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
    ChildWatch watch([] {
      const zulM* w = mainWindow();
      if (!w || !w->tree) return QString();
      return QString(w->windowFlags() & Qt::WindowStaysOnTopHint ? "topmost" : "not topmost") +
             QString(", %1 types").arg(w->tree->rowCount());
    });
    zulM w(store.path());

    QCOMPARE(Module1::tpicon.added, 1);
    QVERIFY(Module1::tpicon.shown);
    QCOMPARE(watch.seen.value(Module1::tpicon.shown), "topmost, 2 types");
    QCOMPARE(Module1::tpicon.window, &w);
    QVERIFY(!Module1::tpicon.icon.isNull());
    QCOMPARE(Module1::tpicon.shown->toolTip(), "KelvarnV15.1.4");
    QVERIFY(!w.isVisible());  // becoming topmost must not show it early: main does
  }

  // Closing ends the run even while the editor is up (the last-window rule would not), and
  // writes nothing.
  void closeRemovesIconAndEnds() {
    TempStore store;
    BoxRecorder boxes;
    auto w = std::make_unique<zulM>(store.path());
    w->show();
    w->editor().showEditor();
    QTimer::singleShot(0, w.get(), &QWidget::close);
    QTimer::singleShot(30000, w.get(),
                       [] { QCoreApplication::exit(99); });  // a hang fails, not stalls
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(Module1::tpicon.removed, 1);
    QVERIFY(!Module1::tpicon.shown);
    w.reset();  // what main does next
    QCOMPARE(Module1::tpicon.added, 1);
    QCOMPARE(Module1::tpicon.removed, 1);
    QVERIFY(boxes.seen.isEmpty());
    QVERIFY(store.rows().empty());
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
      Module1::reportFatal(error);  // as main does
    }
    QCOMPARE(boxes.seen.size(), 1);
    QVERIFY2(boxes.seen[0].startsWith("Kelvarn|实时错误 '3024':\n\n"), qPrintable(boxes.seen[0]));
    QVERIFY2(boxes.seen[0].contains(path) && boxes.seen[0].endsWith("|确定"),
             qPrintable(boxes.seen[0]));
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
    const QPoint node = w.tvwXs->visualRect(w.tvwXs->currentIndex()).center();
    store.exec("DROP TABLE 账号集合");
    BoxRecorder boxes;
    EndRecorder ends;

    QTest::mouseClick(w.tvwXs->viewport(), Qt::LeftButton, {}, node);
    QTest::mouseDClick(w.tvwXs->viewport(), Qt::LeftButton, {}, node);

    QCOMPARE(boxes.seen.size(), 1);
    QVERIFY2(boxes.seen[0].startsWith("Kelvarn|实时错误 '"), qPrintable(boxes.seen[0]));
    // The report hides nothing.
    QVERIFY2(boxes.seen[0].contains(store.path()) && boxes.seen[0].endsWith("|确定|shown: zulM"),
             qPrintable(boxes.seen[0]));
    QCOMPARE(ends.exitCodes, QList<int>{1});
    QCOMPARE(Module1::tpicon.removed, 1);
    QVERIFY(!Module1::tpicon.shown);
  }

  // The report shows the description as it is, even when it looks like a placeholder.
  void reportText() {
    BoxRecorder boxes;
    EndRecorder ends;
    Module1::reportFatal(store::StoreError(3021, "没有当前记录。%1 %2"));
    QCOMPARE(boxes.seen, QStringList{"Kelvarn|实时错误 '3021':\n\n没有当前记录。%1 %2|确定"});
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
