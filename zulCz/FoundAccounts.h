#pragma once

#include <QAbstractTableModel>
#include <vector>

class AccountTree;

// The rows of the find window's list: accounts as nodes of the tree, shown by name and type.
// The nodes are good until the tree is rebuilt, which empties the list first.
class FoundAccounts : public QAbstractTableModel {
 public:
  explicit FoundAccounts(const AccountTree& tree, QObject* parent)
      : QAbstractTableModel(parent), tree_(tree) {}

  void show(std::vector<QModelIndex> nodes);
  const QModelIndex& node(int row) const { return nodes_[row]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  const AccountTree& tree_;
  std::vector<QModelIndex> nodes_;
};
