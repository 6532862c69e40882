#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextDocument>

#include "Clock.h"
#include "Controls.h"
#include "Texts.h"
#include "zulM.h"

namespace {

QString fieldText(const store::Value& value) {
  return value ? QString::fromStdString(*value) : QString();
}

}  // namespace

// Ten ticks a second. The label gets its final text in one call rather than blanked and
// refilled: setText, setWindowTitle and showMessage all ignore an unchanged text, so an idle
// window repaints just the clock, once a second.
void zulM::Timer1_Timer() {
  const QString crLf = QString::fromUtf8(texts::kCrLf);
  QString summary;
  // document()->isEmpty() spares copying a long record every tick.
  if (!txtXs->document()->isEmpty()) {
    summary = QString::fromUtf8(texts::kLabCurrent) + crLf + strMc + crLf + crLf +
              QString::fromUtf8(texts::kLabCreated) + crLf + fieldText(cjsj) + crLf +
              QString::fromUtf8(texts::kLabModified) + crLf + fieldText(zhxg);
  }
  labSjxs->setText(summary);

  setWindowTitle(Module1::productVersionText());

  // The C locale keeps the digits ASCII whatever the user's locale.
  const QString status =
      QString::fromUtf8(texts::kStatusCredit) + QString::fromUtf8(texts::kStatusNow) +
      QLocale::c().toString(Module1::now(), QString::fromUtf8(texts::kClockFormat)) +
      QString::fromUtf8(texts::kStatusThanks);
  StatusBar1->showMessage(status);
}
