// kelvarn-bench-tree: times the main window's tree rebuild and double-click lookup on a
// generated store, and the original per-type rebuild beside it. Prints "NAME VALUE UNIT".
//   kelvarn-bench-tree rebuild STORE NAME    an account modified, then sxnode + an, tree shown;
//   median of 5 kelvarn-bench-tree lookup STORE NAME     double-click on random accounts; median of
//   200 kelvarn-bench-tree literal STORE NAME    the original rebuild, once kelvarn-bench-tree find
//   STORE SIZE       Ctrl+F, then three queries typed key by key kelvarn-bench-tree expand STORE
//   NAME     a type node expanded, its accounts shown; median of 21 kelvarn-bench-tree lock
//   STORE NAME       a protected store locked with an account shown and the find window used
// A protected store is opened with $KELVARN_BENCH_PASSPHRASE.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <vector>

#include "AccountTree.h"
#include "Controls.h"
#include "Passphrase.h"
#include "Statements.h"
#include "literal_sxnode.h"
#include "zulCz.h"
#include "zulM.h"

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double timeMs(const std::function<void()>& work) {
  QElapsedTimer clock;
  clock.start();
  work();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double peakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void print(const QString& name, double value, const char* unit) {
  std::printf("%s %.1f %s\n", name.toUtf8().constData(), value, unit);
}

double residentMb() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(getpagesize()) / (1024.0 * 1024.0);
}

void showWindow(QWidget& w) {
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) qFatal("the window was not exposed");
}

}  // namespace

// Reaches the window's routines the way its handlers call them.
class ZulMTest {
 public:
  // As after the editor returns: one account modified through the program's own connection.
  static double rebuildMs(zulM& w, int run) {
    store::Recordset rs;
    rs.Open(store::findByName(w.tree->text(w.tree->index(0, 0, w.tree->index(0, 0))).toStdString()),
            w.cn);
    rs.SetField(store::kContent, "rebuild " + std::to_string(run));
    rs.Update();
    rs.Close();
    return timeMs([&w] {
      w.sxnode();
      w.an();
      w.tvwXs->viewport()->repaint();
    });
  }

  // A random account's node selected, then the double-click handler and the view's repaint.
  static double lookupMs(zulM& w, std::uint64_t& seed) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const QModelIndex type = w.tree->index(static_cast<int>((seed >> 33) % w.tree->rowCount()), 0);
    const QModelIndex account =
        w.tree->index(static_cast<int>((seed >> 13) % w.tree->rowCount(type)), 0, type);
    w.selectNode(w.tree->key(account));
    const double ms = timeMs([&w] {
      w.tvwXs_DblClick();
      w.txtXs->viewport()->repaint();
    });
    if (w.shownRowId != w.tree->rowId(account) || Module1::boxText(w.txtXs).isEmpty())
      qFatal("the lookup did not show the account");
    return ms;
  }

  // The type node `type` expanded and its first accounts painted; collapsed again afterwards.
  static double expandMs(zulM& w, int type) {
    const QModelIndex node = w.tree->index(type, 0);
    w.tvwXs->scrollTo(node, QAbstractItemView::PositionAtTop);
    w.tvwXs->viewport()->repaint();
    const double ms = timeMs([&] {
      w.tvwXs->expand(node);
      w.tvwXs->viewport()->repaint();
    });
    if (w.tree->rowCount(node) < 500) qFatal("a type of too few accounts");
    w.tvwXs->collapse(node);
    return ms;
  }

  // Ctrl+L with an account shown and the find window's index built, to its return: then nothing
  // read from the store is left in the windows or in memory, and the key is forgotten.
  static double lockMs(zulM& w, std::uint64_t& seed) {
    lookupMs(w, seed);
    w.mnuCz_Click();
    auto* box = w.findWindow->findChild<QLineEdit*>("txtCz");
    QSignalSpy shown(w.findWindow->findChild<QTreeView*>("lvwJg")->model(),
                     &QAbstractItemModel::modelReset);
    QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QStringLiteral("y"), {});
    if (!shown.wait(10000)) qFatal("no rows found");
    const double ms = timeMs([&w] { w.lockStore(); });
    if (!w.cn.locked() || w.tree->rowCount() != 0) qFatal("not locked");
    return ms;
  }

  static int accountNodes(const zulM& w) {
    int count = 0;
    for (int t = 0; t < w.tree->rowCount(); ++t) count += w.tree->rowCount(w.tree->index(t, 0));
    return count;
  }
  static QStringList arrLx(const zulM& w) { return w.arrLx; }
  static store::Connection& cn(zulM& w) { return w.cn; }
};

