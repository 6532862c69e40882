// Decoding of raw Access values where the files at hand never go: damaged UTF-16 and CP936,
// and Date/Time values at and past the edges of Access's range.
#include <QtTest>
#include <limits>
#include <string>

#include "mdb_text.h"

using namespace std::string_literals;

class TestImportText : public QObject {
  Q_OBJECT

 private slots:
  void damagedTextBecomesReplacementCharacters() {
    const std::string bad = "\uFFFD";
    QCOMPARE(legacy::jet4Text("\x3d\xd8"s), bad);                // high surrogate alone
    QCOMPARE(legacy::jet4Text("\x00\xde\x41\x00"s), bad + "A");  // low surrogate alone
    QCOMPARE(legacy::jet4Text("\x41\x00\x42"s), "A" + bad);      // dangling byte
    QCOMPARE(legacy::jet4Text("\xff\xfe"
                              "a\x00\x2d"s),
             "a" + bad);  // odd two-byte run
    QCOMPARE(legacy::jet3Text("\xff"
                              "A\xd5"s),
             bad + "A" + bad);  // not CP936, cut short
    QCOMPARE(legacy::jet3Text("\x80"s), "€"s);
  }

  void datesRoundToTheSecondAcrossMidnight() {
    QCOMPARE(legacy::jetDateText(1.9999999), "1900/01/01 00:00:00"s);
    QCOMPARE(legacy::jetDateText(-0.5), "1899/12/30 12:00:00"s);
  }

  void datesOutsideAccessRangeAreRefused() {
    QCOMPARE(legacy::jetDateText(-657434.0), "0100/01/01 00:00:00"s);
    QCOMPARE(legacy::jetDateText(2958465.99998), "9999/12/31 23:59:58"s);
    QVERIFY(!legacy::jetDateText(-657435.0));
    QVERIFY(!legacy::jetDateText(2958466.0));
    QVERIFY(!legacy::jetDateText(1e300));
    QVERIFY(!legacy::jetDateText(std::numeric_limits<double>::quiet_NaN()));
    QVERIFY(!legacy::jetDateText(-std::numeric_limits<double>::infinity()));
  }
};

QTEST_APPLESS_MAIN(TestImportText)
#include "test_import_text.moc"
