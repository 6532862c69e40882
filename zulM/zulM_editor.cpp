#include "Controls.h"
#include "MessageBox.h"
#include "Texts.h"
#include "WindowManager.h"
#include "zulM.h"
#include "zulTjXg.h"

zulTjXg& zulM::editor() {
  if (!editorWindow) {
    editorWindow = std::make_unique<zulTjXg>(cn);
    connect(editorWindow.get(), &zulTjXg::returned, this, &zulM::editorWindow_Returned);
    connect(editorWindow.get(), &zulTjXg::aboutToWrite, this, &zulM::followStore);
  }
  return *editorWindow;
}

void zulM::cmdTj_Click() {
  hide();
  closeFind();
  editor().openForAdd(blnEmpty ? QStringList() : arrLx);
  setEnabled(false);
}

void zulM::cmdXg_Click() {
  if (Module1::boxText(txtXs).isEmpty()) {
    Module1::inform(this, texts::kSelectToModify);
    return;
  }
  zulTjXg& e = editor();
  closeFind();
  // The editor changes the account shown here, whatever node is selected by then.
  e.openForModify(shownRowId, strMc, strLx, strNr);
  setEnabled(false);
  hide();
}

// The tree shows what the editor changed; the view starts empty.
void zulM::editorWindow_Returned() {
  Module1::restoreWindow(this);
  setEnabled(true);
  txtXs->clear();
  shownRowId = 0;
  sxnode();
  an();
}
