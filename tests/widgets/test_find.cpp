// The find window: what a query finds, choosing an account, Escape, and keeping up with the tree.
#include "WidgetTest.h"

using namespace testsupport;

namespace {

// Ctrl+F in the main window, then `typed` in the box.
QWidget* find(Main& m, const QString& typed) {
  m.w.show();  // a window's shortcuts work while it is shown
  QApplication::setActiveWindow(&m.w);
  QTest::keyClick(m.c<QTreeView>("tvwXs"), Qt::Key_F, Qt::ControlModifier);
  QWidget* window = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == "zulCz") window = top;
  window->findChild<QLineEdit*>("txtCz")->setText(typed);
  return window;
}

// "name|type,... count line"
QString found(QWidget* find) {
  const QAbstractItemModel* rows = find->findChild<QTreeView*>("lvwJg")->model();
  QStringList out;
  for (int r = 0; r < rows->rowCount(); ++r)
    out << rows->index(r, 0).data().toString() + '|' + rows->index(r, 1).data().toString();
  return out.join(',') + ' ' + find->findChild<QLabel*>("labJg")->text();
}

}  // namespace

class FindTest : public QObject {
  Q_OBJECT

 private slots:
  void matching() {
    Main m({"招商银行|网银", "中国银行|网银", "绿色QQ|聊天", "ＡＢＣ１２邮箱|Mail", "重庆bank|网银",
            "行长|工作", "50%_off|购物", "a.*[b|其他"});
    const QString one = " 找到 1 个账号", none = " 找到 0 个账号";
    const std::pair<QString, QString> cases[] = {
        {"zsyh", "招商银行|网银" + one},       // initials
        {"zhaoshang", "招商银行|网银" + one},  // whole syllables
        {"zhaosyh", "招商银行|网银" + one},    // both
        {"zhaosh", "招商银行|网银" + one},     // a syllable being typed
        {"yhzs", none},
        {"ＡＢＣ", "ＡＢＣ１２邮箱|Mail" + one},  // width
        {"abc12", "ＡＢＣ１２邮箱|Mail" + one},   // case and width
        {"MAIL", "ＡＢＣ１２邮箱|Mail" + one},    // the type
        {"xingzhang", "行长|工作" + one},         // polyphones
        {"chongqing", "重庆bank|网银" + one},
        {"cqBANK", "重庆bank|网银" + one},                                // mixed
        {"lvsqq", "绿色QQ|聊天" + one},                                   // ü typed v
        {"hang", "行长|工作,招商银行|网银,中国银行|网银 找到 3 个账号"},  // beginning first
        {"zs  yh", "招商银行|网银" + one},                                // all parts
        {"yh zg", "中国银行|网银" + one},
        {"wy cq", "重庆bank|网银" + one},  // one part in the type
        {"zs gz", none},
        {"%", "50%_off|购物" + one},  // plain text, never a pattern
        {"_", "50%_off|购物" + one},
        {".*[", "a.*[b|其他" + one},
        {"😀", none},
        {QString(QChar(0)), none},
        {QString(10000, 'a'), none},
        {"", " "}};
    for (const auto& [typed, expected] : cases) {
      QWidget* window = find(m, typed);
      QTRY_COMPARE(found(window), expected);
    }
    QVERIFY(m.boxes.isEmpty());
    auto* tree = m.c<QTreeView>("tvwXs");
    QTest::keyClick(tree, Qt::Key_M);  // the tree's own typing search
    QCOMPARE(m.w.selectedNode()->text, "Mail");
  }

