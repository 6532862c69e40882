// Conflict copies of the store offered for merging, at start and when one appears.
#include "LockTriggers.h"
#include "Texts.h"
#include "WidgetTest.h"

using namespace testsupport;

namespace {

const QString kCopy = "zuld.sync-conflict-20240131-080509-ABCDEFG.mdb";

// A store of one account beside `s` as a conflict copy; other bytes if given.
void copyBeside(const TempStore& s, const QByteArray& other = {}) {
  TempStore copy;
  copy.sql("INSERT INTO 账号集合 VALUES('B', '生活', '乙', ?, ?, randomblob(16))", {kTime, kTime});
  QFile file(copy.path());
  if (!other.isEmpty()) QVERIFY(file.open(QIODevice::WriteOnly) && file.write(other));
  file.close();
  QVERIFY(file.rename(s.dir() + '/' + kCopy));
}

QString box(const char* caption, const QString& text, const char* buttons) {
  return caption + ('|' + text + '|') + buttons;
}
const QString kAsked = box("提示：", QString::fromUtf8(texts::kMergeAsk).arg(kCopy), "是*,否");

// A merge of one added account is told; the tree shows it, the copy is in 已合并.
void merged(Main& m) {
  const QString done =
      QString::fromUtf8(texts::kMergeDone).arg(kCopy, "zuld.mdb", "1", "0", "0", "0");
  QCOMPARE(m.take(),
           QStringList({kAsked, box("Kelvarn", done + '\n' + texts::kMergeCopyMoved, "确定")}));
  QCOMPARE(m.tree(), "y1:工作[c1:A] y2:生活[c2:B]");
  QCOMPARE(QDir(m.s.dir() + "/已合并").entryList(QDir::Files), QStringList{kCopy});
  QVERIFY(!QFile::exists(m.s.dir() + '/' + kCopy));
}

}  // namespace

class MergeOfferTest : public QObject {
  Q_OBJECT

 private slots:
  // 否 leaves store and copy, and is not asked again in this run; 是 merges; a copy that is no
  // store is refused, told and left.
  void atStart() {
    Main no({"A|工作"}, {}, [](Main& m) { m.answers = {Module1::vbNo}, copyBeside(m.s); });
    QSignalSpy changed(no.w.findChild<QFileSystemWatcher*>(),
                       &QFileSystemWatcher::directoryChanged);
    no.w.show();
    QVERIFY(QFile(no.s.dir() + "/other").open(QIODevice::WriteOnly));
    QTRY_VERIFY(!changed.isEmpty());
    QCOMPARE(no.take(), QStringList{kAsked});
    QCOMPARE(no.s.rows().join(' ') + no.tree(),
             "A|工作|内容|" + kTime + '|' + kTime + "y1:工作[c1:A]");
    QVERIFY(QFile::exists(no.s.dir() + '/' + kCopy));
    no.w.hide();

    Main yes({"A|工作"}, {}, [](Main& m) { copyBeside(m.s); });
    merged(yes);

    Main refused({"A|工作"}, {}, [](Main& m) { copyBeside(m.s, "not a store"); });
    const QString notAStore =
        QString::fromUtf8(texts::kStoreNotDatabase).arg(refused.s.dir() + '/' + kCopy);
    QCOMPARE(
        refused.take(),
        QStringList({kAsked, box("Kelvarn", notAStore + '\n' + texts::kMergeCopyLeft, "确定")}));
    QVERIFY(QFile::exists(refused.s.dir() + '/' + kCopy));
  }

  // One that appears while the editor is open is offered once the window is back.
  void whileOpen() {
    Main m({"A|工作"});
    m.w.show();
    m.open();
    QSignalSpy changed(m.w.findChild<QFileSystemWatcher*>(), &QFileSystemWatcher::directoryChanged);
    QCoreApplication::processEvents();  // the changes of its own start
    changed.clear();
    copyBeside(m.s);
    QTRY_VERIFY(!changed.isEmpty());
    QCOMPARE(m.take(), QStringList());
    m.e("cmdFh")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!m.boxes.isEmpty(), 20000);
    merged(m);
  }

  // A lock while the question waits answers it 否; it is asked again once unlocked.
  void lockedMeanwhile() {
    Main m({"A|工作"}, {"secret"});
    m.w.show();
    m.whileBoxShown = [&] {
      m.clock.push_back(m.clock.back().addSecs(600));
      m.w.findChild<Module1::LockTriggers*>()->checkIdle();
      m.whileBoxShown = nullptr;
    };
    copyBeside(m.s);
    QTRY_VERIFY_WITH_TIMEOUT(m.tree().isEmpty() && m.w.isMinimized(), 20000);  // no tray here
    QCOMPARE(m.take(), QStringList{kAsked});
    m.passphrases = {"secret"};
    Module1::tpicon.callback(QSystemTrayIcon::Trigger);
    QTRY_VERIFY_WITH_TIMEOUT(m.boxes.size() == 2, 20000);
    merged(m);
  }
};

QTEST_MAIN(MergeOfferTest)
#include "test_merge_offer.moc"
