// Modifying an account: validation, the change test, both answers, and the row that is
// changed — always the account the user was shown.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "EditorSession.h"
#include "Texts.h"
#include "WidgetTest.h"

using testsupport::BoxRecorder;
using testsupport::FixedClock;
using testsupport::Row;
using testsupport::TempStore;

namespace {

const QString kCreated = QStringLiteral("2015/01/31 08:05:09");
constexpr char kDeleteA[] = "DELETE FROM 账号集合 WHERE 账号名称='A'";

QStringList boxTexts(const BoxRecorder& boxes) {
  QStringList out;
  for (const auto& shown : boxes.shown) out << shown.box.text;
  return out;
}

QStringList rowTexts(const Row& r) {
  return {*r.name, *r.type, *r.content, *r.created, *r.modified};
}

}  // namespace

class ZulTjXgTest : public QObject {
  Q_OBJECT

  std::optional<TempStore> store;
  std::unique_ptr<zulM> main;
  zulTjXg* e = nullptr;

  // The editor opened on the account of `key`, as double-click and 修改当前记录 do.
  void openOn(const QString& key) {
    main = std::make_unique<zulM>(store->path());
    ZulMTest::showAccount(*main, key);
    ZulMTest::openModify(*main);
    e = ZulMTest::editor(*main);
    QVERIFY(e && e->cmdXg->isEnabled());
  }

 private slots:
  void init() { store.emplace(); }
  void cleanup() {
    main.reset();
    store.reset();
  }

  void incompleteInputAndNoChangeWriteNothing() {
    store->addRow("A", "工作", "第一行\r\n第二行");  // shown as plain lines: still no change
    openOn("c1");
    const auto before = store->rows();
    BoxRecorder boxes;
    for (const QStringList& input :
         {QStringList{"", "A", "x"}, QStringList{"工作", "", "x"}, QStringList{"工作", "A", ""}}) {
      fill(*e, input[0], input[1], input[2]);
      e->cmdXg->click();
    }
    fill(*e, "工作", "A", "第一行\n第二行");
    e->cmdXg->click();

    const QString incomplete = QStringLiteral("【账号类型、名称、内容】都不能为空！");
    QCOMPARE(boxTexts(boxes),
             QStringList({incomplete, incomplete, incomplete, "若不需修改请点击返回！"}));
    QCOMPARE(boxes.shown[3].box.caption, QStringLiteral("Kelvarn"));
    QVERIFY(!boxes.shown[3].visibleWindows.contains("zulTjXg"));
    QVERIFY(e->isVisible());
    QCOMPARE(rowTexts(store->rows()[0]), rowTexts(before[0]));
  }

  // A change of letter case alone in any one box counts; 创建时间 stays, 最后修改 is the
  // confirmation's time, and an unchanged content keeps its stored line breaks.
  void caseOnlyChangesAreWritten() {
    store->addRow("Mail", "Web", "a\r\nb");
    openOn("c1");
    FixedClock clock(QDateTime(QDate(2016, 3, 5), QTime(7, 4, 9)));
    BoxRecorder boxes;
    const QList<QStringList> edits = {
        {"Web", "mail", "a\nb"}, {"web", "mail", "a\nb"}, {"web", "mail", "A\nb"}};
    for (const QStringList& input : edits) {
      fill(*e, input[0], input[1], input[2]);
      e->cmdXg->click();
      const Row row = store->rows()[0];
      QCOMPARE(*row.name, input[1]);
      QCOMPARE(*row.type, input[0]);
      QCOMPARE(*row.content, input == edits[2] ? QStringLiteral("A\nb") : QStringLiteral("a\r\nb"));
      QCOMPARE(*row.created, kCreated);
      QCOMPARE(*row.modified, QStringLiteral("2016/03/05 07:04:09"));
    }
    QCOMPARE(boxes.shown.size(), 3);
    QCOMPARE(boxes.shown[0].box.text, QStringLiteral("确定修改该条信息？"));
    QCOMPARE(boxes.shown[0].box.caption, QStringLiteral("提示："));
    QCOMPARE(boxes.shown[0].box.buttons, Module1::Buttons::YesNo);
  }

