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

namespace {

// The box shows CR LF and lone CR as plain line breaks, so contents are compared with every
// line break written as LF.
QString unifiedLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

// Among the rows of one name, the row this opening modifies. Two accounts may share a name,
// so the name alone does not say which one the user was shown.
bool moveToRow(store::Recordset& rs, store::RowId target) {
  const std::int64_t count = rs.RecordCount();
  for (std::int64_t i = 1; i <= count; ++i) {
    if (rs.CurrentRowId() == target) return true;
    rs.MoveNext();
  }
  return false;
}

}  // namespace

void zulTjXg::openForModify(store::RowId row, const QString& name, const QString& type,
                            const QString& content) {
  targetRowId = row;
  strMc = name;
  showEditor();
  Module1::setBoxText(txtNr, content);
  txtMc->setText(name);
  cmbLx->clear();
  cmdXg->setEnabled(true);
  cmdTj->setEnabled(false);
  cmbLx->addItem(type);
  cmbLx->setCurrentIndex(0);
  txtNr->setFocus();
}

// The account this opening modifies among the rows of its name, as rs's current row.
bool zulTjXg::findTarget() {
  rs = std::make_unique<store::Recordset>();
  rs->Open(store::findByName(strMc.toStdString()), cn);
  if (moveToRow(*rs, targetRowId)) return true;
  rs->Close();
  rs.reset();
  return false;
}

// strMc holds the target row's name as last stored: set by openForModify, and after a confirmed
// rename the new name, so a second modification in the same opening finds the same row.
void zulTjXg::cmdXg_Click() {
  const QString nr = Module1::boxText(txtNr);
  const QString mc = txtMc->text();
  const QString lx = cmbLx->currentText();
  if (lx.isEmpty() || mc.isEmpty() || nr.isEmpty()) {
    Module1::inform(this, texts::kIncompleteModify);
    return;
  }

  emit aboutToWrite();
  if (!findTarget()) {
    Module1::inform(this, texts::kAccountGone);
    return;
  }
  dqjl();

  const bool sameContent = unifiedLineBreaks(strNr) == unifiedLineBreaks(nr);
  if (sameContent && strMc == mc && strLx == lx) {
    Module1::inform(this, texts::kNothingChanged);
    rs->Close();
    rs.reset();
    return;
  }

  bool written = true;
  if (Module1::ask(this, texts::kConfirmModify) == Module1::vbYes) {
    // The file may have been replaced while the question waited: the account is then looked
    // for in the one there now.
    reconnected_ = false;
    emit aboutToWrite();
    written = !reconnected_ || findTarget();
    if (written) {
      rs->SetField(store::kName, mc.toStdString());
      rs->SetField(store::kType, lx.toStdString());
      // An unchanged content keeps its stored line breaks.
      rs->SetField(store::kContent, (sameContent ? strNr : nr).toStdString());
      rs->SetField(store::kModified, Module1::timestampNow());
      written = rs->Update();
      if (written) strMc = mc;
    }
  }
  if (rs) rs->Close();
  rs.reset();
  if (!written) Module1::inform(this, texts::kAccountGone);
}
