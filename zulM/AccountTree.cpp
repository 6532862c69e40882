#include "AccountTree.h"

#include <string.h>
#include <sys/mman.h>

#include <algorithm>
#include <limits>
#include <new>

namespace {

// Reserved, not touched: untouched pages of a large allocation cost no memory.
constexpr std::size_t kNameBytesReserved = 48;
constexpr std::size_t kNameBytesReservedAtMost = std::size_t{1} << 30;
constexpr std::size_t kBulkBytes = std::size_t{2} << 20;

}  // namespace

void* AccountTree::allocateBulk(std::size_t bytes) {
  if (bytes < kBulkBytes) return ::operator new(bytes);
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  madvise(block, bytes, MADV_HUGEPAGE);  // a hint: without huge pages the block still works
#endif
  return block;
}

void AccountTree::freeBulk(void* block, std::size_t bytes) {
  if (bytes < kBulkBytes) {
    ::operator delete(block);
  } else {
    explicit_bzero(block, bytes);  // names: nothing of them may outlive the tree
    munmap(block, bytes);
  }
}

AccountTree::Builder::Builder(std::int64_t expectedRows) {
  const auto rows = static_cast<std::size_t>(std::max<std::int64_t>(expectedRows, 0));
  nodes_.names.reserve(std::min(rows * kNameBytesReserved, kNameBytesReservedAtMost));
  nodes_.nameEnd.reserve(rows);
  nodes_.rowIds.reserve(rows);
  nodes_.typeOf.reserve(rows);
}

void AccountTree::Builder::add(std::string_view type, std::string_view name, store::RowId rowId) {
  ++nodes_.rows;
  nodes_.lastRow = std::max(nodes_.lastRow, rowId);
  if (type.empty()) return;
  auto found = typeIndex_.find(type);
  if (found == typeIndex_.end()) {
    found = typeIndex_.emplace(std::string(type), static_cast<std::uint32_t>(nodes_.types.size()))
                .first;
    nodes_.types.push_back({nodes_.typeText.size(), static_cast<std::uint32_t>(type.size()), 0, 0});
    nodes_.typeText.append(type);
  }
  ++nodes_.types[found->second].childCount;

  const auto account = static_cast<std::uint32_t>(nodes_.rowIds.size());
  const std::int64_t skipped = nodes_.rows - 1 - account;
  if (skipped != (nodes_.gaps.empty() ? 0 : nodes_.gaps.back().skippedRows))
    nodes_.gaps.push_back({account, skipped});
  nodes_.names.append(name);
  nodes_.nameEnd.push_back(nodes_.names.size());
  nodes_.rowIds.push_back(rowId);
  nodes_.typeOf.push_back(found->second);
}

void AccountTree::replace(Builder&& builder) {
  // Group the accounts type after type with one counting pass, keeping store order inside.
  Nodes& nodes = builder.nodes_;
  std::vector<std::uint32_t> fill;
  fill.reserve(nodes.types.size());
  std::uint32_t next = 0;
  for (Type& type : nodes.types) {
    type.firstChild = next;
    fill.push_back(next);
    next += type.childCount;
  }
  nodes.grouped.resize(nodes.typeOf.size());
  for (std::uint32_t a = 0; a < nodes.typeOf.size(); ++a)
    nodes.grouped[fill[nodes.typeOf[a]]++] = a;

  beginResetModel();
  nodes_ = std::move(nodes);
  endResetModel();
}

void AccountTree::clear() {
  replace(Builder(0));
}

bool AccountTree::follow(const std::vector<store::ChangedAccount>& changes) {
  Builder nodes(nodes_.rows + static_cast<std::int64_t>(changes.size()));
  auto change = changes.begin();
  // A row that is not an account node is placed only when it is new, after every row read.
  const auto placeNew = [&](store::RowId before) {
    for (; change != changes.end() && change->row < before; ++change) {
      if (change->removed || change->row <= nodes_.lastRow) return false;
      nodes.add(change->type, change->name, change->row);
    }
    return true;
  };
  std::int64_t skipped = 0;  // rows without a type passed so far
  for (std::uint32_t a = 0; a <= accountCount(); ++a) {
    const bool last = a == accountCount();
    const std::int64_t before = (last ? nodes_.rows : position(a) - 1) - a;
    for (; skipped < before; ++skipped) nodes.add({}, {}, 0);
    if (last) break;
    const store::RowId row = nodes_.rowIds[a];
    if (!placeNew(row)) return false;
    if (change != changes.end() && change->row == row) {
      if (!change->removed) nodes.add(change->type, change->name, row);
      ++change;
    } else {
      const Type& type = nodes_.types[nodes_.typeOf[a]];
      nodes.add({nodes_.typeText.data() + type.textBegin, type.textSize}, accountName(a), row);
    }
  }
  if (!placeNew(std::numeric_limits<store::RowId>::max()) || change != changes.end()) return false;
  nodes.nodes_.lastRow = std::max(nodes.nodes_.lastRow, nodes_.lastRow);
  replace(std::move(nodes));
  return true;
}

