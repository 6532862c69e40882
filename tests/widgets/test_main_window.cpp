// Layouts, message boxes, start-up and shutdown, the tick, the tray and a protected store.
#include <sodium.h>
#include <sys/wait.h>

#include "Application.h"
#include "ErrorReport.h"
#include "Passphrase.h"
#include "WidgetTest.h"

using namespace testsupport;

namespace {

QString status(const QString& clock) {
  return "本程序由Brondel工作室-站长倾情开发★现在是：" + clock + "   感谢使用(^_^)";
}

// The key the store's key table derives from `passphrase`, masked so that this process holds no
// copy of it: derived by a child of its own.
QByteArray maskedDerivedKey(const TempStore& s, const char* passphrase, const QByteArray& mask) {
  const QStringList table =
      s.sql("SELECT hex(盐)||'|'||运算次数||'|'||内存 FROM 账号密钥")[0].split('|');
  const QByteArray salt = QByteArray::fromHex(table[0].toLatin1());
  int out[2];
  if (pipe(out) != 0) return {};
  if (fork() == 0) {
    unsigned char key[32];
    crypto_pwhash(key, sizeof key, passphrase, strlen(passphrase),
                  reinterpret_cast<const unsigned char*>(salt.data()), table[1].toULongLong(),
                  table[2].toULongLong(), crypto_pwhash_ALG_ARGON2ID13);
    for (int i = 0; i < 32; ++i) key[i] ^= mask[i];
    _exit(write(out[1], key, sizeof key) != sizeof key);
  }
  QByteArray masked(32, '\0');
  const bool read = ::read(out[0], masked.data(), 32) == 32 && wait(nullptr) > 0;
  ::close(out[0]), ::close(out[1]);
  return read ? masked : QByteArray();
}

}  // namespace

