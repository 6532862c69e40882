#include "WindowManager.h"

#include <QWidget>

namespace Module1 {

void setTopmost(QWidget* window) {
  const bool visible = window->isVisible();
  window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (visible) window->show();  // changing a window flag hides the window
}

void restoreWindow(QWidget* window) {
  window->showNormal();
  window->raise();
  window->activateWindow();
}

}  // namespace Module1
