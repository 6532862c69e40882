#include "Tray.h"
#include "WindowManager.h"
#include "zulM.h"

void zulM::tpicon_Activated(QSystemTrayIcon::ActivationReason reason) {
  if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick) return;
  if (blnSd)
    unlockStore();
  else
    Module1::restoreWindow(this);
}

void zulM::cmdTp_Click() {
  closeFind();
  Module1::hideToTray(this);
}
