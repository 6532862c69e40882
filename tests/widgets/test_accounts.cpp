// The accounts through the windows: tree, record view, deleting, adding and modifying.
#include "WidgetTest.h"

using namespace testsupport;

namespace {

const QString kAskAdd = "提示：|确定添加该条信息？|是*,否";
const QString kAskModify = "提示：|确定修改该条信息？|是*,否";
const QString kAskDelete = "提示：|确定要删除这个账号？|是*,否";
const QString kUnchanged = "Kelvarn|若不需修改请点击返回！|确定";
const QString kNoDelete = "Kelvarn|请选择要【删除】的账号！|确定";
const QString kTimes = '|' + kTime + '|' + kTime;

}  // namespace

class AccountsTest : public QObject {
  Q_OBJECT

 private slots:
  // An empty or null type gets no node but keeps its place in the keys.
  void nodes() {
    const std::tuple<QStringList, QString, QString> cases[] = {
        // accounts, tree, types offered
        {{"A|工作", "B|生活", "C|工作"}, "y1:工作[c1:A,c3:C] y2:生活[c2:B]", "工作,生活,"},
        {{"a|mail", "b|Mail", "c|mail ", "d|mail"},
         "y1:mail[c1:a,c4:d] y2:Mail[c2:b] y3:mail [c3:c]",
         "mail,Mail,mail ,"},
        {{"A|", "B", "C|工作", "D|", "E|生活", "F|工作"},
         "y1:工作[c3:C,c6:F] y2:生活[c5:E]",
         "工作,生活,"},
        {{"A|", "B"}, "", ""}};
    for (const auto& [accounts, tree, types] : cases) {
      Main m(accounts);
      QCOMPARE(m.tree() + m.state(), tree + "SXT");
      m.open();
      QCOMPARE(m.editorBoxes().join(','), types + ",,");
    }
  }

  // The tree, the buttons and the offered types follow the rows through rebuilds (by 返回).
  void rebuildsFollowTheTable() {
    Main m;
    QCOMPARE(m.tree() + m.state(), "T");
    const auto rebuild = [&] {  // what the editor offers, then the tree after 返回
      m.open();
      const QString offered = m.editorBoxes().join(',');
      m.e("cmdFh")->click();
      return offered + ' ' + m.tree() + m.state();
    };
    m.s.add({"A|工作"});
    QCOMPARE(rebuild(), ",, y1:工作[c1:A]SXT zulM");
    m.s.sql("DELETE FROM 账号集合");
    QCOMPARE(rebuild(), "工作,,, T zulM");
    m.s.add({"B|生活"});
    QCOMPARE(rebuild(), ",, y1:生活[c1:B]SXT zulM");  // not the types of an earlier table
    m.s.sql(
        "WITH RECURSIVE n(i) AS (SELECT 2 UNION SELECT i + 1 FROM n LIMIT 39999) "
        "INSERT INTO 账号集合(账号名称,账号类型,账号内容,创建时间,最后修改) SELECT i, 't', 'x' || "
        "i, '', '' FROM n");
    rebuild();  // more rows than a 16-bit count holds: the last one has its node and shows
    m.doubleClick("c40000");
    QCOMPARE(m.view(), "x40000");
  }

