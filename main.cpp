#include <QCoreApplication>
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

// Without a display Qt aborts with a long dump; one line says it better.
bool haveDisplay() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
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
    std::fputs(texts::kNoDisplay, stderr);
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
  if (!haveDisplay()) {
    std::fputs(texts::kNoDisplay, stderr);
    return 2;
  }
  const QtMessageHandler previous = qInstallMessageHandler(holdWhileConnecting);
  Module1::Application app(argc, argv);
  releaseHeldMessages(previous);
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
