// The conflict copies sync clients leave beside a store, and putting them away.
#include "ConflictCopies.h"
#include "TempStore.h"

namespace {

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
      QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    QVERIFY(QDir(dir.path()).mkdir("zuld (conflicted copy 2023-01-01 000000).mdb"));
    QCOMPARE(names(store::conflictCopies(dir.filePath("zuld.mdb").toStdString())),
             "zuld (conflicted copy 2024-01-31 070000).mdb|"
             "zuld.sync-conflict-20240131-080509-ABCDEFG.mdb|"
             "zuld (Anna's conflicted copy 2024-02-01).mdb");
    QCOMPARE(names(store::conflictCopies(dir.filePath("book.mdb").toStdString())),
             "book.sync-conflict-20240131-080509-ABCDEFG.mdb");
  }

  // Into 已合并 beside it by a rename; a name taken there gets a number, nothing overwritten.
  void setAsideKeepsWhatIsThere() {
    QTemporaryDir dir;
    const QString copy = dir.filePath("zuld (conflicted copy 2024-01-31 070000).mdb");
    QStringList moved;
    for (const char* bytes : {"first", "second"}) {
      QFile file(copy);
      QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes));
      moved << QString::fromStdString(store::setAside(copy.toStdString()).string());
    }
    QCOMPARE(moved, QStringList(
                        {dir.filePath("已合并/zuld (conflicted copy 2024-01-31 070000).mdb"),
                         dir.filePath("已合并/zuld (conflicted copy 2024-01-31 070000) (2).mdb")}));
    QFile first(moved[0]);
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll() + QByteArray::number(QFile::exists(copy)), "first0");
  }
};

QTEST_MAIN(ConflictCopiesTest)
#include "test_conflict_copies.moc"