// zulM befriends this class: the tick is called directly, as its timer calls it.
class ZulMTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { Module1::tpicon = {}; }

  void layouts() {
    Main m;
    QCOMPARE(describe(&m.w),
             QStringList({"cmdTp QPushButton 148,274 95x23 隐藏到托盘 #00c000",
                          "StatusBar1 QStatusBar 0,294 499x21 #efefef 0",
                          "cmdSc QPushButton 148,62 95x31 删除当前记录 #ff8080",
                          "cmdHelp QPushButton 148,94 95x31 用户手册 #c0ffc0",
                          "cmdAbout QPushButton 148,125 95x31 关于 #c0ffff",
                          "cmdXg QPushButton 148,31 95x31 修改当前记录 #ffc080",
                          "cmdTj QPushButton 148,0 95x31 添加记录 #8080ff",
                          "txtXs QPlainTextEdit 244,0 255x296 微软雅黑 10.5 #ffcccf read-only "
                          "0220 #000080",
                          "tvwXs QTreeView 0,0 148x295 微软雅黑 9 #ffffff 10",
                          "labSjxs QLabel 148,156 95x118 #ffff80 124"}));
    // Between the columns, the gap above cmdHelp, the status bar over cmdTp.
    const QImage image = m.w.grab().toImage();
    QCOMPARE(image.pixelColor(243, 150).name() + image.pixelColor(200, 93).name() +
                 image.pixelColor(195, 296).name(),
             "#e0e0e0#e0e0e0#efefef");
    QCOMPARE(tabOrder(m.c<QTreeView>("tvwXs")),
             "tvwXs txtXs cmdTj cmdXg cmdAbout cmdHelp cmdSc cmdTp");
    QCOMPARE(m.w.focusWidget(), m.c<QTreeView>("tvwXs"));
    QCOMPARE(m.w.windowFlags(), Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                    Qt::WindowStaysOnTopHint);
    QCOMPARE(QList<QSize>({m.w.minimumSize(), m.w.maximumSize()}), QList<QSize>(2, {499, 315}));
    QVERIFY(m.w.windowIcon().availableSizes().contains(QSize(128, 128)));
    QCOMPARE(m.w.findChild<QTimer*>("Timer1")->interval(), 100);
    m.open();
    zulTjXg* e = m.editor();
    QCOMPARE(describe(e),
             QStringList({"txtMc QLineEdit 0,144 106x22 #ffffff",
                          "txtNr QPlainTextEdit 108,0 302x166 微软雅黑 10.5 #ffffff "
                          "editable 2221 #000080",
                          "cmbLx QComboBox 0,100 109x20 #ffffff",
                          "cmdXg QPushButton 0,50 109x25 修  改 #ffc080",
                          "cmdFh QPushButton 0,0 109x25 返  回 #c0ffc0",
                          "cmdTj QPushButton 0,25 109x25 添  加 #8080ff",
                          "Label2 QLabel 0,124 106x19 宋体 10.5 #efefef 输入账号名称：024",
                          "Label1 QLabel 0,82 109x17 宋体 10.5 #efefef 输入账号类型：024"}));
    QCOMPARE(tabOrder(m.e("cmdFh")), "cmdFh cmdTj cmdXg cmbLx txtMc txtNr");
    QCOMPARE(e->windowTitle(), "Form1");
    QCOMPARE(e->windowFlags(), Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    QCOMPARE(QList<QSize>({e->minimumSize(), e->maximumSize()}), QList<QSize>(2, {410, 168}));
    QCOMPARE(m.e<QLineEdit>("txtMc")->maxLength(), std::numeric_limits<int>::max());
  }

  // Chinese buttons, no icon, on top, plain text, the window hidden meanwhile; Escape is 否.
  void realBoxes() {
    QWidget window;
    window.show();
    QStringList seen;
    const auto answer = [&](Qt::Key key) {
      QTimer::singleShot(0, [&, key] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QStringList texts;
        for (QAbstractButton* b : box->buttons())
          texts << b->text() + (b->icon().isNull() ? "" : "+icon");
        texts.sort();
        seen << QString("%1|%2|%3|%4|")
                        .arg(box->windowTitle(), box->text(), texts.join(','),
                             box->defaultButton()->text()) +
                    QString::number(box->icon() + 2 * window.isVisible() + 4 * box->textFormat()) +
                    (box->windowFlags() & Qt::WindowStaysOnTopHint ? " on top" : "");
        QTest::keyClick(box, key);
      });
    };
    answer(Qt::Key_Return);
    QCOMPARE(Module1::inform(&window, "<b>a</b>\n二"), Module1::vbOK);
    answer(Qt::Key_Escape);
    QCOMPARE(Module1::ask(&window, "问"), Module1::vbNo);
    QCOMPARE(seen, QStringList(
                       {"Kelvarn|<b>a</b>\n二|确定|确定|0 on top", "提示：|问|否,是|是|0 on top"}));
    QVERIFY(window.isVisible());
  }

  // The icon from the start; closing ends the run even with the editor up, removes the icon
  // and writes nothing.
  void startAndClose() {
    auto m = std::make_unique<Main>(QStringList{"A|工作", "B|生活"});
    QCOMPARE(Module1::tpicon.shown->toolTip(), "KelvarnV15.1.4");
    QVERIFY(!Module1::tpicon.icon.isNull() && !m->w.isVisible());  // main shows it
    QFile file(m->s.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    m->w.show();
    m->open();
    QTimer::singleShot(0, m->editor(), [&] { m->w.close(); });
    QTimer::singleShot(30000, &m->w, [] { QCoreApplication::exit(99); });  // a hang fails
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!Module1::tpicon.shown && m->boxes.isEmpty());
    m.reset();
    QCOMPARE(QList<int>({Module1::tpicon.added, Module1::tpicon.removed}), QList<int>({1, 1}));
    QVERIFY(file.seek(0));
    QCOMPARE(file.readAll(), before);
  }

  // No store, or a store error in a handler: the report, no icon, the end.
  void errorReports() {
    QTemporaryDir dir;
    Seams seams;
    try {
      zulM w(dir.filePath("zuld.mdb"));
    } catch (const store::StoreError& error) {
      QCOMPARE(Module1::tpicon.added, 0);
      Module1::reportFatal(error);  // as main does
    }
    QCOMPARE(seams.take(), QStringList{"Kelvarn|实时错误 '3024':\n\n找不到数据库文件“" +
                                       dir.filePath("zuld.mdb") + "”。|确定"});
    QVERIFY(QDir(dir.path()).isEmpty());
    QCOMPARE(seams.ends, QList<int>{1});

    Main m({"A|工作"});
    m.w.show();
    m.s.sql("DROP TABLE 账号集合");
    m.doubleClick("c1");
    QCOMPARE(m.take(), QStringList{"Kelvarn|实时错误 '1':\n\n数据库文件“" + m.s.path() +
                                   "”出错：no such table: 账号集合|确定|shown: zulM"});
    QVERIFY(!Module1::tpicon.shown);
    QCOMPARE(m.ends, QList<int>{1});
  }

  // Seven CR LF lines, null times empty, nothing without a view; the clock zero-padded,
  // 24-hour, ASCII whatever the locale.
  void summaryAndClock() {
    Main m({"A|工作|内容|" + kTime + "|2015/02/01 19:23:30", "N|工作|x|∅|∅"});
    auto* label = m.c<QLabel>("labSjxs");
    auto* bar = m.c<QStatusBar>("StatusBar1");
    m.doubleClick("c1");
    m.w.Timer1_Timer();
    QCOMPARE(label->text(), "当前账号：\r\nA\r\n\r\n创建时间：\r\n" + kTime +
                                "\r\n最后修改：\r\n2015/02/01 19:23:30");
    QCOMPARE(m.w.windowTitle(), "KelvarnV15.1.4");
    QCOMPARE(bar->currentMessage(), status("2015年01月31日 19时23分30秒"));
    m.doubleClick("c2");
    m.w.Timer1_Timer();
    QCOMPARE(label->text(), "当前账号：\r\nN\r\n\r\n创建时间：\r\n\r\n最后修改：\r\n");
    m.doubleClick("y1");
    m.w.setWindowTitle("stale");
    QLocale::setDefault(QLocale("ar_EG"));
    m.clock.push_back({QDate(2015, 3, 5), QTime(7, 4, 9)});
    m.w.Timer1_Timer();
    QLocale::setDefault(QLocale::c());
    QCOMPARE(label->text() + m.w.windowTitle(), "KelvarnV15.1.4");
    QCOMPARE(bar->currentMessage(), status("2015年03月05日 07时04分09秒"));

    m.clock.push_back(m.clock.front().addSecs(10));
    m.w.hide();  // the timer goes on while the window is hidden
    QTRY_COMPARE(bar->currentMessage(), status("2015年03月05日 07时04分19秒"));
  }

  // Back from the tray on a left or double click only, or when the tray goes away; without a
  // tray, minimised.
  void tray() {
    Main m;
    Module1::setTrayAvailable(true);
    using Click = std::pair<QSystemTrayIcon::ActivationReason, bool>;  // and whether it restores
    for (const auto& [reason, restores] :
         {Click{QSystemTrayIcon::Context, false}, Click{QSystemTrayIcon::DoubleClick, true}}) {
      m.w.showMinimized();
      m.c("cmdTp")->click();
      Module1::tpicon.callback(reason);
      QCOMPARE(m.w.isVisible() && !m.w.isMinimized(), restores);
    }
    QVERIFY(m.w.windowFlags() & Qt::WindowStaysOnTopHint);
    m.c("cmdTp")->click();
    Module1::setTrayAvailable(false);
    QTRY_VERIFY(m.w.isVisible() && !m.w.isMinimized());
    m.c("cmdTp")->click();
    QVERIFY(m.w.isVisible() && m.w.isMinimized());
    Module1::setTrayAvailable(std::nullopt);
  }

  // Asked until right, the passphrase opens the store for both windows, every content sealed
  // in the file; 取消 ends the run with nothing written.
  void protectedStore() {
    Qt::CursorShape deriving = Qt::ArrowCursor;  // the windows stay served meanwhile
    QTimer::singleShot(0, [&] { deriving = QApplication::overrideCursor()->shape(); });
    Main m({"A|工作|旧内容"}, {"", QString(1025, 'x'), "错的", "secret"});
    QCOMPARE(m.take(),
             QStringList({"Kelvarn|密码不能为空。|确定",
                          "Kelvarn|密码太长：最多 1024 个字节（一个汉字占 3 个字节）。|确定",
                          "Kelvarn|密码不正确，请重新输入。|确定"}));
    QCOMPARE(deriving, Qt::WaitCursor);
    const QByteArray mask = QByteArray::fromStdString(std::string(32, '\x5a'));
    const QByteArray key = maskedDerivedKey(m.s, "secret", mask);  // nothing of it left behind
    QVERIFY(key.size() == 32 && !inOwnMemory(key, mask));
    m.open("c1");
    m.fill("工作", "A", "NEW-CONTENT-71c2");
    m.e("cmdXg")->click();
    m.e("cmdFh")->click();
    m.open();
    m.fill("TYPE-c09e", "NAME-c09e", "ADDED-CONTENT-c09e");
    m.e("cmdTj")->click();
    m.e("cmdFh")->click();
    QCOMPARE(m.tree(), "y1:工作[c1:A] y2:TYPE-c09e[c2:NAME-c09e]");
    m.doubleClick("c2");
    m.w.Timer1_Timer();
    QCOMPARE(m.view() + m.c<QLabel>("labSjxs")->text(),
             "ADDED-CONTENT-c09e当前账号：\r\nNAME-c09e\r\n\r\n创建时间：\r\n2015/01/31 "
             "19:23:30\r\n最后修改：\r\n2015/01/31 19:23:30");
    m.doubleClick("c1");
    QCOMPARE(m.view(), "NEW-CONTENT-71c2");
    m.c<QPlainTextEdit>("txtXs")->selectAll();  // a copy is marked secret and soon forgotten
    QTest::keyClick(m.c<QPlainTextEdit>("txtXs"), Qt::Key_C, Qt::ControlModifier);
    QClipboard* clipboard = QApplication::clipboard();
    QCOMPARE(clipboard->mimeData()->data("x-kde-passwordManagerHint"), "secret");
    auto* forget = qApp->findChild<QTimer*>("clipboardForget");
    QCOMPARE(forget->interval(), 30000);
    forget->start(0);
    QTRY_VERIFY(clipboard->text().isEmpty());
    m.doubleClick("c1"), m.c("cmdSc")->click();  // the tree follows this program's writes
    QCOMPARE(m.tree(), "y1:TYPE-c09e[c1:NAME-c09e]");
    const QByteArray files = folderBytes(m.s.dir());  // nothing of any account readable
    QVERIFY(!files.contains("c09e") && !files.contains("71c2") && !files.contains("旧内容") &&
            !files.contains("工作") && !files.contains("2015/"));

    Seams cancelled;
    zulM w(m.s.path());
    QCOMPARE(cancelled.ends, QList<int>{0});
    QCOMPARE(folderBytes(m.s.dir()), files);
  }

  // A content moved to another account, or a store protected meanwhile: the report, nothing
  // shown or written.
  void protectedStoreGuarded() {
    Main m({"A|工作|甲的", "B|工作|乙的"}, {"secret"});
    m.s.sql("UPDATE 账号集合 SET 账号内容 = (SELECT 账号内容 FROM 账号集合 WHERE rowid = 2)");
    const QByteArray files = folderBytes(m.s.dir());
    m.doubleClick("c1");
    QCOMPARE(m.take(), QStringList{"Kelvarn|实时错误 '3049':\n\n数据库文件“" + m.s.path() +
                                   "”中账号“A”的内容无法解密：文件可能被改动过或已损坏。|确定"});
    QCOMPARE(m.view() + QString::number(m.ends.size()), "1");
    QCOMPARE(folderBytes(m.s.dir()), files);

    Main plain({"A|工作|PLAIN-before-7d1e"});
    plain.open("c1");
    plain.fill("工作", "A", "PLAIN-after-7d1e");
    // Protected by another program while the question waited: asked for its passphrase, the
    // change goes into the store as it is now.
    plain.passphrases = {"secret"};
    plain.whileBoxShown = [&] { plain.s.protect("secret"), plain.whileBoxShown = nullptr; };
    QTest::mouseClick(plain.e("cmdXg"), Qt::LeftButton);
    QCOMPARE(plain.take(), QStringList{"提示：|确定修改该条信息？|是*,否"});
    plain.e("cmdFh")->click();
    plain.doubleClick("c1");
    QCOMPARE(plain.view() + QString::number(plain.ends.size()), "PLAIN-after-7d1e0");
    QVERIFY(!folderBytes(plain.s.dir()).contains("PLAIN"));
  }

  // The passphrase window hides what is typed; Escape cancels.
  void passphraseWindow() {
    QTimer::singleShot(0, [] {
      QWidget* window = QApplication::activeModalWidget();
      QCOMPARE(window->findChild<QLineEdit*>()->echoMode(), QLineEdit::Password);
      QTest::keyClick(window, Qt::Key_Escape);
    });
    QVERIFY(!Module1::askPassphrase([](const store::Secret&) { return true; }));
  }
};

int main(int argc, char** argv) {
  Module1::Application app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  ZulMTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
