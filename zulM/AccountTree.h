#pragma once

#include <QAbstractItemModel>
#include <QStringList>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "OwnWrites.h"
#include "Recordset.h"

// The nodes of tvwXs: type nodes at the top, account nodes under them. Built for a million
// accounts: about 24 bytes per account plus its name, kept as UTF-8 and turned into a
// QString only when the view asks for it.
class AccountTree : public QAbstractItemModel {
  Q_OBJECT

  // Memory for the per-account columns. Large blocks are mapped with transparent huge pages
  // asked for: filling a million accounts then takes a few dozen page faults instead of
  // some ten thousand, which on a virtual machine is most of a rebuild's time.
  static void* allocateBulk(std::size_t bytes);
  static void freeBulk(void* block, std::size_t bytes);
  template <typename T>
  struct BulkAllocator {
    using value_type = T;
    BulkAllocator() = default;
    template <typename U>
    BulkAllocator(const BulkAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocateBulk(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) { freeBulk(p, n * sizeof(T)); }
    bool operator==(const BulkAllocator&) const = default;
  };
  template <typename T>
  using Column = std::vector<T, BulkAllocator<T>>;

  struct Type {
    std::uint64_t textBegin = 0;
    std::uint32_t textSize = 0;
    std::uint32_t firstChild = 0;  // into `grouped`
    std::uint32_t childCount = 0;
  };
  // From account `firstAccount` on, this many rows without a type come before each account.
  struct Gap {
    std::uint32_t firstAccount;
    std::int64_t skippedRows;
  };
  // Accounts are numbered in store order; their fields are kept column by column.
  struct Nodes {
    std::string typeText;     // the types' texts back to back
    std::vector<Type> types;  // in order of first appearance
    std::basic_string<char, std::char_traits<char>, BulkAllocator<char>> names;  // back to back
    Column<std::uint64_t> nameEnd;  // where each account's name ends in `names`
    Column<store::RowId> rowIds;
    Column<std::uint32_t> typeOf;
    Column<std::uint32_t> grouped;  // account numbers, type after type
    std::vector<Gap> gaps;
    std::int64_t rows = 0;     // rows seen, with or without a type
    store::RowId lastRow = 0;  // the highest row seen
  };

 public:
  using QAbstractItemModel::QAbstractItemModel;

  // Collects one rebuild's nodes; replace() then shows them with a single model reset.
  class Builder {
   public:
    explicit Builder(std::int64_t expectedRows);
    // The next row in store order. A row with an empty type gets no node but keeps its place
    // in the account keys.
    void add(std::string_view type, std::string_view name, store::RowId rowId);

   private:
    friend class AccountTree;
    struct Hash {
      using is_transparent = void;
      std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    Nodes nodes_;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> typeIndex_;
  };

  void replace(Builder&& builder);
  void clear();
  // Rebuilds the nodes with the accounts changed since they were read (in store order, each as
  // it is now, or removed). False, changing nothing, where one of them cannot be placed (a row
  // without a type that was there before): then the store is read anew.
  bool follow(const std::vector<store::ChangedAccount>& changes);

  QStringList typeTexts() const;
  bool isType(const QModelIndex& index) const;
  QString text(const QModelIndex& index) const;
  // "y" + the type's 1-based place, or "c" + the account's 1-based position in the store.
  QString key(const QModelIndex& index) const;
  store::RowId rowId(const QModelIndex& index) const;  // 0 for type nodes
  // The node of an account's row, or an invalid index.
  QModelIndex findRow(store::RowId row) const;
  // The node of a key, or an invalid index when no node has it.
  QModelIndex find(const QString& key) const;

  // The accounts by number, in store order, for the find window: each one's name as stored,
  // its type node's row, its node; and the account numbers in tree order.
  std::uint32_t accountCount() const { return static_cast<std::uint32_t>(nodes_.rowIds.size()); }
  std::string_view accountName(std::uint32_t account) const;
  std::uint32_t accountType(std::uint32_t account) const { return nodes_.typeOf[account]; }
  QModelIndex accountIndex(std::uint32_t account) const;
  std::span<const std::uint32_t> treeOrder() const { return nodes_.grouped; }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  // Account indexes carry their slot in `grouped` plus one; type indexes carry 0.
  std::uint32_t account(const QModelIndex& index) const {
    return nodes_.grouped[index.internalId() - 1];
  }
  std::int64_t position(std::uint32_t account) const;

  Nodes nodes_;
};
