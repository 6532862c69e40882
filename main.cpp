#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Application.h"
#include "Controls.h"
#include "ErrorReport.h"
#include "StoreError.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (!haveDisplay()) {
    std::fprintf(stderr,
                 "kelvarn: no graphical display (DISPLAY is not set); start it on a desktop.\n");
    return 2;
  }
  Module1::Application app(argc, argv);
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
