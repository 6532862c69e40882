#include "Tray.h"

#include <QCoreApplication>

namespace Module1 {

NotifyIconData tpicon;

namespace {

std::optional<bool>& trayOverride() {
  static std::optional<bool> available;
  return available;
}

}  // namespace

void addIcon() {
  ++tpicon.added;
  if (tpicon.shown) return;  // like the shell, a second add of the same icon adds nothing
  // Owned by the application so that it cannot outlive the event loop it reports to.
  tpicon.shown = new QSystemTrayIcon(tpicon.icon, QCoreApplication::instance());
  tpicon.shown->setToolTip(tpicon.tip);
  QObject::connect(tpicon.shown, &QSystemTrayIcon::activated,
                   [](QSystemTrayIcon::ActivationReason reason) {
                     if (tpicon.callback) tpicon.callback(reason);
                   });
  tpicon.shown->show();
}

void deleteIcon() {
  if (!tpicon.shown) return;
  tpicon.shown->hide();
  delete tpicon.shown;
  tpicon.shown = nullptr;
  ++tpicon.removed;
}

bool trayAvailable() {
  return trayOverride().value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void setTrayAvailable(std::optional<bool> available) {
  trayOverride() = available;
}

}  // namespace Module1
