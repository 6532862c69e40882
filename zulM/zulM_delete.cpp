#include "Controls.h"
#include "MessageBox.h"
#include "Texts.h"
#include "zulM.h"

namespace {

// Deletes the row `id` from the rows sy1 opened. Walking by identity, not taking the first
// row of the name, keeps a same-named account safe.
bool deleteRow(store::Recordset& rows, store::RowId id) {
  const std::int64_t count = rows.RecordCount();
  for (std::int64_t i = 1; i <= count; ++i) {
    if (rows.CurrentRowId() == id) {
      const bool deleted = rows.Delete(store::adAffectCurrent);
      rows.Update();
      return deleted;
    }
    rows.MoveNext();
  }
  return false;
}

}  // namespace

void zulM::cmdSc_Click() {
  if (Module1::boxText(txtXs).isEmpty()) {
    Module1::inform(this, texts::kSelectToDelete);
    return;
  }
  if (Module1::ask(this, texts::kConfirmDelete) == Module1::vbYes) {
    // A type node has no row of its own; looking its text up as a name could hit an account
    // that happens to be called like the type.
    const std::optional<NodeInfo> node = selectedNode();
    bool deleted = false;
    followStore();  // the row is looked for in the file at the path
    if (node && node->rowId != 0) {
      sy1();
      if (rs && rs->IsOpen()) {
        deleted = deleteRow(*rs, node->rowId);
        rs->Close();
      }
      rs.reset();
    }
    if (!deleted)
      Module1::inform(
          this, node && node->rowId != 0 ? texts::kAccountGoneDelete : texts::kSelectToDelete);
  }
  sxnode();
  an();
  Module1::setBoxText(txtXs, {});
  shownRowId = 0;
}
