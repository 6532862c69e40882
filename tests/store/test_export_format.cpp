// Export encodings for text the fixtures do not hold: control characters in JSON, and
// stored bytes that are not UTF-8.
#include <QtTest>
#include <string>

#include "export_format.h"

using namespace std::string_literals;

class TestExportFormat : public QObject {
  Q_OBJECT

 private slots:
  void jsonEscapesEveryControlCharacter() {
    QCOMPARE(exporting::jsonValue("\b\f\x01\x1f\x7f/"s), "\"\\b\\f\\u0001\\u001f\x7f/\""s);
  }

  void invalidUtf8IsReplacedBytewise() {
    const std::string bad = "\uFFFD";
    QCOMPARE(exporting::validUtf8("ok 中😀"s), "ok 中😀"s);
    QCOMPARE(exporting::validUtf8("\xc0\xaf"s), bad + bad);                      // overlong
    QCOMPARE(exporting::validUtf8("\xed\xa0\x80"s), bad + bad + bad);            // surrogate
    QCOMPARE(exporting::validUtf8("\xf4\x90\x80\x80"s), bad + bad + bad + bad);  // > U+10FFFF
    QCOMPARE(exporting::validUtf8("a\xe4\xb8"s), "a" + bad + bad);               // cut short
    QCOMPARE(exporting::csvField("\xff,"s), "\"" + bad + ",\""s);
    QCOMPARE(exporting::jsonValue("\xff"s), "\"" + bad + "\""s);
  }
};

QTEST_APPLESS_MAIN(TestExportFormat)
#include "test_export_format.moc"
