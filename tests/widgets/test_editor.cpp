// The editor: its form, both openers, adding, modifying, lxsx, Ctrl+S and the way back.
#include <QFile>
#include <limits>

#include "WidgetTest.h"

using namespace testsupport;

// zulM befriends this class: the editor tests reach the main window through it alone.
class ZulMTest {
 public:
  static void showAccount(zulM& w, const QString& key) {
    w.selectNode(key);
    w.tvwXs_DblClick();
  }
  static void openAdd(zulM& w) { w.cmdTj_Click(); }
  static void openModify(zulM& w) { w.cmdXg_Click(); }
  static zulTjXg* editor(const zulM& w) { return w.editorWindow.get(); }
  static bool viewEmpty(const zulM& w) {
    return Module1::boxText(w.txtXs).isEmpty() && w.shownRowId == 0;
  }
  static QStringList& arrLx(zulM& w) { return w.arrLx; }
};

namespace {

const QString kCreated = "2015/01/31 08:05:09";  // TempStore's
const QString kAskAdd = "提示：|确定添加该条信息？|是*,否";
const QString kAsk = "提示：|确定修改该条信息？|是*,否";
const QString kUnchanged = "Kelvarn|若不需修改请点击返回！|确定";

QStringList listOf(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}

}  // namespace

class ZulTjXgTest : public QObject {
  Q_OBJECT

  std::optional<TempStore> store;
  std::optional<BoxRecorder> boxes;
  std::unique_ptr<zulM> w;
  zulTjXg* e = nullptr;

  // Opens the editor to add, or to modify the account of `key`; the main window is loaded
  // from the store the first time.
  void open(const QString& key = {}) {
    if (!w) w = std::make_unique<zulM>(store->path());
    if (key.isEmpty()) {
      ZulMTest::openAdd(*w);
    } else {
      ZulMTest::showAccount(*w, key);
      ZulMTest::openModify(*w);
    }
    e = ZulMTest::editor(*w);
    QVERIFY(e && e->isVisible() && !w->isVisible() && !w->isEnabled());
  }
  // Type, name and content, as typed or as shown.
  void fill(const QStringList& input) {
    e->cmbLx->setEditText(input[0]);
    e->txtMc->setText(input[1]);
    e->txtNr->setPlainText(input[2]);
  }
  QStringList inputs() const {
    return {e->cmbLx->currentText(), e->txtMc->text(), Module1::boxText(e->txtNr)};
  }

 private slots:
  void init() {
    store.emplace();
    boxes.emplace();
  }
  void cleanup() {
    w.reset();
    boxes.reset();
    store.reset();
  }

