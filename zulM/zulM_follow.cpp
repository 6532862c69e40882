// The store is the file at its path. Sync clients and restored backups put another file in its
// place, and other programs (kelvarn-store, a second instance) change it in place: before
// every write, when its folder changes, and once a second while a window is shown, the
// connections are made to have the file there now, and the tree follows what others changed.
#include <QApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeView>

#include "AccountTree.h"
#include "Controls.h"
#include "ErrorReport.h"
#include "OwnWrites.h"
#include "Texts.h"
#include "zulM.h"
#include "zulTjXg.h"

namespace {

constexpr qint64 kStoreMissingMs = 5000;

}  // namespace

void zulM::startFollowing() {
  fswWjj = new QFileSystemWatcher({QFileInfo(storePath_).absolutePath()}, this);
  connect(fswWjj, &QFileSystemWatcher::directoryChanged, this, &zulM::fswWjj_DirectoryChanged);
  Timer2 = new QTimer(this);
  connect(Timer2, &QTimer::timeout, this, &zulM::Timer2_Timer);
  Timer2->start(1000);
}

// A file that is not a store (damaged, half-written, gone) throws as at start: the standard
// report, nothing written.
// While locked nothing is asked: unlocking opens the file there then, and reads it anew.
void zulM::followStore() {
  if (blnSd) return;
  if (cn.outdated()) {
    // Syncthing removes the old file a moment before it renames the new one into place: a file
    // missing is given a few seconds to come back. A write meanwhile SQLite refuses.
    if (!QFileInfo::exists(storePath_)) {
      if (!storeMissing.isValid()) storeMissing.start();
      if (!storeMissing.hasExpired(kStoreMissingMs)) return;
    }
    storeMissing.invalidate();
    cn.reopen();
    if (cn.locked() && !askStorePassphrase(texts::kStoreReplacedNote))
      return Module1::endProgram(0);
    txtXs->setSecret(cn.isProtected());
    if (editorWindow) editorWindow->reconnect();
    treeAt.reset();
    armLock();
  }
  const std::optional<std::uint32_t> now = cn.changeCounter();
  if (!treeAt || (now != treeAt && !cn.ownWrites().since(*treeAt, now))) treeStale = true;
}

// Renames show here at once; changes in place are found by the timer. The folder is listed for
// conflict copies only after it changed: a copy that appears while the editor or another box is
// open is offered once the window is back.
void zulM::fswWjj_DirectoryChanged() {
  mergesPending = true;
  followChanges();
}

void zulM::Timer2_Timer() {
  if (isVisible() || (editorWindow && editorWindow->isVisible())) followChanges();
}

void zulM::followChanges() {
  followStore();
  if (!isVisible() || !isEnabled()) return;
  if (treeStale) refreshTree();
  if (mergesPending && !QApplication::activeModalWidget()) offerMerges();
}

// The account shown stays shown, as it is now, if it is still there; otherwise the view and the
// label empty as after a delete.
void zulM::refreshTree() {
  treeStale = false;
  const store::RowId shown = shownRowId;
  const QString name = strMc;
  sxnode();
  an();
  const QModelIndex node = tree->findRow(shown);
  if (node.isValid() && tree->text(node) == name) {
    tvwXs->selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
    tvwXs_DblClick();
  } else if (shown != 0) {
    Module1::setBoxText(txtXs, {});
    shownRowId = 0;
  }
}