  // A protected store shows what a plain one with the same accounts shows: the tree, each
  // account by double-click (a name twice included), what the find window finds.
  void protectedShowsTheSame() {
    const QStringList accounts = {"招商银行|网银|甲", "行长|工作|乙", "招商银行|网银|丙",
                                  "无类型||丁", "中国银行|网银|戊"};
    const QString tree = "y1:网银[c1:招商银行,c3:招商银行,c5:中国银行] y2:工作[c2:行长]";
    const std::pair<QString, QString> finds[] = {
        {"zsyh", "招商银行|网银,招商银行|网银 找到 2 个账号"},
        {"hang", "行长|工作,招商银行|网银,招商银行|网银,中国银行|网银 找到 4 个账号"},
        {"gz", "行长|工作 找到 1 个账号"}};
    for (const QStringList& passphrase : {QStringList(), QStringList("secret")}) {
      Main m(accounts, passphrase);
      QCOMPARE(m.tree(), tree);
      QString views;
      for (const char* key : {"c1", "c2", "c3", "c5"}) m.doubleClick(key), views += m.view();
      QCOMPARE(views, "甲乙丙戊");
      for (const auto& [typed, expected] : finds) QTRY_COMPARE(found(find(m, typed)), expected);
    }
  }

  void countingAll() {
    Main many(QStringList(1200, "x|t"));
    QWidget* window = find(many, "X");
    QTRY_VERIFY(found(window).endsWith(" 找到 1200 个账号"));
    QCOMPARE(found(window).count("x|t"), 1000);
  }

  // Enter, Down and Enter, or a double-click on a row show what a double-click on the
  // account's node shows; Escape changes nothing.
  void choosing() {
    Main m({"A|工作|一", "A|生活|二", "A|工作|三", "B|工作|四"});
    m.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m.w));  // for what the tree shows
    auto* tree = m.c<QTreeView>("tvwXs");
    const auto shown = [&] {
      const QModelIndex node = tree->currentIndex();
      const bool inView = tree->viewport()->rect().contains(tree->visualRect(node).center());
      return QStringList({m.view(), m.w.selectedNode()->key, m.state(),
                          QString::number(tree->isExpanded(node.parent()) && inView)})
          .join(' ');
    };
    const QString expected[] = {"一 c1 SXT zulM 1", "三 c3 SXT zulM 1", "二 c2 SXT zulM 1"};
    for (int row = 0; row < 3; ++row) {
      m.doubleClick("c4");
      tree->collapseAll();
      QWidget* window = find(m, "a");
      auto* list = window->findChild<QTreeView*>("lvwJg");
      QTRY_COMPARE(found(window), "A|工作,A|工作,A|生活 找到 3 个账号");
      if (row < 2) {
        for (int down = 0; down < row; ++down)
          QTest::keyClick(window->findChild<QLineEdit*>("txtCz"), Qt::Key_Down);
        QTest::keyClick(window->findChild<QLineEdit*>("txtCz"), Qt::Key_Return);
      } else {
        const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
      }
      const QString chosen = shown();
      QCOMPARE(chosen, expected[row]);
      m.doubleClick("c4");
      tree->collapseAll();
      m.doubleClick(chosen.section(' ', 1, 1));
      QCOMPARE(shown(), chosen);
    }
    const QString before = shown();
    QWidget* window = find(m, "b");
    QTRY_COMPARE(found(window), "B|工作 找到 1 个账号");
    QTest::keyClick(window->findChild<QLineEdit*>("txtCz"), Qt::Key_Escape);
    QCOMPARE(shown(), before);
    // Enter typed before the search is done takes its first row when it is.
    QTest::keyClick(find(m, "gz b")->findChild<QLineEdit*>("txtCz"), Qt::Key_Return);
    QTRY_COMPARE(shown(), "四 c4 SXT zulM 1");
  }

  // The editor closes the window; what it changed is found at the next Ctrl+F, and a window
  // left open searches the tree that a deletion rebuilt.
  void keptCurrent() {
    Main m({"A|工作", "B|工作"});
    QTRY_COMPARE(found(find(m, "b")), "B|工作 找到 1 个账号");
    m.open();
    QCOMPARE(m.state(), "SXT zulTjXg");
    m.s.add({"B|生活"});
    m.e("cmdFh")->click();
    QWidget* window = find(m, "b");
    QTRY_COMPARE(found(window), "B|工作,B|生活 找到 2 个账号");
    m.doubleClick("c3");
    m.c("cmdSc")->click();
    QTRY_COMPARE(found(window), "B|工作 找到 1 个账号");
    m.c("cmdTp")->click();  // hiding the main window hides it too
    QVERIFY(!window->isVisible());
  }
};

QTEST_MAIN(FindTest)
#include "test_find.moc"
