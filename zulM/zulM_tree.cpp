// The account tree: rebuilding it from the store, the empty-table flag and the node access.
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTreeView>

#include "AccountTree.h"
#include "Statements.h"
#include "zulM.h"

namespace {

QString fieldText(store::Recordset& rs, const char* name) {
  return QString::fromStdString(rs.Field(name).value_or(std::string()));
}

NodeInfo nodeInfo(const AccountTree& tree, const QModelIndex& index) {
  return {tree.key(index), tree.text(index), tree.key(index.parent()), tree.rowCount(index),
          tree.rowId(index)};
}

}  // namespace

// One scan of the table, linear in its rows: types are found by hashing and accounts grouped
// under them. Only name, type and row identity are read here; the content is fetched when an
// account is shown. A store sealed whole would have every name and type opened again: when
// nothing but this program wrote to it since the tree was read, the tree follows those writes.
void zulM::sxnode() {
  if (cn.form() == store::Form::Whole && treeAt) {
    const auto changes = store::ownChangesSince(cn, *treeAt);
    if (changes && tree->follow(*changes)) {
      arrLx = tree->typeTexts();
      return;
    }
  }
  treeAt = cn.changeCounter();  // before the walk: a write during it makes the tree stale
  rs = std::make_unique<store::Recordset>();
  rs->Open(store::kTableName, cn);
  const std::int64_t count = rs->RecordCount();
  if (count == 0) {
    tree->clear();
    blnEmpty = true;
  } else {
    AccountTree::Builder nodes(count);
    for (std::int64_t row = 1; row <= count && !rs->AtEnd(); ++row) {
      nodes.add(rs->FieldText(store::kType), rs->FieldText(store::kName), rs->CurrentRowId());
      rs->MoveNext();
    }
    tree->replace(std::move(nodes));
    arrLx = tree->typeTexts();
  }
  rs->Close();
  rs.reset();
}

void zulM::an() {
  rs = std::make_unique<store::Recordset>();
  rs->Open(store::kTableName, cn);
  const bool empty = rs->RecordCount() == 0;
  cmdSc->setEnabled(!empty);
  cmdXg->setEnabled(!empty);
  blnEmpty = empty;
  rs->Close();
  rs.reset();
}

void zulM::dqjl() {
  strMc = fieldText(*rs, store::kName);
  strLx = fieldText(*rs, store::kType);
  strNr = fieldText(*rs, store::kContent);
  cjsj = rs->Field(store::kCreated);
  zhxg = rs->Field(store::kModified);
}

std::optional<NodeInfo> zulM::selectedNode() const {
  const QModelIndexList selected = tvwXs->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return std::nullopt;
  return nodeInfo(*tree, selected.first());
}

void zulM::selectNode(const QString& key) {
  const QModelIndex node = tree->find(key);
  if (node.isValid())
    tvwXs->selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
}
