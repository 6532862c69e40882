// Export encodings for text the fixtures do not hold: control characters in JSON, and
// stored bytes that are not UTF-8.
#include <QtTest>
#include <string>

#include "export_format.h"

using namespace std::string_literals;
using namespace exporting;

class TestExportFormat : public QObject {
  Q_OBJECT

 private slots:
  void encodings() {
    const std::string bad = "\uFFFD";
    QCOMPARE(jsonValue("\b\f\x01\x1f\x7f/"s), "\"\\b\\f\\u0001\\u001f\x7f/\""s);
    QCOMPARE(validUtf8("ok 中😀"s), "ok 中😀"s);
    QCOMPARE(validUtf8("\xc0\xaf"s), bad + bad);                      // overlong
    QCOMPARE(validUtf8("\xed\xa0\x80"s), bad + bad + bad);            // surrogate
    QCOMPARE(validUtf8("\xf4\x90\x80\x80"s), bad + bad + bad + bad);  // > U+10FFFF
    QCOMPARE(validUtf8("a\xe4\xb8"s), "a" + bad + bad);               // cut short
    QCOMPARE(csvField("\xff,"s), "\"" + bad + ",\""s);
    QCOMPARE(jsonValue("\xff"s), "\"" + bad + "\""s);
  }
};

QTEST_APPLESS_MAIN(TestExportFormat)
#include "test_export_format.moc"
