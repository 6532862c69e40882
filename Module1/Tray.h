#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <optional>

class QWidget;

namespace Module1 {

// The notification-area icon record, filled once at load and used to add and remove it.
struct NotifyIconData {
  QWidget* window = nullptr;
  QIcon icon;
  QString tip;
  std::function<void(QSystemTrayIcon::ActivationReason)> callback;
  QSystemTrayIcon* shown = nullptr;  // the live icon while added
  int added = 0;                     // how many times added / removed (tests read these)
  int removed = 0;
};
extern NotifyIconData tpicon;

// Adds the icon described by tpicon; its clicks go to tpicon.callback. Under X11 and Wayland
// it appears once a notification area does, even one that starts later.
void addIcon();
// Removes it; does nothing when it is not there.
void deleteIcon();

// Hides the window into the notification area; without one it is minimised, since hidden it
// could not be brought back. Should the notification area go away while the window is in it,
// the window comes back.
void hideToTray(QWidget* window);

// Whether the desktop has a notification area. Test seam: setTrayAvailable(true/false)
// overrides the answer, std::nullopt asks the platform again.
bool trayAvailable();
void setTrayAvailable(std::optional<bool> available);

}  // namespace Module1
