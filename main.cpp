#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "Application.h"
#include "Controls.h"
#include "ErrorReport.h"
#include "ProcessGuard.h"
#include "StoreError.h"
#include "Texts.h"
#include "zulM.h"

namespace {

// The one line said when no display can be opened; without one Qt aborts with a long dump.
const char* cannotConnect = texts::kNoDisplay;

// An X display comes first, Xwayland in a Wayland session included: only there does the
// window stay on top and both kinds of notification area work. Native Wayland is used only
// without one; the user's own QT_QPA_PLATFORM decides over both. False: there is no display.
bool choosePlatform() {
  QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() && !qEnvironmentVariableIsEmpty("DISPLAY")) platform = "xcb";
  if (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) platform = "wayland";
  if (platform.isEmpty()) return false;
  // Qt's Wayland support is a package of its own.
  if (platform.startsWith("wayland") &&
      !QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms/libqwayland-generic.so")))
    cannotConnect = texts::kNoWaylandSupport;
  qputenv("QT_QPA_PLATFORM", platform);
  return true;
}

// While Qt connects to the display (DISPLAY may name one that is not there), its messages
// are held back: a failure becomes the one line above, a success lets them through.
struct HeldMessage {
  QtMsgType type;
  const char* category;  // logging category names are static
  QString text;
};
std::vector<HeldMessage> heldMessages;

void holdWhileConnecting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fputs(cannotConnect, stderr);
    std::_Exit(2);
  }
  heldMessages.push_back({type, context.category, text});
}

void releaseHeldMessages(QtMessageHandler previous) {
  qInstallMessageHandler(previous);
  for (const HeldMessage& m : heldMessages)
    previous(m.type, QMessageLogContext(nullptr, 0, nullptr, m.category), m.text);
  heldMessages.clear();
}

}  // namespace

int main(int argc, char** argv) {
  store::guardProcessMemory();
  const bool platformChosenHere = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  if (!choosePlatform()) {
    std::fputs(texts::kNoDisplay, stderr);
    return 2;
  }
  const QtMessageHandler previous = qInstallMessageHandler(holdWhileConnecting);
  Module1::Application app(argc, argv);
  releaseHeldMessages(previous);
  // The browser that the links start chooses for itself.
  if (platformChosenHere) qunsetenv("QT_QPA_PLATFORM");
  Module1::registerFontSubstitutes();

  // The store lies beside the program file; nothing else chooses it.
  const QString storePath = QCoreApplication::applicationDirPath() + QStringLiteral("/zuld.mdb");
  std::unique_ptr<zulM> window;
  try {
    window = std::make_unique<zulM>(storePath);
  } catch (const store::StoreError& error) {
    Module1::reportFatal(error);
    return 1;
  }
  window->show();
  return app.exec();
}
