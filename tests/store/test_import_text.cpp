// Decoding of raw Access values where the files at hand never go: damaged UTF-16 and CP936,
// and Date/Time values at and past the edges of Access's range.
#include <QtTest>
#include <limits>
#include <string>

#include "mdb_text.h"

using namespace std::string_literals;
using namespace legacy;

class TestImportText : public QObject {
  Q_OBJECT

 private slots:
  void damagedTextBecomesReplacementCharacters() {
    const std::string bad = "\uFFFD";
    QCOMPARE(jet4Text("\x3d\xd8"s), bad);                    // high surrogate alone
    QCOMPARE(jet4Text("\x00\xde\x41\x00"s), bad + "A");      // low surrogate alone
    QCOMPARE(jet4Text("\x41\x00\x42"s), "A" + bad);          // dangling byte
    QCOMPARE(jet4Text("\xff\xfe\x61\x00\x2d"s), "a" + bad);  // odd two-byte run
    QCOMPARE(jet3Text("\xff\x41\xd5"s), bad + "A" + bad);    // not CP936, cut short
    QCOMPARE(jet3Text("\x80"s), "€"s);
  }

  // Whole seconds, rounded across midnight; nothing outside Access's range.
  void dates() {
    QCOMPARE(jetDateText(1.9999999), "1900/01/01 00:00:00"s);
    QCOMPARE(jetDateText(-0.5), "1899/12/30 12:00:00"s);
    QCOMPARE(jetDateText(-657434.0), "0100/01/01 00:00:00"s);
    QCOMPARE(jetDateText(2958465.99998), "9999/12/31 23:59:58"s);
    for (double days : {-657435.0, 2958466.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                        -std::numeric_limits<double>::infinity()})
      QVERIFY2(!jetDateText(days), QByteArray::number(days));
  }
};

QTEST_APPLESS_MAIN(TestImportText)
#include "test_import_text.moc"
