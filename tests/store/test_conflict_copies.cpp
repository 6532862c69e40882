// The conflict copies sync clients leave beside a store, and putting them away.
#include "ConflictCopies.h"
#include "TempStore.h"

namespace {

void make(const QString& path, const QByteArray& bytes = {}) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QString names(const std::vector<std::filesystem::path>& paths) {
  QStringList out;
  for (const auto& path : paths) out << QString::fromStdString(path.filename().string());
  return out.join('|');
}

}  // namespace

class ConflictCopiesTest : public QObject {
  Q_OBJECT

 private slots:
  // By the store's own name, oldest first by the time in the name; temporary files, other
  // stores' copies and folders are not copies.
  void foundByTheNamesClientsGive() {
    QTemporaryDir dir;
    for (const char* name :
         {"zuld (Anna's conflicted copy 2024-02-01).mdb",
          "zuld.sync-conflict-20240131-080509-ABCDEFG.mdb", "zuld.mdb", "zuld.mdb.~tmp",
          "zuld (conflicted copy 2024-01-31 070000).mdb", ".zuld.mdb.x", "book.mdb",
          ".syncthing.zuld.sync-conflict-20240131-080509-ABCDEFG.mdb.tmp",
          "zuld.sync-conflict-20240131-080509-ABCDEF.mdb", "zuld (conflicted copy).mdb",
          "zuld.sync-conflict-20240131-080509-ABCDEFG.mdb-journal",
          "book.sync-conflict-20240131-080509-ABCDEFG.mdb"})
      make(dir.filePath(name));
    QVERIFY(QDir(dir.path()).mkdir("zuld (conflicted copy 2023-01-01 000000).mdb"));
    QCOMPARE(names(store::conflictCopies(dir.filePath("zuld.mdb").toStdString())),
             "zuld (conflicted copy 2024-01-31 070000).mdb|"
             "zuld.sync-conflict-20240131-080509-ABCDEFG.mdb|"
             "zuld (Anna's conflicted copy 2024-02-01).mdb");
    QCOMPARE(names(store::conflictCopies(dir.filePath("book.mdb").toStdString())),
             "book.sync-conflict-20240131-080509-ABCDEFG.mdb");
  }

  // Into 已合并 beside it, by a rename; a name taken there gets a number, nothing overwritten.
  // Where it cannot go, it stays.
  void setAsideKeepsWhatIsThere() {
    QTemporaryDir dir;
    const QString copy = dir.filePath("zuld (conflicted copy 2024-01-31 070000).mdb");
    QStringList moved;
    for (const QByteArray bytes : {"first", "second", "third"}) {
      make(copy, bytes);
      moved << QString::fromStdString(store::setAside(copy.toStdString()).filename().string());
    }
    QDir merged(dir.filePath("已合并"));
    QCOMPARE(moved.join('|'),
             "zuld (conflicted copy 2024-01-31 070000).mdb|"
             "zuld (conflicted copy 2024-01-31 070000) (2).mdb|"
             "zuld (conflicted copy 2024-01-31 070000) (3).mdb");
    QFile second(merged.filePath(moved[1]));
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll() + QByteArray::number(QFile::exists(copy)), "second0");
    QTemporaryDir blocked;  // 已合并 there is a file
    make(blocked.filePath("已合并"));
    make(blocked.filePath("zuld.mdb"));
    const auto error = testsupport::storeErrorOf(
        [&] { store::setAside(blocked.filePath("zuld.mdb").toStdString()); });
    QCOMPARE(error.number(), 3044);
    QVERIFY(QFile::exists(blocked.filePath("zuld.mdb")));
  }
};

QTEST_MAIN(ConflictCopiesTest)
#include "test_conflict_copies.moc"
