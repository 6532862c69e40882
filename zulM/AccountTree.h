#pragma once

#include <QAbstractItemModel>

// The nodes of tvwXs: type nodes at the top, account nodes under them.
class AccountTree : public QAbstractItemModel {
  Q_OBJECT

 public:
  using QAbstractItemModel::QAbstractItemModel;
};
