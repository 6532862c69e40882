
#include "zulCz.h"
#include "zulM.h"

void zulM::mnuCz_Click() {
  if (!findWindow) findWindow = std::make_unique<zulCz>(*this);
  findWindow->showFind();
}

void zulM::closeFind() {
  if (findWindow) findWindow->hide();
}
