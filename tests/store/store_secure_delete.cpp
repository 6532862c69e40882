// A deleted or overwritten account leaves none of its text in the store folder's files.
#include <QDir>
#include <QFile>
#include <QtTest>

#include "Connection.h"
#include "Recordset.h"
#include "Statements.h"
#include "TempStore.h"

namespace {

// Every file beside the store too: a journal or -wal file would keep old pages.
QByteArray folderBytes(const QString& dir) {
  QByteArray bytes;
  for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden)) {
    QFile file(info.filePath());
    if (file.open(QIODevice::ReadOnly)) bytes += file.readAll();
  }
  return bytes;
}

}  // namespace

class StoreSecureDelete : public QObject {
  Q_OBJECT

 private slots:
  void leavesNoTextBehind() {
    testsupport::TempStore store;
    store.addRow("留下", "网站", "KEEP-7c1e");
    store.addRow("DEL-NAME-52b0", "网站", "DEL-CONTENT-52b0");
    store.addRow("长文", "备忘", QString("LONG-9d04-").repeated(1500));  // spills to overflow pages
    store.addRow("改写", "邮箱", "OLD-CONTENT-e6a3 的旧内容");
    const QByteArray before = folderBytes(store.dir());
    for (const char* text : {"DEL-NAME-52b0", "DEL-CONTENT-52b0", "LONG-9d04-", "OLD-CONTENT-e6a3"})
      QVERIFY2(before.contains(text), text);

    store::Connection cn;
    cn.Open(store.path().toStdString());
    for (const char* name : {"DEL-NAME-52b0", "长文"}) {
      store::Recordset rs;
      rs.Open(store::findByName(name), cn);
      QVERIFY(rs.Delete());
      rs.Close();
    }
    store::Recordset rs;
    rs.Open(store::findByName("改写"), cn);
    rs.SetField(store::kContent, "新");
    QVERIFY(rs.Update());
    rs.Close();

    const QByteArray after = folderBytes(store.dir());
    for (const char* text : {"DEL-NAME-52b0", "DEL-CONTENT-52b0", "LONG-9d04-", "OLD-CONTENT-e6a3"})
      QVERIFY2(!after.contains(text), text);
    QVERIFY(after.contains("KEEP-7c1e"));
  }
};

QTEST_GUILESS_MAIN(StoreSecureDelete)
#include "store_secure_delete.moc"
