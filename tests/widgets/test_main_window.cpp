// Both windows' layouts, real message boxes, start-up and shutdown with the error report,
// the 100 ms tick, the tray icon and the web links, under the program's own application.
#include <QAbstractButton>
#include <QMessageBox>
#include <QProxyStyle>

#include "Application.h"
#include "WidgetTest.h"
#include "version.h"

using namespace testsupport;

namespace {

QString status(const QString& clock) {
  return "本程序由Brondel工作室-站长倾情开发★现在是：" + clock + "   感谢使用(^_^)";
}

// A desktop style that puts pictures on standard buttons, as the one under X11 does.
struct ButtonIconStyle : QProxyStyle {
  int styleHint(StyleHint hint, const QStyleOption* o, const QWidget* w,
                QStyleHintReturn* r) const override {
    return hint == SH_DialogButtonBox_ButtonsHaveIcons ? 1 : QProxyStyle::styleHint(hint, o, w, r);
  }
};

// Describes, with `look`, the moment each child is added to the application.
struct Watch : QObject {
  std::function<QString()> look;
  QHash<QObject*, QString> born;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == qApp && event->type() == QEvent::ChildAdded)
      born[static_cast<QChildEvent*>(event)->child()] = look();
    return false;
  }
};

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
    QCOMPARE(colours(&m.w, {{243, 150}, {200, 93}, {195, 296}}), "#e0e0e0 #e0e0e0 #efefef");
    QCOMPARE(tabOrder(m.c<QTreeView>("tvwXs")),
             "tvwXs txtXs cmdTj cmdXg cmdAbout cmdHelp cmdSc cmdTp");
    QCOMPARE(m.w.focusWidget(), m.c<QTreeView>("tvwXs"));
    QCOMPARE(m.w.windowFlags(), Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                    Qt::WindowStaysOnTopHint);
    QCOMPARE(m.w.minimumSize(), m.w.maximumSize());
    QCOMPARE(m.w.size(), QSize(499, 315));
    QVERIFY(m.w.windowIcon().availableSizes().contains(QSize(128, 128)));
    QCOMPARE(m.w.findChild<QTimer*>("Timer1")->interval(), 100);
    QVERIFY(QFontInfo(m.c<QTreeView>("tvwXs")->font()).family().contains("WenQuanYi"));
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
    QCOMPARE(e->minimumSize(), e->maximumSize());
    QCOMPARE(e->size(), QSize(410, 168));
    QCOMPARE(m.e<QLineEdit>("txtMc")->maxLength(), std::numeric_limits<int>::max());
  }

  // Chinese buttons, no icon, on top, plain text, the default as asked; the window hidden
  // while the box is open and shown again afterwards; Escape answers 否 to a question.
  void realBoxes() {
    QApplication::setStyle(new ButtonIconStyle);
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
        seen << QStringList{box->windowTitle(),
                            box->text(),
                            texts.join(','),
                            box->defaultButton()->text(),
                            QString::number(box->icon()),
                            QString::number(box->windowFlags() & Qt::WindowStaysOnTopHint),
                            QString::number(window.isVisible())}
                    .join('|');
        QTest::keyClick(box, key);
      });
    };
    answer(Qt::Key_Return);
    QCOMPARE(Module1::inform(&window, "<b>a</b>\n二"), Module1::vbOK);
    answer(Qt::Key_Escape);
    QCOMPARE(Module1::ask(&window, "问"), Module1::vbNo);
    QCOMPARE(seen, QStringList({"Kelvarn|<b>a</b>\n二|确定|确定|0|262144|0",
                                "提示：|问|否,是|是|0|262144|0"}));
    QVERIFY(window.isVisible());
  }

  // Open, tree, topmost, then the icon: at the icon's birth the rest is already done. Closing
  // ends the run even while the editor is up, removes the icon and writes nothing.
  void startAndClose() {
    Watch watch;
    watch.look = [] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<zulM*>(top))
          return QString("%1 types, %2")
              .arg(w->findChild<QTreeView*>()->model()->rowCount())
              .arg(w->windowFlags() & Qt::WindowStaysOnTopHint ? "topmost" : "not topmost");
      return QString();
    };
    qApp->installEventFilter(&watch);
    auto m = std::make_unique<Main>(QStringList{"A|工作", "B|生活"});
    qApp->removeEventFilter(&watch);
    QCOMPARE(watch.born.value(Module1::tpicon.shown), "2 types, topmost");
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

  // No store: no icon, no file, then the report. A store error inside a handler: the event
  // dispatch reports it, removes the icon and ends. The report shows the text as it is.
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
    Module1::reportFatal(store::StoreError(3021, "没有当前记录。%1"));
    QCOMPARE(m.take(),
             QStringList({"Kelvarn|实时错误 '1':\n\n数据库文件“" + m.s.path() +
                              "”出错：no such table: 账号集合|确定|shown: zulM",
                          "Kelvarn|实时错误 '3021':\n\n没有当前记录。%1|确定|shown: zulM"}));
    QVERIFY(!Module1::tpicon.shown);
    QCOMPARE(m.ends, QList<int>({1, 1}));
  }

  // The seven lines with CR LF, drawn exactly as plain line breaks; null times give empty
  // lines; an empty view an empty label, while caption and status still refresh: zero-padded,
  // 24-hour, ASCII digits whatever the locale.
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
    const QImage drawn = label->grab().toImage();
    label->setText(label->text().replace("\r\n", "\n"));
    QCOMPARE(label->grab().toImage(), drawn);
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

  // Hidden to the tray, the window comes back, at normal size and topmost, on a left or
  // double click only; the icon stays. Without a notification area it is minimised instead.
  void tray() {
    Main m;
    Module1::setTrayAvailable(true);
    using Click = std::pair<QSystemTrayIcon::ActivationReason, bool>;  // and whether it restores
    for (const auto& [reason, restores] :
         {Click{QSystemTrayIcon::Context, false}, Click{QSystemTrayIcon::MiddleClick, false},
          Click{QSystemTrayIcon::Trigger, true}, Click{QSystemTrayIcon::DoubleClick, true}}) {
      m.w.showMinimized();
      m.c("cmdTp")->click();
      Module1::tpicon.callback(reason);
      QCOMPARE(m.w.isVisible() && !m.w.isMinimized(), restores);
    }
    QVERIFY(m.w.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(QList<int>({Module1::tpicon.added, Module1::tpicon.removed}), QList<int>({1, 0}));
    Module1::setTrayAvailable(false);
    m.w.showNormal();
    m.c("cmdTp")->click();
    QVERIFY(m.w.isVisible() && m.w.isMinimized());
    Module1::setTrayAvailable(std::nullopt);
  }

  void links() {
    Main m({"A|工作"});
    m.w.show();
    m.doubleClick("c1");
    for (const char* button : {"cmdAbout", "cmdHelp", "cmdAbout"}) m.c(button)->click();
    const QString site = "http://" + QString(version::kWebHost) + "/mypregrams/zul/";
    QCOMPARE(m.pages,
             QStringList({site + "about.html", site + "usersc.html", site + "about.html"}));
    QCOMPARE(m.boxes.join(' ') + m.state() + ' ' + m.view(), "SXT zulM 内容");
  }
};

int main(int argc, char** argv) {
  Module1::Application app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  ZulMTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
