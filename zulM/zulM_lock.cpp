// Locking a protected store: an unattended session shows and holds nothing of the accounts until
// the passphrase is typed again. A plain store is never locked.
#include <QItemSelectionModel>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

#include "AccountTree.h"
#include "Controls.h"
#include "LockTriggers.h"
#include "MessageBox.h"
#include "Settings.h"
#include "Texts.h"
#include "Tray.h"
#include "WindowManager.h"
#include "zulCz.h"
#include "zulM.h"
#include "zulTjXg.h"

void zulM::armLock() {
  if (!cn.isProtected()) return;
  if (!triggers) {
    triggers = new Module1::LockTriggers(this);
    connect(triggers, &Module1::LockTriggers::lockRequested, this, &zulM::lockStore);
  }
  triggers->setIdleMinutes(store::lockMinutes(cn));
}

// What is typed in an open editor is sealed at once: a question box shown meanwhile is answered
// 否, and its handler may empty the boxes as it returns. The rest waits for that return, so that
// no handler finds the store locked under it.
void zulM::lockStore() {
  if (!cn.isProtected() || blnSd || askingPassphrase) return;
  blnSd = true;
  lockedView = {};
  for (int type = 0; type < tree->rowCount(); ++type)
    if (tvwXs->isExpanded(tree->index(type, 0))) lockedView.expanded << type;
  if (const std::optional<NodeInfo> node = selectedNode()) lockedView.selected = node->key;
  lockedView.shown = shownRowId;
  lockedView.scrolled = tvwXs->verticalScrollBar()->value();
  lockedView.editorOpen = editorWindow && !isEnabled();
  if (editorWindow) editorWindow->lock(lockedView.editorOpen ? &cn.vault() : nullptr);
  if (Module1::dismissBoxes())
    QTimer::singleShot(0, this, &zulM::forgetStore);
  else
    forgetStore();
}

// Emptied before the window hides, and painted so: its last picture shows no account either.
void zulM::forgetStore() {
  findWindow.reset();
  tree->clear();
  tvwXs->keyboardSearch({});  // what was typed to jump to a node
  Module1::setBoxText(txtXs, {});
  labSjxs->clear();
  strMc.clear(), strLx.clear(), strNr.clear(), arrLx.clear();
  cjsj.reset(), zhxg.reset();
  shownRowId = 0;
  rs.reset();
  treeAt.reset();
  Module1::forgetClipboard();
  cn.forgetKey();
  if (isVisible()) repaint();
  // Hidden already (in the tray, behind the editor, by a box), it is hidden again: without a tray
  // it is minimised instead, so that it can be brought back.
  Module1::hideToTray(this);
  store::wipeStackBelow();
}

// The store is opened as the file at its path is now, and read anew: the follow logic caught up.
// 取消 leaves everything locked, the window in the tray.
void zulM::unlockStore() {
  if (!blnSd || askingPassphrase) return;
  hide();
  if (cn.outdated()) cn.reopen();
  if (cn.locked() && !askStorePassphrase(texts::kLockedNote)) return Module1::hideToTray(this);
  blnSd = false;
  txtXs->setSecret(cn.isProtected());
  if (editorWindow) editorWindow->reconnect();
  armLock();
  sxnode();
  an();
  for (const int type : lockedView.expanded)
    if (type < tree->rowCount()) tvwXs->expand(tree->index(type, 0));
  if (const QModelIndex node = tree->findRow(lockedView.shown); node.isValid()) {
    tvwXs->selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
    tvwXs_DblClick();
  }
  selectNode(lockedView.selected);
  tvwXs->verticalScrollBar()->setValue(lockedView.scrolled);
  if (lockedView.editorOpen && cn.isProtected() && editorWindow->unlock(cn.vault())) return;
  setEnabled(true);
  Module1::restoreWindow(this);
}

void zulM::comeBack() {
  if (blnSd && isVisible() && !isMinimized())
    QTimer::singleShot(0, this, [this] {
      if (isVisible() && !isMinimized()) unlockStore();
    });
}

void zulM::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  comeBack();
}

void zulM::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) comeBack();
}