  void form() {
    open();
    QVERIFY(e->windowFlags().testFlags(Qt::Window | Qt::FramelessWindowHint |
                                       Qt::WindowStaysOnTopHint));
    QCOMPARE(e->windowTitle(), "Form1");
    QCOMPARE(e->size(), QSize(410, 168));
    QCOMPARE(e->minimumSize(), e->maximumSize());
    QCOMPARE(controlsOf(e),
             QStringList({"txtMc QLineEdit 0,144 106x22", "txtNr QPlainTextEdit 108,0 302x166",
                          "cmbLx QComboBox 0,100 109x20", "cmdXg QPushButton 0,50 109x25",
                          "cmdFh QPushButton 0,0 109x25", "cmdTj QPushButton 0,25 109x25",
                          "Label2 QLabel 0,124 106x19", "Label1 QLabel 0,82 109x17"}));
    QCOMPARE(tabOrder(e->cmdFh),
             QStringList({"cmdFh", "cmdTj", "cmdXg", "cmbLx", "txtMc", "txtNr"}));

    const QList<std::tuple<QPushButton*, QString, QColor>> buttons = {
        {e->cmdFh, "返  回", QColor(192, 255, 192)},
        {e->cmdTj, "添  加", QColor(128, 128, 255)},
        {e->cmdXg, "修  改", QColor(255, 192, 128)}};
    for (const auto& [button, caption, colour] : buttons) {
      QCOMPARE(button->text(), caption);
      QCOMPARE(button->grab().toImage().pixelColor(4, 4), colour);
    }
    QCOMPARE(e->Label1->text(), "输入账号类型：");
    QCOMPARE(e->Label2->text(), "输入账号名称：");
    for (QLabel* label : {e->Label1, e->Label2}) {
      QCOMPARE(label->font().family(), "宋体");
      QCOMPARE(label->font().pointSizeF(), 10.5);
      QVERIFY(label->alignment() & Qt::AlignHCenter);
      QVERIFY(!label->autoFillBackground());
    }
    QCOMPARE(e->txtNr->font().family(), "微软雅黑");
    QCOMPARE(e->txtNr->font().pointSizeF(), 10.5);
    QCOMPARE(e->txtNr->palette().color(QPalette::Text), QColor(0, 0, 128));
    QCOMPARE(e->txtNr->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(e->txtNr->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(e->txtNr->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(e->txtNr->tabChangesFocus());
    QCOMPARE(e->txtMc->maxLength(), std::numeric_limits<int>::max());

    // Typed text stays as typed: no completion from the list, no entry added on Enter.
    e->cmbLx->addItems({"email", "银行"});
    e->cmbLx->setCurrentIndex(-1);
    e->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(e));
    e->cmbLx->setFocus();
    QTest::keyClicks(e->cmbLx->lineEdit(), "em");
    QCOMPARE(e->cmbLx->currentText(), "em");
    QTest::keyClick(e->cmbLx->lineEdit(), Qt::Key_Return);
    QCOMPARE(listOf(e->cmbLx), QStringList({"email", "银行"}));  // unsorted, as added
  }

  // Each opening sets list, boxes, mode and focus afresh, whatever the last one left. The
  // store file is moved away after the first: a second Form_Load could not open it.
  void openings() {
    w = std::make_unique<zulM>(store->path());
    ZulMTest::openModify(*w);  // nothing shown
    QCOMPARE(boxes->seen, QStringList{"Kelvarn|请选择要【修改】的账号！|确定"});
    QVERIFY(!ZulMTest::editor(*w) && w->isVisible() && w->isEnabled());

    ZulMTest::arrLx(*w) = {"旧类型"};  // left from an earlier table: must not be offered
    open();
    QVERIFY(listOf(e->cmbLx).isEmpty());
    QCOMPARE(inputs(), QStringList(3, ""));
    QVERIFY(e->cmdTj->isEnabled() && !e->cmdXg->isEnabled());
    QCOMPARE(e->focusWidget(), e->cmbLx);
    QCOMPARE(ZulMTest::arrLx(*w), QStringList{"旧类型"});
    fill({"未保存", "x", "y"});
    store->addRow("A", "工作", "第一行\r\n第二行");
    store->addRow("B", "生活");
    e->cmdFh->click();
    const zulTjXg* const first = e;
    sqlite3* const connection = e->cn.handle();
    QVERIFY(QFile::rename(store->path(), store->path() + ".moved"));

    open("c1");
    QCOMPARE(listOf(e->cmbLx), QStringList{"工作"});
    QCOMPARE(e->cmbLx->currentIndex(), 0);
    QCOMPARE(inputs(), QStringList({"工作", "A", "第一行\n第二行"}));
    QVERIFY(e->cmdXg->isEnabled() && !e->cmdTj->isEnabled());
    QCOMPARE(e->focusWidget(), e->txtNr);
    e->cmdFh->click();

    open();
    QCOMPARE(listOf(e->cmbLx), QStringList({"工作", "生活"}));
    QCOMPARE(ZulMTest::arrLx(*w), listOf(e->cmbLx));
    QCOMPARE(inputs(), QStringList(3, ""));
    QVERIFY(e->cmdTj->isEnabled() && !e->cmdXg->isEnabled());
    QCOMPARE(e->focusWidget(), e->cmbLx);
    QCOMPARE(e, first);
    QCOMPARE(e->cn.handle(), connection);
    QVERIFY(QFile::rename(store->path() + ".moved", store->path()));
  }

  // 返回, and a window manager's close request alike, give the main window back with an
  // empty record view and a tree rebuilt from the store.
  void returnAndCloseRequestRestoreTheMainWindow() {
    store->addRow("A", "工作");
    for (const bool byCloseRequest : {false, true}) {
      open("c1");
      store->addRow("B", "生活");  // written elsewhere: only a rebuild shows it
      if (byCloseRequest)
        QVERIFY(!e->close());
      else
        e->cmdFh->click();
      QVERIFY(!e->isVisible() && w->isVisible() && w->isEnabled());
      QVERIFY(ZulMTest::viewEmpty(*w));
      QCOMPARE(w->treeNodes().size(), byCloseRequest ? 5u : 4u);
    }
  }

  void incompleteInputWritesNothing_data() {
    QTest::addColumn<QString>("account");  // to modify; none to add
    QTest::addColumn<QString>("message");
    QTest::newRow("add") << ""
                         << "请输入完整信息！";
    QTest::newRow("modify") << "c1"
                            << "【账号类型、名称、内容】都不能为空！";
  }
  void incompleteInputWritesNothing() {
    QFETCH(QString, account);
    QFETCH(QString, message);
    store->addRow("A", "工作");
    const auto before = table(*store);
    open(account);
    for (int missing = 0; missing < 3; ++missing) {
      QStringList input = {"工作", "A", "x"};
      input[missing].clear();
      fill(input);
      (account.isEmpty() ? e->cmdTj : e->cmdXg)->click();
      QCOMPARE(inputs(), input);
    }
    QCOMPARE(boxes->seen, QStringList(3, "Kelvarn|" + message + "|确定"));
    QVERIFY(e->isVisible() && !e->varLx);
    QCOMPARE(table(*store), before);
    QCOMPARE(listOf(e->cmbLx), QStringList{"工作"});
  }

  // Texts go in exactly as typed, quotes included; the two times are two clock readings,
  // here across midnight. Either answer empties the boxes and lists the type.
  void addAnswers_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
  }
  void addAnswers() {
    QFETCH(bool, yes);
    store->addRow("X", "工作");
    open();
    fill({"  ", "O'Brien \"x\"", "第一行\n  第二行\n"});
    FixedClock clock(QDateTime(QDate(2015, 1, 31), QTime(23, 59, 59)));
    clock.then(QDateTime(QDate(2015, 1, 31), QTime(23, 59, 59)));
    clock.then(QDateTime(QDate(2015, 2, 1), QTime(0, 0, 0)));
    boxes->answerNext(yes ? Module1::vbYes : Module1::vbNo);

    e->cmdTj->click();

    QCOMPARE(boxes->seen, QStringList{kAskAdd});  // success is not announced
    QList<QStringList> expected = {{"X", "工作", "内容", kCreated, kCreated}};
    if (yes)
      expected << QStringList{"O'Brien \"x\"", "  ", "第一行\n  第二行\n", "2015/01/31 23:59:59",
                              "2015/02/01 00:00:00"};
    QCOMPARE(table(*store), expected);
    QVERIFY(e->isVisible() && e->cmdTj->isEnabled());
    QCOMPARE(inputs(), QStringList(3, ""));
    QCOMPARE(listOf(e->cmbLx), QStringList({"工作", "  "}));
  }

  // Letter case alone is a change; content shown with its CR LF as plain lines is not.
  // 创建时间 stays, 最后修改 is the confirmation's time. 否 keeps the edited texts.
  void onlyRealChangesAreWritten() {
    store->addRow("Mail", "Web", "a\r\nb");
    open("c1");
    FixedClock clock(QDateTime(QDate(2016, 3, 5), QTime(7, 4, 9)));
    e->cmdXg->click();  // as shown
    QCOMPARE(boxes->seen, QStringList{kUnchanged});
    QVERIFY(e->isVisible());
    QCOMPARE(table(*store)[0][4], kCreated);
    for (const QStringList& input :
         {QStringList{"Web", "mail", "a\nb"}, {"web", "mail", "a\nb"}, {"web", "mail", "A\nb"}}) {
      fill(input);
      e->cmdXg->click();
      const QString content = input[2] == "A\nb" ? "A\nb" : "a\r\nb";
      QCOMPARE(table(*store)[0],
               QStringList({input[1], input[0], content, kCreated, "2016/03/05 07:04:09"}));
    }
    QCOMPARE(boxes->seen, QStringList({kUnchanged, kAsk, kAsk, kAsk}));

    const auto before = table(*store);
    boxes->answerNext(Module1::vbNo);
    fill({"生活", "B", "新"});
    e->cmdXg->click();
    QCOMPARE(table(*store), before);
    QCOMPARE(inputs(), QStringList({"生活", "B", "新"}));
  }

  // The change goes to the account shown: not to a node clicked since, nor to a same-named
  // account earlier in the store; a second change in the same opening finds it under its new
  // name. 返回 then shows it under its new name and type.
  void theShownAccountIsTheOneChanged() {
    store->addRow("X", "工作", "第一个");
    store->addRow("X", "工作", "第二个");
    store->addRow("Y", "工作", "第三个");
    const auto before = table(*store);
    w = std::make_unique<zulM>(store->path());
    ZulMTest::showAccount(*w, "c2");
    w->selectNode("c3");
    ZulMTest::openModify(*w);
    e = ZulMTest::editor(*w);
    QCOMPARE(inputs(), QStringList({"工作", "X", "第二个"}));
    fill({"生活", "O'Neil", "第二个"});
    e->cmdXg->click();
    fill({"生活", "O'Neil", "改过"});
    e->cmdXg->click();
    e->cmdXg->click();
    QCOMPARE(boxes->seen, QStringList({kAsk, kAsk, kUnchanged}));
    const auto rows = table(*store);
    QCOMPARE(rows[0], before[0]);
    QCOMPARE(rows[1].mid(0, 3), QStringList({"O'Neil", "生活", "改过"}));
    QCOMPARE(rows[2], before[2]);
    e->cmdFh->click();
    QCOMPARE(treeTexts(*w), QStringList({"y1:工作", "y2:生活", "c1:X", "c3:Y", "c2:O'Neil"}));
  }

  // Deleted by another instance before the lookup, or while the question is open: nothing
  // is written, the user is told, and the editor goes on.
  void aVanishedAccountIsReportedNotWritten_data() {
    QTest::addColumn<bool>("duringQuestion");
    QTest::newRow("before the lookup") << false;
    QTest::newRow("during the question") << true;
  }
  void aVanishedAccountIsReportedNotWritten() {
    QFETCH(bool, duringQuestion);
    static constexpr char kDeleteA[] = "DELETE FROM 账号集合 WHERE 账号名称='A'";
    store->addRow("A", "工作");
    store->addRow("B", "工作");
    open("c1");
    fill({"工作", "A", "新"});
    boxes->whileShown = [&] {
      if (duringQuestion)  // the editor's own connection: its open row keeps others out
        sqlite3_exec(e->cn.handle(), kDeleteA, nullptr, nullptr, nullptr);
    };
    if (!duringQuestion) store->exec(kDeleteA);

    e->cmdXg->click();

    const QString gone = "Kelvarn|" + QString(texts::kAccountGone) + "|确定";
    QCOMPARE(boxes->seen, duringQuestion ? QStringList({kAsk, gone}) : QStringList({gone}));
    QCOMPARE(names(*store), QStringList{"B"});
    QVERIFY(e->isVisible() && !e->rs);
  }

  void lxsxAppendsOnlyAnUnlistedType() {
    open();
    e->cmbLx->setEditText("正在输入");
    e->varLx = "Mail";
    e->lxsx();  // empty list
    e->lxsx();  // equal to the first entry
    QCOMPARE(listOf(e->cmbLx), QStringList{"Mail"});
    e->varLx = "mail";
    e->lxsx();  // differs in case only
    e->lxsx();  // equal to a later entry
    QCOMPARE(listOf(e->cmbLx), QStringList({"Mail", "mail"}));
    QCOMPARE(e->cmbLx->currentText(), "正在输入");
  }

  // Ctrl alone with S in the content box runs the enabled action; the key still reaches the
  // box. Other combinations, and Ctrl+S elsewhere, do nothing.
  void ctrlSInTheContentBoxRunsTheAction() {
    store->addRow("A", "工作", "旧");
    boxes->answerNext(Module1::vbNo);
    boxes->answerNext(Module1::vbNo);
    open();
    fill({"生活", "B", "内容"});
    QTest::keyClick(e->txtNr, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(e->txtNr, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    const QString typed = Module1::boxText(e->txtNr);
    QTest::keyClick(e->txtNr, Qt::Key_S);
    QCOMPARE(Module1::boxText(e->txtNr), "s" + typed);
    QTest::keyClick(e->txtMc, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(e->cmbLx, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(boxes->seen.isEmpty());

    QTest::keyClick(e->txtNr, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(boxes->seen, QStringList{kAskAdd});
    e->cmdFh->click();
    open("c1");
    e->txtNr->setPlainText("新");
    QTest::keyClick(e->txtNr, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(boxes->seen, QStringList({kAskAdd, kAsk}));
    QCOMPARE(names(*store), QStringList{"A"});  // both answered 否
  }
};

QTEST_MAIN(ZulTjXgTest)
#include "test_editor.moc"