QStringList AccountTree::typeTexts() const {
  QStringList out;
  out.reserve(static_cast<qsizetype>(nodes_.types.size()));
  for (const Type& type : nodes_.types)
    out << QString::fromUtf8(nodes_.typeText.data() + type.textBegin, type.textSize);
  return out;
}

bool AccountTree::isType(const QModelIndex& index) const {
  return index.isValid() && index.internalId() == 0;
}

QString AccountTree::text(const QModelIndex& index) const {
  if (!index.isValid()) return {};
  if (isType(index)) {
    const Type& type = nodes_.types[index.row()];
    return QString::fromUtf8(nodes_.typeText.data() + type.textBegin, type.textSize);
  }
  const std::string_view name = accountName(account(index));
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

std::string_view AccountTree::accountName(std::uint32_t account) const {
  const std::uint64_t begin = account == 0 ? 0 : nodes_.nameEnd[account - 1];
  return {nodes_.names.data() + begin, nodes_.nameEnd[account] - begin};
}

QString AccountTree::key(const QModelIndex& index) const {
  if (!index.isValid()) return {};
  if (isType(index)) return QLatin1Char('y') + QString::number(index.row() + 1);
  return QLatin1Char('c') + QString::number(position(account(index)));
}

store::RowId AccountTree::rowId(const QModelIndex& index) const {
  return index.isValid() && !isType(index) ? nodes_.rowIds[account(index)] : 0;
}

std::int64_t AccountTree::position(std::uint32_t account) const {
  const auto gap =
      std::upper_bound(nodes_.gaps.begin(), nodes_.gaps.end(), account,
                       [](std::uint32_t a, const Gap& g) { return a < g.firstAccount; });
  return account + 1 + (gap == nodes_.gaps.begin() ? 0 : std::prev(gap)->skippedRows);
}

QModelIndex AccountTree::accountIndex(std::uint32_t account) const {
  // Each type's slice of `grouped` is in store order, so the account is found by halving.
  const Type& type = nodes_.types[nodes_.typeOf[account]];
  const auto first = nodes_.grouped.begin() + type.firstChild;
  const auto slot = std::lower_bound(first, first + type.childCount, account);
  return createIndex(static_cast<int>(slot - first), 0,
                     quintptr(slot - nodes_.grouped.begin()) + 1);
}

QModelIndex AccountTree::findRow(store::RowId row) const {
  const auto at = std::lower_bound(nodes_.rowIds.begin(), nodes_.rowIds.end(), row);
  if (at == nodes_.rowIds.end() || *at != row) return {};
  return accountIndex(static_cast<std::uint32_t>(at - nodes_.rowIds.begin()));
}

QModelIndex AccountTree::find(const QString& key) const {
  bool ok = false;
  const qint64 number = key.mid(1).toLongLong(&ok);
  if (!ok || number < 1 || key.mid(1) != QString::number(number)) return {};
  if (key.startsWith(QLatin1Char('y'))) {
    if (number > static_cast<qint64>(nodes_.types.size())) return {};
    return createIndex(static_cast<int>(number - 1), 0, quintptr(0));
  }
  if (!key.startsWith(QLatin1Char('c'))) return {};
  // Positions grow with the account number.
  std::uint32_t low = 0;
  std::uint32_t high = static_cast<std::uint32_t>(nodes_.rowIds.size());
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    if (position(middle) < number)
      low = middle + 1;
    else
      high = middle;
  }
  if (low == nodes_.rowIds.size() || position(low) != number) return {};
  return accountIndex(low);
}

QModelIndex AccountTree::index(int row, int column, const QModelIndex& parent) const {
  if (!hasIndex(row, column, parent)) return {};
  if (!parent.isValid()) return createIndex(row, column, quintptr(0));
  return createIndex(row, column, quintptr(nodes_.types[parent.row()].firstChild) + row + 1);
}

QModelIndex AccountTree::parent(const QModelIndex& child) const {
  if (!child.isValid() || isType(child)) return {};
  return createIndex(static_cast<int>(nodes_.typeOf[account(child)]), 0, quintptr(0));
}

int AccountTree::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(nodes_.types.size());
  if (parent.column() != 0 || !isType(parent)) return 0;
  return static_cast<int>(nodes_.types[parent.row()].childCount);
}

int AccountTree::columnCount(const QModelIndex&) const {
  return 1;
}

bool AccountTree::hasChildren(const QModelIndex& parent) const {
  return rowCount(parent) > 0;
}

QVariant AccountTree::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return text(index);
}

Qt::ItemFlags AccountTree::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  const Qt::ItemFlags node = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return isType(index) ? node : node | Qt::ItemNeverHasChildren;
}
