#include "WindowManager.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace Module1 {
namespace {

class PlaceKeeper : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    // Spontaneous ones are the window manager's own minimise and restore: it keeps the place.
    if (event->spontaneous()) return false;
    auto* window = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Hide) {
      place_ = window->geometry();
    } else if (event->type() == QEvent::Show && place_.isValid()) {
      // Sent before the window is mapped. On the native window: it marks the position as
      // chosen, so that the window manager is told to keep it, even when it is unchanged.
      window->windowHandle()->setGeometry(place_);
    }
    return false;
  }

 private:
  QRect place_;
};

}  // namespace

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

void keepPlace(QWidget* window) {
  window->installEventFilter(new PlaceKeeper(window));
}

}  // namespace Module1
