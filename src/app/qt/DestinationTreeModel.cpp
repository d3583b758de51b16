#include "app/qt/DestinationTreeModel.h"

#include <QColor>
#include <QFont>
#include <QMetaObject>
#include <algorithm>

#include "app/core/ViewRules.h"
#include "app/qt/TreePictures.h"
#include "tree/NetworkTree.h"

namespace tolvane {

DestinationTreeModel::DestinationTreeModel(DestinationTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {
  tree_.SetListener(this);
}

DestinationTreeModel::~DestinationTreeModel() { tree_.SetListener(nullptr); }

void DestinationTreeModel::AttachView(QTreeView* view) {
  view_ = view;
  if (view && view->model() != this) view->setModel(this);
}

TreeNode* DestinationTreeModel::NodeFromIndex(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex DestinationTreeModel::IndexOfNode(const TreeNode* node) const {
  if (!node) return {};
  return createIndex(node->Row(), 0, const_cast<TreeNode*>(node));
}

QModelIndex DestinationTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const TreeNode* owner = NodeFromIndex(parent);
  const int count = owner ? owner->ChildCount() : tree_.TopLevelCount();
  if (row >= count) return {};
  return IndexOfNode(owner ? owner->Child(row) : tree_.TopLevel(row));
}

QModelIndex DestinationTreeModel::parent(const QModelIndex& child) const {
  const TreeNode* node = NodeFromIndex(child);
  return node ? IndexOfNode(node->Parent()) : QModelIndex();
}

int DestinationTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const TreeNode* node = NodeFromIndex(parent);
  if (!node) return tree_.TopLevelCount();
  return NetworkTree::HasDummyChild(node) ? 0 : node->ChildCount();
}

bool DestinationTreeModel::hasChildren(const QModelIndex& parent) const {
  if (parent.column() > 0) return false;
  const TreeNode* node = NodeFromIndex(parent);
  return node ? node->ChildCount() > 0 : tree_.TopLevelCount() > 0;
}

int DestinationTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant DestinationTreeModel::data(const QModelIndex& index, int role) const {
  const TreeNode* node = NodeFromIndex(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(node->Text());
    case Qt::DecorationRole:
      return NodeIconPicture(node->Icon());
    case kStateImageRole:
      return node->StateImage();
    case Qt::FontRole:
      // What failed in the last run stands out among the failed marks of earlier runs.
      if (node->FailedInLastRun()) {
        QFont font;
        font.setBold(true);
        return font;
      }
      return {};
    case Qt::ForegroundRole:
      if (node->FailedInLastRun()) return QColor(0xD0, 0x20, 0x20);
      return {};
    default:
      return {};
  }
}

bool DestinationTreeModel::canFetchMore(const QModelIndex& parent) const {
  return NetworkTree::HasDummyChild(NodeFromIndex(parent));
}

void DestinationTreeModel::fetchMore(const QModelIndex& parent) {
  const TreeNode* node = NodeFromIndex(parent);
  if (!node || std::find(pending_.begin(), pending_.end(), node) != pending_.end()) return;
  // The view asks while it lays itself out, when rows must not change under it, and a network
  // listing lets events run; so the listing comes right after, from the event loop.
  pending_.push_back(node);
  QMetaObject::invokeMethod(
      this,
      [this, node, index = QPersistentModelIndex(parent)] {
        std::erase(pending_, node);
        ListOpenedNode(index);
      },
      Qt::QueuedConnection);
}

void DestinationTreeModel::ListOpenedNode(const QPersistentModelIndex& index) {
  TreeNode* node = NodeFromIndex(index);
  if (!node || !NetworkTree::HasDummyChild(node)) return;
  bool allow = true;
  emit nodeExpanding(node, &allow);
  if (!allow && view_ && index.isValid()) view_->collapse(index);
}

void DestinationTreeModel::BeginInsertChildren(TreeNode* parent, int first, int last) {
  hidden_.push_back(false);
  beginInsertRows(IndexOfNode(parent), first, last);
}

void DestinationTreeModel::BeginInsertNode(TreeNode* parent, int row, const NodeRecord& record) {
  if (IsHiddenPlaceholder(parent, record)) {
    hidden_.push_back(true);
  } else {
    BeginInsertChildren(parent, row, row);
  }
}

void DestinationTreeModel::EndInsertChildren() {
  const bool hidden = !hidden_.empty() && hidden_.back();
  if (!hidden_.empty()) hidden_.pop_back();
  if (!hidden) endInsertRows();
}

void DestinationTreeModel::BeginRemoveChildren(TreeNode* parent, int first, int last) {
  const bool hidden = NetworkTree::HasDummyChild(parent);
  hidden_.push_back(hidden);
  if (!hidden) beginRemoveRows(IndexOfNode(parent), first, last);
}

void DestinationTreeModel::EndRemoveChildren() {
  const bool hidden = !hidden_.empty() && hidden_.back();
  if (!hidden_.empty()) hidden_.pop_back();
  if (!hidden) endRemoveRows();
}

void DestinationTreeModel::BeginReorder() {
  emit layoutAboutToBeChanged();
  reorderNodes_.clear();
  for (const QModelIndex& index : persistentIndexList()) {
    reorderNodes_.push_back(NodeFromIndex(index));
  }
}

void DestinationTreeModel::EndReorder() {
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (std::size_t i = 0; i < reorderNodes_.size(); ++i) {
    after.push_back(IndexOfNode(reorderNodes_[i]));
  }
  changePersistentIndexList(before, after);
  reorderNodes_.clear();
  emit layoutChanged();
}

void DestinationTreeModel::StateImageChanged(TreeNode* node) {
  const QModelIndex index = IndexOfNode(node);
  emit dataChanged(index, index, {kStateImageRole, Qt::FontRole, Qt::ForegroundRole});
}

void DestinationTreeModel::ExpandNode(TreeNode* node) {
  if (view_) view_->expand(IndexOfNode(node));
}

void DestinationTreeModel::CollapseSubtree(TreeNode* node) {
  if (!view_ || !node) return;
  for (TreeNode* open : CollapseOrder(node)) {
    const QModelIndex index = IndexOfNode(open);
    if (view_->isExpanded(index)) view_->collapse(index);
  }
}

void DestinationTreeModel::SelectNode(TreeNode* node) {
  if (!view_) return;
  const QModelIndex index = IndexOfNode(node);
  view_->setCurrentIndex(index);
  view_->scrollTo(index);
}

}  // namespace tolvane
