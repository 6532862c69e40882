// The main window as it is laid out at load, on an empty store.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "AccountTree.h"
#include "WidgetTest.h"
#include "zulM.h"

using testsupport::TempStore;

class ZulMTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { window = std::make_unique<zulM>(store.path()); }
  void cleanup() { window.reset(); }

  void geometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("kind");
    QTest::newRow("cmdTp") << "cmdTp" << QRect(148, 274, 95, 23) << "QPushButton";
    QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 294, 499, 21) << "QStatusBar";
    QTest::newRow("cmdSc") << "cmdSc" << QRect(148, 62, 95, 31) << "QPushButton";
    QTest::newRow("cmdHelp") << "cmdHelp" << QRect(148, 94, 95, 31) << "QPushButton";
    QTest::newRow("cmdAbout") << "cmdAbout" << QRect(148, 125, 95, 31) << "QPushButton";
    QTest::newRow("cmdXg") << "cmdXg" << QRect(148, 31, 95, 31) << "QPushButton";
    QTest::newRow("cmdTj") << "cmdTj" << QRect(148, 0, 95, 31) << "QPushButton";
    QTest::newRow("txtXs") << "txtXs" << QRect(244, 0, 255, 296) << "QPlainTextEdit";
    QTest::newRow("tvwXs") << "tvwXs" << QRect(0, 0, 148, 295) << "QTreeView";
    QTest::newRow("labSjxs") << "labSjxs" << QRect(148, 156, 95, 118) << "QLabel";
  }
  void geometry() {
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, kind);
    auto* control = window->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(control);
    QCOMPARE(control->metaObject()->className(), kind);
    QCOMPARE(control->geometry(), rect);
    QVERIFY(control->isVisibleTo(window.get()));
    QVERIFY(control->isEnabled() || name == "cmdSc" || name == "cmdXg");
  }

  void zOrderBackToFront() {
    QStringList order;
    for (QObject* child : window->children())
      if (child->isWidgetType()) order << child->objectName();
    QCOMPARE(order, (QStringList{"cmdTp", "StatusBar1", "cmdSc", "cmdHelp", "cmdAbout", "cmdXg",
                                 "cmdTj", "txtXs", "tvwXs", "labSjxs"}));
  }

  void frameAndStartState() {
    QCOMPARE(window->objectName(), "zulM");
    const Qt::WindowFlags flags = window->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint));
    QVERIFY(!flags.testAnyFlags(Qt::WindowMinMaxButtonsHint | Qt::FramelessWindowHint));
    QCOMPARE(window->size(), QSize(499, 315));
    QCOMPARE(window->minimumSize(), QSize(499, 315));
    QCOMPARE(window->maximumSize(), QSize(499, 315));
    QVERIFY(window->windowTitle().isEmpty());
    QVERIFY(window->windowIcon().availableSizes().contains(QSize(128, 128)));

    QCOMPARE(window->Timer1->interval(), 100);
    QVERIFY(window->Timer1->isActive());
    const QList<std::pair<QPushButton*, QString>> captions = {
        {window->cmdTj, "添加记录"},     {window->cmdXg, "修改当前记录"},
        {window->cmdSc, "删除当前记录"}, {window->cmdHelp, "用户手册"},
        {window->cmdAbout, "关于"},      {window->cmdTp, "隐藏到托盘"}};
    for (const auto& [button, caption] : captions) QCOMPARE(button->text(), caption);
    QVERIFY(window->labSjxs->text().isEmpty());
    QVERIFY(window->StatusBar1->currentMessage().isEmpty());
    QVERIFY(window->txtXs->document()->isEmpty());
    QCOMPARE(window->tree->rowCount(), 0);
  }

  void controlSettings() {
    QPlainTextEdit* box = window->txtXs;
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QCOMPARE(box->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(box->palette().color(QPalette::Text), QColor(0, 0, 128));

    QVERIFY(window->tvwXs->isHeaderHidden());
    QCOMPARE(window->tvwXs->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(window->tvwXs->model(), static_cast<QAbstractItemModel*>(window->tree));
    QVERIFY(!window->StatusBar1->isSizeGripEnabled());
    QVERIFY(window->labSjxs->wordWrap());
    QCOMPARE(window->labSjxs->alignment(), Qt::AlignHCenter | Qt::AlignTop);
  }

  // The fonts are asked for by their Windows names and resolve to a Chinese font here.
  void fonts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("points");
    QTest::newRow("txtXs") << "txtXs" << 10.5;
    QTest::newRow("tvwXs") << "tvwXs" << 9.0;
  }
  void fonts() {
    QFETCH(QString, name);
    QFETCH(double, points);
    const QFont font = window->findChild<QWidget*>(name)->font();
    QCOMPARE(font.family(), "微软雅黑");
    QCOMPARE(font.pointSizeF(), points);
    QCOMPARE(font.weight(), QFont::Normal);
    const QString shown = QFontInfo(font).family();
    QVERIFY2(shown == "WenQuanYi Micro Hei" || shown.startsWith("Noto Sans CJK"),
             qPrintable(shown));
  }

  void tabOrderAndFirstFocus() {
    QStringList order;
    QWidget* w = window->tvwXs;
    do {
      if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
      w = w->nextInFocusChain();
    } while (w != window->tvwXs);
    QCOMPARE(order, (QStringList{"tvwXs", "txtXs", "cmdTj", "cmdXg", "cmdAbout", "cmdHelp", "cmdSc",
                                 "cmdTp"}));
    QCOMPARE(window->focusWidget(), window->tvwXs);
  }

  // What the window looks like: colours, and which control is drawn where two overlap.
  void colours_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("background between the columns") << QPoint(243, 150) << QColor(224, 224, 224);
    QTest::newRow("gap above cmdHelp") << QPoint(200, 93) << QColor(224, 224, 224);
    QTest::newRow("cmdTj") << QPoint(152, 4) << QColor(128, 128, 255);
    QTest::newRow("cmdXg") << QPoint(152, 35) << QColor(255, 192, 128);
    QTest::newRow("cmdSc") << QPoint(152, 66) << QColor(255, 128, 128);
    QTest::newRow("cmdHelp") << QPoint(152, 98) << QColor(192, 255, 192);
    QTest::newRow("cmdAbout") << QPoint(152, 129) << QColor(192, 255, 255);
    QTest::newRow("cmdTp") << QPoint(152, 278) << QColor(0, 192, 0);
    QTest::newRow("labSjxs") << QPoint(150, 158) << QColor(255, 255, 128);
    QTest::newRow("labSjxs bottom") << QPoint(240, 273) << QColor(255, 255, 128);
    QTest::newRow("txtXs") << QPoint(300, 100) << QColor(255, 204, 207);
    QTest::newRow("StatusBar1 over cmdTp")
        << QPoint(195, 296) << QApplication::palette().color(QPalette::Window);
  }
  void colours() {
    QFETCH(QPoint, at);
    QFETCH(QColor, colour);
    const QImage image = window->grab().toImage();
    QCOMPARE(image.pixelColor(at), colour);
  }

  // Drawn in their own colours, the buttons still show which one has the keyboard focus.
  void focusedButtonIsMarked() {
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->cmdAbout->setFocus();
    const QImage image = window->grab().toImage();
    auto topEdgeHasBlack = [&](int y) {
      for (int x = 148; x < 243; ++x)
        if (image.pixelColor(x, y) == Qt::black) return true;
      return false;
    };
    QVERIFY(topEdgeHasBlack(125));  // cmdAbout
    QVERIFY(!topEdgeHasBlack(94));  // cmdHelp
  }

 private:
  TempStore store;
  std::unique_ptr<zulM> window;
};

QTEST_MAIN(ZulMTest)
#include "test_zulM_layout.moc"
