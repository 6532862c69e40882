#pragma once

#include <QStringList>

class QTreeWidget;

namespace store {
class Connection;
}

// The original way of building the account tree, kept as the yardstick for the real one:
// every row's five fields read in a first pass, duplicate types blanked pairwise, then one
// full pass over the record set per type, nodes added one by one into the live tree.
// Returns the type list (arrLx).
QStringList literalSxnode(store::Connection& cn, QTreeWidget& tvwXs);
