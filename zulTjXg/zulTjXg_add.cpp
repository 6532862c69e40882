#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "Clock.h"
#include "Controls.h"
#include "MessageBox.h"
#include "Statements.h"
#include "Texts.h"
#include "zulTjXg.h"

void zulTjXg::openForAdd(const QStringList& types) {
  showEditor();
  cmbLx->clear();
  cmbLx->clearEditText();  // an empty list keeps typed text through clear()
  cmdTj->setEnabled(true);
  cmdXg->setEnabled(false);
  txtMc->clear();
  txtNr->clear();
  cmbLx->setFocus();
  if (!types.isEmpty()) {
    cmbLx->addItems(types);
    // Qt would select the first entry put into the empty list; the type starts empty.
    cmbLx->setCurrentIndex(-1);
  }
}

void zulTjXg::cmdTj_Click() {
  rs = std::make_unique<store::Recordset>();
  rs->Open(store::kSelectAll, cn);

  const QString nr = Module1::boxText(txtNr);
  const QString mc = txtMc->text();
  const QString lx = cmbLx->currentText();
  if (lx.isEmpty() || mc.isEmpty() || nr.isEmpty()) {
    Module1::inform(this, texts::kIncompleteAdd);
    rs->Close();
    rs.reset();
    return;
  }

  if (Module1::ask(this, texts::kConfirmAdd) == Module1::vbYes) {
    emit aboutToWrite();  // into the file at the path, whatever happened while the box waited
    rs->AddNew();
    rs->SetField(store::kName, mc.toStdString());
    rs->SetField(store::kType, lx.toStdString());
    rs->SetField(store::kContent, nr.toStdString());
    rs->SetField(store::kCreated, Module1::timestampNow());
    rs->SetField(store::kModified, Module1::timestampNow());
    rs->Update();
  }

  varLx = cmbLx->currentText();
  txtMc->clear();
  txtNr->clear();
  cmbLx->clearEditText();
  rs->Close();
  rs.reset();
  lxsx();
}
