#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "Controls.h"
#include "MessageBox.h"
#include "Texts.h"
#include "zulM.h"
#include "zulTjXg.h"

zulTjXg& zulM::editor() {
  if (!editorWindow) editorWindow = std::make_unique<zulTjXg>(*this);
  return *editorWindow;
}

void zulM::cmdTj_Click() {
  hide();
  closeFind();
  zulTjXg& e = editor();
  e.showEditor();
  setEnabled(false);
  e.cmbLx->clear();
  e.cmbLx->clearEditText();  // an empty list keeps typed text through clear()
  e.cmdTj->setEnabled(true);
  e.cmdXg->setEnabled(false);
  e.txtMc->clear();
  e.txtNr->clear();
  e.cmbLx->setFocus();
  if (!blnEmpty) {
    e.cmbLx->addItems(arrLx);
    // Qt would select the first entry put into the empty list; the type starts empty.
    e.cmbLx->setCurrentIndex(-1);
  }
}

void zulM::cmdXg_Click() {
  if (Module1::boxText(txtXs).isEmpty()) {
    Module1::inform(this, texts::kSelectToModify);
    return;
  }
  zulTjXg& e = editor();
  // The editor changes the account shown here, whatever node is selected by then.
  e.targetRowId = shownRowId;
  e.strMc = strMc;
  closeFind();
  e.showEditor();
  setEnabled(false);
  Module1::setBoxText(e.txtNr, strNr);
  e.txtMc->setText(strMc);
  e.cmbLx->clear();
  e.cmdXg->setEnabled(true);
  e.cmdTj->setEnabled(false);
  e.cmbLx->addItem(strLx);
  e.cmbLx->setCurrentIndex(0);
  e.txtNr->setFocus();
  hide();
}
