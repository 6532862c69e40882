// Texts the store makes: timestamps, statement 3 and filled-in error descriptions.
#include <QtTest>

#include "Statements.h"
#include "StoreError.h"
#include "Timestamp.h"

class StoreTexts : public QObject {
  Q_OBJECT

 private slots:
  void timestampIsZeroPadded24Hour() {
    QCOMPARE(store::timestampText(2015, 1, 31, 8, 5, 9), "2015/01/31 08:05:09");
    QCOMPARE(store::timestampText(2024, 12, 9, 23, 59, 0), "2024/12/09 23:59:00");
  }

  void findByNameDoublesEveryQuote() {
    QCOMPARE(store::findByName("it's ''"), "select * from 账号集合 where 账号名称='it''s '''''");
  }

  void fillTextLeavesMarksInsideArguments() {
    QCOMPARE(store::fillText("文件“%1”缺少“%2”", "/tmp/%2.mdb", "账号名称"),
             "文件“/tmp/%2.mdb”缺少“账号名称”");
  }
};

QTEST_GUILESS_MAIN(StoreTexts)
#include "store_texts.moc"
