#include "zulCz.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include "AccountTree.h"
#include "FoundAccounts.h"
#include "Texts.h"
#include "WindowManager.h"

namespace {

constexpr std::size_t kRowsShown = 1000;
constexpr std::size_t kSearchesKept = 8;  // enough to go back by Backspace without searching

}  // namespace

zulCz::zulCz(const AccountTree& tree, const QIcon& icon) : tree_(tree) {
  searches_.setMaxThreadCount(1);
  setupControls(icon);
  connect(&tree_, &QAbstractItemModel::modelReset, this, &zulCz::tree_Reset);
}

// A search still running must not report to a window that is gone.
zulCz::~zulCz() {
  ++*newest_;
  searches_.waitForDone();
}

// The list stays as it is unless the tree was rebuilt meanwhile.
void zulCz::showFind() {
  if (!index_) searchTree();
  Module1::restoreWindow(this);
  txtCz->setFocus();
  txtCz->selectAll();
}

// A search already made, or one that a recent search narrows, is answered from it.
void zulCz::txtCz_Change() {
  const std::uint64_t number = ++*newest_;
  FindQuery query(txtCz->text());
  if (query.parts.empty()) return showMatches(nullptr);
  std::shared_ptr<const FindMatches> among;
  for (const Search& done : recent_) {
    if (done.query.folded == query.folded) return showMatches(done.matches.get());
    if (!among && query.narrows(done.query)) among = done.matches;
  }
  searches_.start(
      [this, index = index_, query = std::move(query), among, newest = newest_, number]() mutable {
        const auto cancelled = [&] { return *newest != number; };
        std::optional<FindMatches> matches = index->search(query, among.get(), cancelled);
        if (!matches) return;
        Search done{std::move(query), std::make_shared<const FindMatches>(std::move(*matches))};
        QMetaObject::invokeMethod(
            this,
            [this, index, done = std::move(done), newest, number] {
              searched(index, done, *newest == number);
            },
            Qt::QueuedConnection);
      });
}

void zulCz::searched(const std::shared_ptr<const FindIndex>& index, Search search, bool newest) {
  if (index != index_) return;  // made before the tree was rebuilt
  if (newest) showMatches(search.matches.get());
  recent_.push_front(std::move(search));
  if (recent_.size() > kSearchesKept) recent_.pop_back();
}

// Always the newest search's matches; an Enter pressed before they came takes them now.
void zulCz::showMatches(const FindMatches* matches) {
  shown_ = *newest_;
  std::vector<QModelIndex> nodes;
  if (matches)
    for (const std::uint32_t account : matches->first(tree_.treeOrder(), kRowsShown))
      nodes.push_back(tree_.accountIndex(account));
  found->show(std::move(nodes));
  lvwJg->setCurrentIndex(found->index(0, 0));
  labJg->setText(matches ? QString::fromUtf8(texts::kFound).arg(matches->count) : QString());
  if (std::exchange(enterPending_, false) && isVisible()) choose(lvwJg->currentIndex());
}

// Keys seen before the box and the list take them: Up and Down move the highlight from the
// box, Enter takes the highlighted row, Escape closes the window and changes nothing.
bool zulCz::Form_KeyDown(QObject* control, QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      return control == txtCz && QCoreApplication::sendEvent(lvwJg, event);
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (shown_ == *newest_)
        choose(lvwJg->currentIndex());
      else
        enterPending_ = true;
      return true;
    case Qt::Key_Escape:
      enterPending_ = false;
      hide();
      return true;
    default:
      return false;
  }
}

void zulCz::lvwJg_DblClick(const QModelIndex& row) {
  choose(row);
}

// The main window shows the account and closes this window.
void zulCz::choose(const QModelIndex& row) {
  if (row.isValid()) emit chosen(found->node(row.row()));
}

// The rows and the index name accounts of the old tree: both go, and an open window searches
// the new one.
void zulCz::tree_Reset() {
  ++*newest_;
  index_.reset();
  recent_.clear();
  showMatches(nullptr);
  if (isVisible()) searchTree();
}

void zulCz::searchTree() {
  index_ = std::make_shared<const FindIndex>(tree_);
  txtCz_Change();
}

bool zulCz::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == txtCz || watched == lvwJg) && event->type() == QEvent::KeyPress)
    return Form_KeyDown(watched, static_cast<QKeyEvent*>(event));
  return QWidget::eventFilter(watched, event);
}
