#include "WidgetTest.h"

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <cstdlib>

#include "Clock.h"
#include "Controls.h"
#include "ErrorReport.h"
#include "WebPage.h"

namespace {

// Runs before main: the platform and DPI the layout tests rely on, and a private runtime dir.
const bool environmentReady = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_FONT_DPI", "96", 0);
  const QByteArray runtime = QDir::tempPath().toUtf8() + "/kelvarn-test-runtime";
  QDir().mkpath(QString::fromUtf8(runtime));
  QFile::setPermissions(QString::fromUtf8(runtime),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  setenv("XDG_RUNTIME_DIR", runtime.constData(), 0);
  return true;
}();

void registerFonts() {
  Module1::registerFontSubstitutes();
}
Q_COREAPP_STARTUP_FUNCTION(registerFonts)

}  // namespace

namespace testsupport {

BoxRecorder::BoxRecorder() {
  Module1::setMessageBoxScript([this](const Module1::BoxRequest& box) {
    Shown s{box, {}};
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) s.visibleWindows << w->objectName();
    shown << s;
    if (answers_.empty())
      return box.buttons == Module1::Buttons::Ok ? Module1::vbOK : Module1::vbYes;
    const Module1::Answer a = answers_.front();
    answers_.pop_front();
    return a;
  });
}
BoxRecorder::~BoxRecorder() {
  Module1::setMessageBoxScript({});
}

FixedClock::FixedClock(const QDateTime& time) : current_(time) {
  Module1::setClock([this] {
    if (!queue_.empty()) {
      current_ = queue_.front();
      queue_.pop_front();
    }
    return current_;
  });
}
FixedClock::~FixedClock() {
  Module1::setClock({});
}
void FixedClock::set(const QDateTime& time) {
  queue_.clear();
  current_ = time;
}

WebRecorder::WebRecorder() {
  Module1::setWebOpener([this](const QString& url) { opened << url; });
}
WebRecorder::~WebRecorder() {
  Module1::setWebOpener({});
}

EndRecorder::EndRecorder() {
  Module1::setProgramEnd([this](int code) { exitCodes << code; });
}
EndRecorder::~EndRecorder() {
  Module1::setProgramEnd({});
}

}  // namespace testsupport
