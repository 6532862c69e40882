#include "Tray.h"
#include "WindowManager.h"
#include "zulM.h"

void zulM::tpicon_Activated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
    Module1::restoreWindow(this);
}

void zulM::cmdTp_Click() {
  closeFind();
  // Hidden without a notification area, the window could never be brought back; the task
  // bar can.
  if (Module1::trayAvailable())
    hide();
  else
    showMinimized();
}
