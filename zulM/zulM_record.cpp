// The record view: showing the double-clicked account, the blocked right button, Ctrl+C.
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>

#include "Controls.h"
#include "MessageBox.h"
#include "Statements.h"
#include "Texts.h"
#include "zulM.h"

// With nothing selected rs stays closed, as it does for an empty table.
void zulM::sy1() {
  if (blnEmpty) return;
  const std::optional<NodeInfo> node = selectedNode();
  if (!node) return;
  rs = std::make_unique<store::Recordset>();
  rs->Open(store::findByName(node->text.toStdString()), cn);
}

// Names need not be unique, so the node's own row is taken among those of its name; if that
// row is gone the view keeps what it showed.
void zulM::tvwXs_DblClick() {
  if (blnEmpty) return;
  const std::optional<NodeInfo> node = selectedNode();
  if (!node) return;
  if (node->children > 0) {
    Module1::setBoxText(txtXs, {});
    shownRowId = 0;
    return;
  }
  sy1();
  const std::int64_t count = rs->RecordCount();
  for (std::int64_t i = 1; i <= count && !rs->AtEnd(); ++i) {
    if (rs->CurrentRowId() == node->rowId) {
      dqjl();
      Module1::setBoxText(txtXs, strNr);
      shownRowId = node->rowId;
      break;
    }
    rs->MoveNext();
  }
  rs->Close();
  rs.reset();
}

void zulM::txtXs_MouseDown(Qt::MouseButton button) {
  if (button == Qt::RightButton) Module1::inform(this, texts::kRightClickBlocked);
}

// The box's own Ctrl+C handling runs afterwards, so the key is never swallowed.
bool zulM::txtXs_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
  constexpr Qt::KeyboardModifiers kShiftCtrlAlt =
      Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
  if (keyCode == Qt::Key_C && (shift & kShiftCtrlAlt) == Qt::ControlModifier) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const QString selection = txtXs->textCursor().selectedText();
    if (!selection.isEmpty())
      clipboard->setMimeData(Module1::clipboardData(selection, txtXs->secret()));
  }
  return false;
}
