#include "FoundAccounts.h"

#include "AccountTree.h"
#include "Texts.h"

void FoundAccounts::show(std::vector<QModelIndex> nodes) {
  beginResetModel();
  nodes_ = std::move(nodes);
  endResetModel();
}

int FoundAccounts::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(nodes_.size());
}

int FoundAccounts::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant FoundAccounts::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const QModelIndex& account = nodes_[index.row()];
  return tree_.text(index.column() == 0 ? account : account.parent());
}

QVariant FoundAccounts::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return QString::fromUtf8(section == 0 ? texts::kFindName : texts::kFindType);
}
