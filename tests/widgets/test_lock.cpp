// Locking a protected store: Ctrl+L and LockTriggers lock it, nothing of an account stays in the
// widgets, the key goes, the passphrase brings the windows back as they were.
#include "LockTriggers.h"
#include "Settings.h"
#include "WidgetTest.h"

using namespace testsupport;

namespace {

const QStringList kMarkers = {"NAME-", "TYPE-", "CONTENT-", "TYPED-", "08:05:09"};

// Every text the widgets hold (their own, their lists', their models'), and "<undo>" for a box
// that keeps text to undo.
QString widgetTexts() {
  QStringList out;
  std::function<void(const QAbstractItemModel*, const QModelIndex&)> walk = [&](auto* m, auto at) {
    for (int r = 0; r < m->rowCount(at); ++r)
      for (int c = 0; c < m->columnCount(at); ++c)
        out << m->index(r, c, at).data().toString(), walk(m, m->index(r, c, at));
  };
  for (QWidget* w : QApplication::allWidgets()) {
    out << w->windowTitle() << w->toolTip();
    if (auto* label = qobject_cast<QLabel*>(w)) out << label->text();
    if (auto* line = qobject_cast<QLineEdit*>(w))
      out << line->text() << (line->isUndoAvailable() ? "<undo>" : "");
    if (auto* box = qobject_cast<QPlainTextEdit*>(w))
      out << box->toPlainText() << (box->document()->isUndoAvailable() ? "<undo>" : "");
    if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model())
      walk(view->model(), {});
    if (auto* combo = qobject_cast<QComboBox*>(w)) walk(combo->model(), {});
  }
  return out.join('\n');
}

bool nothingShown(const QString& texts = widgetTexts()) {
  for (const QString& marker : kMarkers + QStringList{"<undo>"})
    if (texts.contains(marker)) return qWarning() << marker << "in" << texts, false;
  return true;
}

}  // namespace

class ZulMTest : public QObject {
  Q_OBJECT

  static store::Connection& cn(zulM& w) { return w.cn; }

 private slots:
  void init() {
    Module1::tpicon = {};
    Module1::setTrayAvailable(true);
  }

  // Ctrl+L with an account shown, the find window open and a copy on the clipboard; 取消 keeps
  // it locked; the passphrase brings it back, reading the file there now and its minutes.
  void ctrlL() {
    Main m({"NAME-a1|TYPE-a1|CONTENT-a1", "NAME-b2|TYPE-a1|CONTENT-b2"}, {"secret"});
    m.w.show();
    m.doubleClick("c2");
    QApplication::setActiveWindow(&m.w);
    QTest::keyClick(&m.w, Qt::Key_F, Qt::ControlModifier);
    QWidget* find = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->objectName() == "zulCz") find = top;
    QTest::keyClicks(find->findChild<QLineEdit*>("txtCz"), "NAME");
    QTRY_VERIFY(widgetTexts().count("NAME-") > 2);  // the tree's and the list's
    m.c<QPlainTextEdit>("txtXs")->selectAll();
    QTest::keyClick(m.c<QPlainTextEdit>("txtXs"), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), "CONTENT-b2");
    const QByteArray mask(32, '\x3c');
    QByteArray key(32, '\0');  // masked: this test keeps no copy of it
    for (int i = 0; i < 32; ++i) key[i] = char(cn(m.w).vault().key().data()[i] ^ mask[i]);
    QVERIFY(inOwnMemory(key, mask));

    QApplication::setActiveWindow(&m.w);
    QTest::keyClick(&m.w, Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(m.state(), "SXT");  // no window shown
    QVERIFY(nothingShown() && QApplication::clipboard()->text().isEmpty());
    QVERIFY(cn(m.w).locked() && !inOwnMemory(key, mask));
    Module1::tpicon.callback(QSystemTrayIcon::Trigger);  // 取消
    QVERIFY(m.state() == "SXT" && cn(m.w).locked());

    store::Connection other;  // the minutes changed meanwhile, in a table made for them
    other.Open(m.s.path().toStdString());
    store::setLockMinutes(other, 3);
    m.passphrases = {"wrong", "secret"};
    Module1::tpicon.callback(QSystemTrayIcon::DoubleClick);
    QCOMPARE(m.take(), QStringList({"Kelvarn|密码不正确，请重新输入。|确定"}));
    QCOMPARE(m.state() + ' ' + m.view(), "SXT zulM CONTENT-b2");
    QCOMPARE(m.w.selectedNode()->key + m.tree(), "c2y1:TYPE-a1[c1:NAME-a1,c2:NAME-b2]");
    QVERIFY(m.c<QTreeView>("tvwXs")->isExpanded(m.c<QTreeView>("tvwXs")->model()->index(0, 0)));

    // The store's 3 idle minutes lock it while a question waits in the editor: answered 否,
    // nothing written, what was typed back after unlocking.
    m.open("c1");
    m.fill("TYPE-a1", "NAME-a1", "TYPED-c1");
    const QStringList rows = m.s.rows();
    auto* triggers = m.w.findChild<Module1::LockTriggers*>();
    m.whileBoxShown = [&] {
      m.clock.push_back(m.clock.back().addSecs(179));
      triggers->checkIdle();
      QVERIFY(!cn(m.w).locked());
      m.clock.push_back(m.clock.back().addSecs(1));
      triggers->checkIdle();
    };
    m.answers = {Module1::vbYes};
    m.e("cmdXg")->click();
    QCOMPARE(m.take(), QStringList({"提示：|确定修改该条信息？|是*,否"}));
    QTRY_VERIFY(cn(m.w).locked());
    QVERIFY(m.state() == "SXT" && nothingShown() && m.s.rows() == rows);
    m.whileBoxShown = nullptr;
    m.passphrases = {"secret"};
    Module1::tpicon.callback(QSystemTrayIcon::Trigger);
    QCOMPARE(m.state(), "SXT zulTjXg");  // the editor alone, as before
    QCOMPARE(m.editorBoxes(), QStringList({"TYPE-a1", "TYPE-a1", "NAME-a1", "TYPED-c1"}));
    m.e("cmdXg")->click();
    m.e("cmdFh")->click();
    m.doubleClick("c1");
    QCOMPARE(m.view(), "TYPED-c1");
  }

  // A plain store: Ctrl+L does nothing, and no trigger is made.
  void plainStore() {
    Main m({"NAME-p|TYPE-p|CONTENT-p"});
    m.w.show();
    m.doubleClick("c1");
    QApplication::setActiveWindow(&m.w);
    QTest::keyClick(&m.w, Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(m.state() + ' ' + m.view(), "SXT zulM CONTENT-p");
    QVERIFY(!m.w.findChild<Module1::LockTriggers*>());
  }
};

QTEST_MAIN(ZulMTest)
#include "test_lock.moc"
