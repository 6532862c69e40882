#include <QTreeView>

#include "AccountTree.h"
#include "zulCz.h"
#include "zulM.h"

void zulM::mnuCz_Click() {
  if (!findWindow) {
    findWindow = std::make_unique<zulCz>(*tree, windowIcon());
    connect(findWindow.get(), &zulCz::chosen, this, &zulM::findWindow_Chosen);
  }
  findWindow->showFind();
}

void zulM::closeFind() {
  if (findWindow) findWindow->hide();
}

// Shown exactly as a double-click on its node shows it; the find window closes before this
// window takes the focus back.
void zulM::findWindow_Chosen(const QModelIndex& node) {
  selectNode(tree->key(node));
  tvwXs->scrollTo(node);  // opens the node's type
  tvwXs->setFocus();
  tvwXs_DblClick();
  closeFind();
  activateWindow();
}