namespace {

// The find window as a user meets it: the first and a later Ctrl+F to the window shown, then
// each keystroke of three queries to the count and the first rows shown; the memory it adds.
void benchFind(zulM& w, const QString& size) {
  const double before = residentMb();
  QWidget* find = nullptr;
  const auto ctrlF = [&] {
    QApplication::setActiveWindow(&w);
    return timeMs([&] {
      QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("zulCz")) find = top;
      if (!find || !QTest::qWaitForWindowExposed(find)) qFatal("no find window");
      find->repaint();
    });
  };
  print("find_open_" + size + "_ms", ctrlF(), "ms");
  auto* box = find->findChild<QLineEdit*>("txtCz");
  auto* list = find->findChild<QTreeView*>("lvwJg");
  std::vector<double> keystrokes;
  double memory = residentMb() - before;
  for (const QString query : {"y", "yxg", "邮箱工作"}) {
    box->clear();
    QSignalSpy shown(list->model(), &QAbstractItemModel::modelReset);
    for (const QChar key : query) {
      shown.clear();
      keystrokes.push_back(timeMs([&] {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(key), {});
        if (shown.isEmpty() && !shown.wait(10000)) qFatal("no rows shown");
        find->repaint();
      }));
      memory = std::max(memory, residentMb() - before);
    }
    if (list->model()->rowCount() == 0) qFatal("nothing found");
  }
  find->close();
  print("find_reopen_" + size + "_ms", ctrlF(), "ms");
  print("find_keystroke_" + size + "_ms", median(keystrokes), "ms");
  print("find_keystroke_" + size + "_max_ms",
        *std::max_element(keystrokes.begin(), keystrokes.end()), "ms");
  print("find_memory_" + size + "_mb", memory, "MB");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Module1::registerFontSubstitutes();
  const QStringList args = app.arguments();
  if (args.size() != 4)
    qFatal("usage: kelvarn-bench-tree rebuild|lookup|find|expand|lock|literal STORE NAME");
  const QString& mode = args[1];
  const QString& name = args[3];

  // A protected store is opened with the passphrase the benchmark gave it.
  const QString passphrase = qEnvironmentVariable("KELVARN_BENCH_PASSPHRASE");
  if (!passphrase.isEmpty())
    Module1::setPassphraseScript([&] { return std::optional<QString>(passphrase); });
  zulM w(args[2]);
  showWindow(w);
  if (mode == QLatin1String("rebuild")) {
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) runs.push_back(ZulMTest::rebuildMs(w, i));
    print(name, median(runs), "ms");
    print(name.section('_', 0, -2) + QStringLiteral("_rss_mb"), peakRssMb(), "MB");
  } else if (mode == QLatin1String("lookup")) {
    std::uint64_t seed = 20150131;
    std::vector<double> runs;
    for (int i = 0; i < 200; ++i) runs.push_back(ZulMTest::lookupMs(w, seed));
    print(name, median(runs), "ms");
    print(name.section('_', 0, -2) + QStringLiteral("_max_ms"),
          *std::max_element(runs.begin(), runs.end()), "ms");
  } else if (mode == QLatin1String("find")) {
    benchFind(w, name);
  } else if (mode == QLatin1String("lock")) {
    std::uint64_t seed = 20150131;
    print(name, ZulMTest::lockMs(w, seed), "ms");
  } else if (mode == QLatin1String("expand")) {
    std::vector<double> runs;
    for (int type = 0; type < 21; ++type) runs.push_back(ZulMTest::expandMs(w, type * 37));
    print(name, median(runs), "ms");
  } else if (mode == QLatin1String("literal")) {
    QTreeWidget tvwXs;
    tvwXs.setHeaderHidden(true);
    showWindow(tvwXs);
    QStringList types;
    const double ms = timeMs([&] {
      types = literalSxnode(ZulMTest::cn(w), tvwXs);
      tvwXs.viewport()->repaint();
    });
    // Both ways must give the same tree for the comparison to mean anything.
    int accounts = 0;
    for (int t = 0; t < tvwXs.topLevelItemCount(); ++t)
      accounts += tvwXs.topLevelItem(t)->childCount();
    if (types != ZulMTest::arrLx(w) || accounts != ZulMTest::accountNodes(w))
      qFatal("the original rebuild gave another tree");
    print(name, ms, "ms");
  } else {
    qFatal("unknown mode");
  }
  return 0;
}
