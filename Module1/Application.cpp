#include "Application.h"

#include "ErrorReport.h"
#include "StoreError.h"

namespace Module1 {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // Only the name: a display name would be appended to every window title on X11.
  setApplicationName(QStringLiteral("Kelvarn"));
  // The run ends only when the main window closes, never because a box was the last window.
  setQuitOnLastWindowClosed(false);
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const store::StoreError& error) {
    reportFatal(error);
    return true;
  }
}

}  // namespace Module1
