#include "zulM.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>

#include "Controls.h"
#include "ErrorReport.h"
#include "Passphrase.h"
#include "SealedScan.h"
#include "Tray.h"
#include "WindowManager.h"
#include "zulCz.h"
#include "zulTjXg.h"

zulM::zulM(QString storePath, QWidget* parent) : QWidget(parent), storePath_(std::move(storePath)) {
  setupControls();
  Form_Load();
}

zulM::~zulM() {
  // The icon must not call back into a window that is gone.
  if (Module1::tpicon.window == this) {
    Module1::deleteIcon();
    Module1::tpicon.window = nullptr;
    Module1::tpicon.callback = nullptr;
  }
}

void zulM::Form_Load() {
  cn.Open(QFile::encodeName(storePath_).toStdString());
  // 取消 ends the run before anything is shown or written.
  if (cn.isProtected() && !askStorePassphrase(nullptr)) return Module1::endProgram(0);
  cn.prepareIdentities();
  txtXs->setSecret(cn.isProtected());  // copies of a protected store's contents do not linger
  sxnode();
  an();
  startFollowing();

  Module1::tpicon.window = this;
  Module1::tpicon.icon = windowIcon();
  Module1::tpicon.tip = Module1::productVersionText();
  Module1::tpicon.callback = [this](QSystemTrayIcon::ActivationReason reason) {
    tpicon_Activated(reason);
  };
  Module1::setTopmost(this);
  Module1::keepPlace(this);
  Module1::addIcon();
  armLock();
  offerMerges();
}

bool zulM::askStorePassphrase(const char* note) {
  askingPassphrase = true;
  const bool unlocked = Module1::askPassphrase(
      [this](const store::Secret& passphrase) {
        return cn.unlock(passphrase, store::SealedScan::kNameAndType);
      },
      note);
  askingPassphrase = false;
  return unlocked;
}

void zulM::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  Form_Unload();
  event->accept();
}

void zulM::Form_QueryUnload() {
  Module1::deleteIcon();
}

// Ends the run whatever else is open: the editor and both connections go with the process,
// and nothing is written.
void zulM::Form_Unload() {
  QCoreApplication::exit(0);
}