  // Its own row's content, CR LF as plain lines; the right button shows a message, Ctrl alone
  // copies plain lines or empties the clipboard.
  void recordView() {
    Main m({"A|工作|第一行\r\n第二行\r\n\r\n第四行", "A|工作|第二个"});
    m.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m.w));
    auto* box = m.c<QPlainTextEdit>("txtXs");
    m.doubleClick("c2");
    QCOMPARE(m.view(), "第二个");
    m.doubleClick("y1");
    QCOMPARE(m.view(), "");
    m.doubleClick("c1");
    QCOMPARE(m.view() + QString::number(box->document()->blockCount()),
             "第一行\n第二行\n\n第四行4");
    m.s.sql("DELETE FROM 账号集合 WHERE rowid = 2");
    m.doubleClick("c2");
    QCOMPARE(m.view(), "第一行\n第二行\n\n第四行");

    QTextCursor selection = box->textCursor();
    selection.setPosition(1);
    selection.setPosition(2, QTextCursor::KeepAnchor);
    box->setTextCursor(selection);
    QTest::mouseClick(box->viewport(), Qt::RightButton, {}, {200, 200});
    QCOMPARE(m.take(), QStringList{"Kelvarn|右键已被禁止,复制请用Ctrl+C|确定"});
    QVERIFY(m.w.isVisible() && !QApplication::activePopupWidget());
    QCOMPARE(box->textCursor().selectedText(), "一");
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, {200, 200});
    QVERIFY(m.boxes.isEmpty());

    box->selectAll();
    QClipboard* clipboard = QApplication::clipboard();
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::ControlModifier | Qt::ShiftModifier, Qt::KeyboardModifiers(Qt::ControlModifier)}) {
      clipboard->setText("旧");
      QTest::keyClick(box, Qt::Key_C, modifiers);
      QCOMPARE(clipboard->text(), modifiers == Qt::ControlModifier ? m.view() : "旧");
    }
    QVERIFY(!clipboard->mimeData()->hasHtml() && clipboard->mimeData()->formats().size() == 1);
    box->moveCursor(QTextCursor::End);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(clipboard->text().isEmpty());
  }

  // The selected node's row goes, or nothing and the user is told; either way the tree is
  // rebuilt (B, added meanwhile, shows) and the view emptied.
  void deleting() {
    const QString all = "A工作 O'Brien工作 O'Brien生活 O''Brien工作 工作其他 B其他 ";
    // Shown, selected ("-": none), yes, then the accounts left and the boxes shown.
    const std::tuple<const char*, const char*, bool, QString> cases[] = {
        {"c2", "c2", false, all + kAskDelete},
        {"c4", "c3", true, QString(all).remove("O'Brien生活 ") + kAskDelete},
        {"c1", "y1", true, all + kAskDelete + kNoDelete},
        {"c1", "-", true, all + kAskDelete + kNoDelete},
        {"c1", "c1", true,
         QString(all).remove("A工作 ") + kAskDelete +
             "Kelvarn|该账号已不存在（可能已被删除），未作删除。|确定"}};
    for (const auto& [shown, selected, yes, left] : cases) {
      Main m({"A|工作", "O'Brien|工作", "O'Brien|生活", "O''Brien|工作", "工作|其他"});
      m.doubleClick(shown);
      if (selected == QString("-"))
        m.c<QTreeView>("tvwXs")->selectionModel()->clear();
      else
        m.w.selectNode(selected);
      if (!left.startsWith("A")) m.s.sql("DELETE FROM 账号集合 WHERE 账号名称 = 'A'");
      m.s.add({"B|其他"});
      m.answers = {yes ? Module1::vbYes : Module1::vbNo};
      m.c("cmdSc")->click();
      QCOMPARE(
          m.s.sql("SELECT 账号名称 || 账号类型 FROM 账号集合").join(' ') + ' ' + m.boxes.join(""),
          left);
      QVERIFY(m.tree().endsWith(QString(",c%1:B]").arg(m.s.names().count(' ') + 1)));
      QCOMPARE(m.view(), "");
    }
  }

  // Nothing shown: the message, no rebuild. The last account takes the buttons along.
  void deletingEdges() {
    Main m({"A|工作"});
    m.s.add({"B|生活"});
    m.c("cmdSc")->click();
    QCOMPARE(m.take().join("") + m.tree(), kNoDelete + "y1:工作[c1:A]");
    m.s.sql("DELETE FROM 账号集合 WHERE 账号名称 = 'B'");
    m.doubleClick("c1");
    m.c("cmdSc")->click();
    QCOMPARE(m.take().join("") + m.s.names() + m.tree() + m.state() + m.view(),
             kAskDelete + "T zulM");
  }

  // Each opening sets list, boxes, mode and focus afresh; one editor loads once (a second load
  // would fail on the moved store); a close request returns like 返回.
  void openingsAndReturns() {
    Main m({"A|工作|第一行\r\n第二行"});
    m.c("cmdXg")->click();  // nothing shown
    QCOMPARE(m.take(), QStringList{"Kelvarn|请选择要【修改】的账号！|确定"});
    QCOMPARE(m.state() + (m.editor() ? " editor" : ""), "SXT zulM");
    const auto opened = [&] {
      return (m.editorBoxes() << (m.e("cmdTj")->isEnabled() ? "Tj" : "")
                              << (m.e("cmdXg")->isEnabled() ? "Xg" : "")
                              << m.editor()->focusWidget()->objectName() << m.state())
          .join(',');
    };
    m.open();
    QCOMPARE(opened(), "工作,,,,Tj,,cmbLx,SXT zulTjXg");
    m.fill("未保存", "x", "y");
    m.e("cmdFh")->click();
    m.s.add({"B|生活"});
    const zulTjXg* first = m.editor();
    QVERIFY(QFile::rename(m.s.path(), m.s.path() + ".moved"));
    m.open("c1");
    QCOMPARE(opened(), "工作,工作,A,第一行\n第二行,,Xg,txtNr,SXT zulTjXg");
    QVERIFY(!m.editor()->close());
    QVERIFY(QFile::rename(m.s.path() + ".moved", m.s.path()));
    QCOMPARE(m.state() + m.view() + m.tree(), "SXT zulMy1:工作[c1:A] y2:生活[c2:B]");
    m.open();
    QCOMPARE(opened(), "工作,生活,,,,Tj,,cmbLx,SXT zulTjXg");
    QVERIFY(m.editor() == first && m.boxes.isEmpty());
  }

  void incompleteInputWritesNothing() {
    for (const QString account : {"", "c1"}) {
      Main m({"A|工作"});
      m.open(account);
      for (int missing = 0; missing < 3; ++missing) {
        QStringList input = {"工作", "A", "x"};
        input[missing].clear();
        m.fill(input[0], input[1], input[2]);
        m.e(account.isEmpty() ? "cmdTj" : "cmdXg")->click();
        QCOMPARE(m.editorBoxes(), QStringList{"工作"} + input);
      }
      QCOMPARE(m.boxes, QStringList(3, account.isEmpty()
                                           ? "Kelvarn|请输入完整信息！|确定"
                                           : "Kelvarn|【账号类型、名称、内容】都不能为空！|确定"));
      QCOMPARE(m.s.rows(), QStringList{"A|工作|内容" + kTimes});
    }
  }

  // Texts as typed, two clock readings across midnight; either answer empties the boxes and
  // lists the type once.
  void adding() {
    Main m;
    m.open();
    m.clock = {QDateTime(QDate(2015, 1, 31), QTime(23, 59, 59)),
               QDateTime(QDate(2015, 1, 31), QTime(23, 59, 59)),
               QDateTime(QDate(2015, 2, 1), QTime(0, 0, 0))};
    m.fill("  ", "O'Brien \"x\"", "第一行\n  第二行\n");
    m.e("cmdTj")->click();
    QCOMPARE(m.s.rows(), QStringList{"O'Brien \"x\"|  |第一行\n  第二行\n|2015/01/31 23:59:59|"
                                     "2015/02/01 00:00:00"});
    for (const char* type : {"Mail", "Mail", "mail", "Ma", "  "}) {
      m.answers = {Module1::vbNo};
      m.fill(type, "名", "内容");
      m.e("cmdTj")->click();
    }
    QCOMPARE(m.take(), QStringList(6, kAskAdd));  // success is not announced
    QCOMPARE(m.s.rows().size(), 1);
    QCOMPARE(m.editorBoxes(), QStringList({"  ", "Mail", "mail", "Ma", "", "", ""}));
    QCOMPARE(m.state() + QString::number(m.e("cmdTj")->isEnabled()), "T zulTjXg1");
  }

  // Only real changes, to the account shown (not the node clicked since, nor a same-named one),
  // also after a rename; 创建时间 kept, CR LF kept, 否 writes nothing.
  void modifying() {
    Main m({"Mail|Web|a\r\nb", "Mail|Web|第二个", "Y|Web"});
    m.doubleClick("c2");
    m.w.selectNode("c3");
    m.c("cmdXg")->click();
    QCOMPARE(m.editorBoxes(), QStringList({"Web", "Web", "Mail", "第二个"}));
    m.clock = {QDateTime(QDate(2016, 3, 5), QTime(7, 4, 9))};
    m.e("cmdXg")->click();  // as shown
    for (const QStringList& input : {QStringList{"Web", "mail", "第二个"},
                                     {"web", "mail", "第二个"},
                                     {"web", "O'Neil", "改过"}}) {
      m.fill(input[0], input[1], input[2]);
      m.e("cmdXg")->click();
      QCOMPARE(m.s.rows()[1],
               input[1] + '|' + input[0] + '|' + input[2] + '|' + kTime + "|2016/03/05 07:04:09");
    }
    m.e("cmdXg")->click();
    m.answers = {Module1::vbNo};
    m.fill("生活", "B", "新");
    m.e("cmdXg")->click();
    QCOMPARE(m.take(),
             QStringList({kUnchanged, kAskModify, kAskModify, kAskModify, kUnchanged, kAskModify}));
    QCOMPARE(m.editorBoxes(), QStringList({"Web", "生活", "B", "新"}));
    m.e("cmdFh")->click();
    QCOMPARE(m.s.rows()[0] + m.s.rows()[2], "Mail|Web|a\r\nb" + kTimes + "Y|Web|内容" + kTimes);
    QCOMPARE(m.tree(), "y1:Web[c1:Mail,c3:Y] y2:web[c2:O'Neil]");
    m.open("c1");
    m.e("cmdXg")->click();  // CR LF shown as plain lines: unchanged
    m.e<QComboBox>("cmbLx")->setEditText("web");
    m.e("cmdXg")->click();  // the content keeps its CR LF
    QCOMPARE(m.take(), QStringList({kUnchanged, kAskModify}));
    QCOMPARE(m.s.rows()[0], "Mail|web|a\r\nb|" + kTime + "|2016/03/05 07:04:09");
  }

  // Deleted elsewhere before the lookup or during the question: told, nothing written.
  void aVanishedAccountIsReportedNotWritten() {
    for (const bool duringQuestion : {false, true}) {
      Main m({"A|工作", "A|工作|另一个"});
      m.open("c1");
      m.fill("工作", "A", "新");
      const auto removeFirst = [&] { m.s.sql("DELETE FROM 账号集合 WHERE rowid = 1"); };
      if (duringQuestion)
        m.whileBoxShown = removeFirst;
      else
        removeFirst();
      m.e("cmdXg")->click();
      const QString gone = "Kelvarn|该账号已不存在（可能已被删除），未作修改。|确定";
      QCOMPARE(m.boxes, duringQuestion ? QStringList({kAskModify, gone}) : QStringList{gone});
      QCOMPARE(m.s.rows(), QStringList{"A|工作|另一个" + kTimes});
      QCOMPARE(m.state(), "SXT zulTjXg");
    }
  }

  // Another file renamed over the store while the windows are open, as sync clients do: the
  // tree follows it keeping the account shown, an add goes into it, a modify of an account it
  // does not hold is told and writes nothing, the texts staying in the editor.
  void followsAFileRenamedOverIt() {
    Main m({"A|工作|甲", "B|工作|乙"});
    m.w.show();
    m.doubleClick("c1");
    const auto renameOver = [&](const QStringList& accounts) {
      TempStore other;
      other.add(accounts);
      QCOMPARE(::rename(other.path().toUtf8(), m.s.path().toUtf8()), 0);
    };
    renameOver({"A|工作|甲", "C|生活|丙"});
    QTRY_COMPARE(m.tree(), "y1:工作[c1:A] y2:生活[c2:C]");
    QCOMPARE(m.view(), "甲");
    m.open();
    m.fill("生活", "D", "丁");
    m.e("cmdTj")->click();
    m.e("cmdFh")->click();
    QCOMPARE(m.tree() + m.s.names(), "y1:工作[c1:A] y2:生活[c2:C,c3:D]A C D");
    m.open("c1");
    m.fill("工作", "A", "新");
    m.whileBoxShown = [&] { renameOver({"X|工作"}), m.whileBoxShown = nullptr; };
    m.e("cmdXg")->click();
    QCOMPARE(m.take(), QStringList({kAskAdd, kAskModify,
                                    "Kelvarn|该账号已不存在（可能已被删除），未作修改。|确定"}));
    QCOMPARE(m.s.names() + m.editorBoxes().join(','), "X工作,工作,A,新");
  }

  // Syncthing removes the old file a moment before it renames the new one into place: the
  // window waits for it, nothing reported.
  void followsAFileRemovedAndPutBack() {
    Main m({"A|工作"});
    m.w.show();
    QSignalSpy changed(m.w.findChild<QFileSystemWatcher*>(), &QFileSystemWatcher::directoryChanged);
    QCoreApplication::processEvents();  // the changes of its own start
    changed.clear();
    QVERIFY(QFile::remove(m.s.path()));
    QTRY_VERIFY(!changed.isEmpty());
    TempStore other;
    other.add({"B|生活"});
    QCOMPARE(::rename(other.path().toUtf8(), m.s.path().toUtf8()), 0);
    QTRY_COMPARE(m.tree(), "y1:生活[c1:B]");
    QCOMPARE(m.boxes.size() + m.ends.size(), 0);
  }

  // Ctrl+S in the content box runs the enabled action and still reaches the box.
  void ctrlSInTheContentBox() {
    Main m({"A|工作|旧"});
    m.answers = {Module1::vbNo, Module1::vbNo};
    m.open();
    m.fill("生活", "B", "内容");
    auto* content = m.e<QPlainTextEdit>("txtNr");
    QTest::keyClick(content, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(content, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(m.e<QLineEdit>("txtMc"), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(m.e<QComboBox>("cmbLx"), Qt::Key_S, Qt::ControlModifier);
    const QString typed = Module1::boxText(content);
    QTest::keyClick(content, Qt::Key_S);
    QCOMPARE(Module1::boxText(content) + m.boxes.join(""), "s" + typed);
    QTest::keyClick(content, Qt::Key_S, Qt::ControlModifier);
    m.e("cmdFh")->click();
    m.open("c1");
    content->setPlainText("新");
    QTest::keyClick(content, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m.take(), QStringList({kAskAdd, kAskModify}));
    QCOMPARE(m.s.names(), "A");  // both answered 否
  }
};

QTEST_MAIN(AccountsTest)
#include "test_accounts.moc"
