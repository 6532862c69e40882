// kelvarn-store's encodings where the fixtures never go: damaged UTF-16 and CP936 from Access,
// Date/Time values at and past the edges of Access's range, control characters in JSON, and
// stored bytes that are not UTF-8.
#include <QtTest>
#include <limits>
#include <string>

#include "export_format.h"
#include "mdb_text.h"

using namespace std::string_literals;

class FormatsTest : public QObject {
  Q_OBJECT

 private slots:
  void damagedTextBecomesReplacementCharacters() {
    const std::string bad = "\uFFFD";
    QCOMPARE(legacy::jet4Text("\x3d\xd8"s), bad);                    // high surrogate alone
    QCOMPARE(legacy::jet4Text("\x00\xde\x41\x00"s), bad + "A");      // low surrogate alone
    QCOMPARE(legacy::jet4Text("\x41\x00\x42"s), "A" + bad);          // dangling byte
    QCOMPARE(legacy::jet4Text("\xff\xfe\x61\x00\x2d"s), "a" + bad);  // odd two-byte run
    QCOMPARE(legacy::jet3Text("\xff\x41\xd5"s), bad + "A" + bad);    // not CP936, cut short
    QCOMPARE(legacy::jet3Text("\x80"s), "€"s);
    QCOMPARE(exporting::validUtf8("ok 中😀"s), "ok 中😀"s);
    QCOMPARE(exporting::validUtf8("\xc0\xaf"s), bad + bad);                      // overlong
    QCOMPARE(exporting::validUtf8("\xed\xa0\x80"s), bad + bad + bad);            // surrogate
    QCOMPARE(exporting::validUtf8("\xf4\x90\x80\x80"s), bad + bad + bad + bad);  // > U+10FFFF
    QCOMPARE(exporting::validUtf8("a\xe4\xb8"s), "a" + bad + bad);               // cut short
    QCOMPARE(exporting::csvField("\xff,"s), "\"" + bad + ",\""s);
    QCOMPARE(exporting::jsonValue("\xff"s), "\"" + bad + "\""s);
    QCOMPARE(exporting::jsonValue("\b\f\x01\x1f\x7f/"s), "\"\\b\\f\\u0001\\u001f\x7f/\""s);
  }

  // Whole seconds, rounded across midnight; nothing outside Access's range.
  void dates() {
    QCOMPARE(legacy::jetDateText(1.9999999), "1900/01/01 00:00:00"s);
    QCOMPARE(legacy::jetDateText(-0.5), "1899/12/30 12:00:00"s);
    QCOMPARE(legacy::jetDateText(-657434.0), "0100/01/01 00:00:00"s);
    QCOMPARE(legacy::jetDateText(2958465.99998), "9999/12/31 23:59:58"s);
    for (double days : {-657435.0, 2958466.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                        -std::numeric_limits<double>::infinity()})
      QVERIFY2(!legacy::jetDateText(days), QByteArray::number(days));
  }
};

QTEST_APPLESS_MAIN(FormatsTest)
#include "test_formats.moc"
