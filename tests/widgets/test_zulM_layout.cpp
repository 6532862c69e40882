// The main window as it is laid out at load, on an empty store.

#include "WidgetTest.h"

using testsupport::TempStore;

class ZulMTest : public QObject {
  Q_OBJECT

  TempStore store;
  std::unique_ptr<zulM> w;

 private slots:
  void init() { w = std::make_unique<zulM>(store.path()); }
  void cleanup() { w.reset(); }

  void controlsAndFrame() {
    QCOMPARE(testsupport::controlsOf(w.get()),
             QStringList({"cmdTp QPushButton 148,274 95x23", "StatusBar1 QStatusBar 0,294 499x21",
                          "cmdSc QPushButton 148,62 95x31", "cmdHelp QPushButton 148,94 95x31",
                          "cmdAbout QPushButton 148,125 95x31", "cmdXg QPushButton 148,31 95x31",
                          "cmdTj QPushButton 148,0 95x31", "txtXs QPlainTextEdit 244,0 255x296",
                          "tvwXs QTreeView 0,0 148x295", "labSjxs QLabel 148,156 95x118"}));
    for (const QWidget* control : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      QVERIFY(control->isVisibleTo(w.get()));
    QCOMPARE(
        testsupport::tabOrder(w->tvwXs),
        QStringList({"tvwXs", "txtXs", "cmdTj", "cmdXg", "cmdAbout", "cmdHelp", "cmdSc", "cmdTp"}));
    QCOMPARE(w->focusWidget(), w->tvwXs);
    const QList<std::pair<QPushButton*, QString>> captions = {
        {w->cmdTj, "添加记录"},   {w->cmdXg, "修改当前记录"}, {w->cmdSc, "删除当前记录"},
        {w->cmdHelp, "用户手册"}, {w->cmdAbout, "关于"},      {w->cmdTp, "隐藏到托盘"}};
    for (const auto& [button, caption] : captions) QCOMPARE(button->text(), caption);

    QCOMPARE(w->objectName(), "zulM");
    const Qt::WindowFlags flags = w->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint));
    QVERIFY(!flags.testAnyFlags(Qt::WindowMinMaxButtonsHint | Qt::FramelessWindowHint));
    QCOMPARE(w->size(), QSize(499, 315));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QVERIFY(w->windowIcon().availableSizes().contains(QSize(128, 128)));
    QVERIFY(w->Timer1->isActive());
    QCOMPARE(w->Timer1->interval(), 100);
  }

  void controlSettings() {
    QPlainTextEdit* box = w->txtXs;
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QCOMPARE(box->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(box->palette().color(QPalette::Text), QColor(0, 0, 128));
    QVERIFY(w->tvwXs->isHeaderHidden());
    QCOMPARE(w->tvwXs->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!w->StatusBar1->isSizeGripEnabled());
    QVERIFY(w->labSjxs->wordWrap());
    QCOMPARE(w->labSjxs->alignment(), Qt::AlignHCenter | Qt::AlignTop);

    // Asked for by their Windows names, the fonts resolve to a Chinese font here.
    for (const auto& [control, points] :
         {std::pair<QWidget*, double>{w->txtXs, 10.5}, {w->tvwXs, 9.0}}) {
      QCOMPARE(control->font().family(), "微软雅黑");
      QCOMPARE(control->font().pointSizeF(), points);
      QCOMPARE(control->font().weight(), QFont::Normal);
      const QString shown = QFontInfo(control->font()).family();
      QVERIFY2(shown == "WenQuanYi Micro Hei" || shown.startsWith("Noto Sans CJK"),
               qPrintable(shown));
    }
  }

  // Colours, and which control is drawn where two overlap.
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
    QCOMPARE(w->grab().toImage().pixelColor(at), colour);
  }

  // Drawn in their own colours, the buttons still show which one has the keyboard focus.
  void focusedButtonIsMarked() {
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->cmdAbout->setFocus();
    const QImage image = w->grab().toImage();
    auto topEdgeHasBlack = [&](int y) {
      for (int x = 148; x < 243; ++x)
        if (image.pixelColor(x, y) == Qt::black) return true;
      return false;
    };
    QVERIFY(topEdgeHasBlack(125));  // cmdAbout
    QVERIFY(!topEdgeHasBlack(94));  // cmdHelp
  }
};

QTEST_MAIN(ZulMTest)
#include "test_zulM_layout.moc"