  void noKeepsTheEditedTexts() {
    store->addRow("A", "工作", "旧");
    openOn("c1");
    const auto before = store->rows();
    BoxRecorder boxes;
    boxes.answerNext(Module1::vbNo);
    fill(*e, "生活", "B", "新");

    e->cmdXg->click();

    QCOMPARE(rowTexts(store->rows()[0]), rowTexts(before[0]));
    QCOMPARE(e->cmbLx->currentText(), QStringLiteral("生活"));
    QCOMPARE(e->txtMc->text(), QStringLiteral("B"));
    QCOMPARE(Module1::boxText(e->txtNr), QStringLiteral("新"));
  }

  // A second modification in the same opening finds the row under its new name; 返回 then
  // shows it under its new name and type.
  void renamedAccountStaysTheTargetAndShowsAfterReturn() {
    store->addRow("O'Brien", "工作", "旧");
    store->addRow("B", "工作");
    openOn("c1");
    BoxRecorder boxes;
    fill(*e, "生活", "O'Neil", "旧");
    e->cmdXg->click();
    fill(*e, "生活", "O'Neil", "新");
    e->cmdXg->click();
    e->cmdXg->click();

    QCOMPARE(boxTexts(boxes),
             QStringList({"确定修改该条信息？", "确定修改该条信息？", "若不需修改请点击返回！"}));
    const auto rows = store->rows();
    QCOMPARE(rows.size(), 2u);
    QCOMPARE(*rows[0].name, QStringLiteral("O'Neil"));
    QCOMPARE(*rows[0].content, QStringLiteral("新"));
    QCOMPARE(*rows[1].name, QStringLiteral("B"));

    e->cmdFh->click();
    QCOMPARE(treeTexts(*main), QStringList({"y1:生活", "y2:工作", "c1:O'Neil", "c2:B"}));
    QVERIFY(ZulMTest::recordView(*main).isEmpty());
  }

  // Neither a later single click in the tree nor a same-named account earlier in the store
  // redirects the change away from the account shown.
  void theShownAccountIsTheOneChanged() {
    store->addRow("X", "工作", "第一个");
    store->addRow("X", "工作", "第二个");
    store->addRow("Y", "工作", "第三个");
    main = std::make_unique<zulM>(store->path());
    ZulMTest::showAccount(*main, "c2");
    main->selectNode("c3");
    ZulMTest::openModify(*main);
    e = ZulMTest::editor(*main);
    QCOMPARE(Module1::boxText(e->txtNr), QStringLiteral("第二个"));
    BoxRecorder boxes;
    fill(*e, "工作", "X", "改过");

    e->cmdXg->click();

    const auto rows = store->rows();
    QCOMPARE(*rows[0].content, QStringLiteral("第一个"));
    QCOMPARE(*rows[1].content, QStringLiteral("改过"));
    QCOMPARE(*rows[2].content, QStringLiteral("第三个"));
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
    store->addRow("A", "工作");
    store->addRow("B", "工作");
    openOn("c1");
    fill(*e, "工作", "A", "新");
    QStringList texts;
    Module1::setMessageBoxScript([&](const Module1::BoxRequest& box) {
      texts << box.text;
      if (duringQuestion)  // the editor's own connection: its open row keeps others out
        sqlite3_exec(e->cn.handle(), kDeleteA, nullptr, nullptr, nullptr);
      return Module1::vbYes;
    });
    if (!duringQuestion) store->exec(kDeleteA);

    e->cmdXg->click();
    Module1::setMessageBoxScript({});

    const QString gone = QString::fromUtf8(texts::kAccountGone);
    QCOMPARE(texts,
             duringQuestion ? QStringList({"确定修改该条信息？", gone}) : QStringList({gone}));
    QCOMPARE(store->rows().size(), 1u);
    QCOMPARE(*store->rows()[0].name, QStringLiteral("B"));
    QVERIFY(e->isVisible() && !e->rs);
  }
};

QTEST_MAIN(ZulTjXgTest)
#include "test_editor_modify.moc"
