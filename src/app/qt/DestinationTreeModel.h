#pragma once

#include <QAbstractItemModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTreeView>
#include <vector>

#include "tree/DestinationTree.h"

namespace tolvane {

// Shows the destination tree in a tree view and follows its changes. A node not yet listed
// shows no rows but keeps its expand button (its dummy child stays hidden); opening it asks
// nodeExpanding, which lists it.
class DestinationTreeModel : public QAbstractItemModel, public TreeListener {
  Q_OBJECT

 public:
  // The node's mark state (int): -1 none, 1 unmarked, 2 marked, 4 failed.
  static constexpr int kStateImageRole = Qt::UserRole + 1;

  explicit DestinationTreeModel(DestinationTree& tree, QObject* parent = nullptr);
  ~DestinationTreeModel() override;

  // Shows the model in view; the tree's expand, collapse and select requests go to it.
  void AttachView(QTreeView* view);

  TreeNode* NodeFromIndex(const QModelIndex& index) const;
  QModelIndex IndexOfNode(const TreeNode* node) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  void BeginInsertChildren(TreeNode* parent, int first, int last) override;
  void BeginInsertNode(TreeNode* parent, int row, const NodeRecord& record) override;
  void EndInsertChildren() override;
  void BeginRemoveChildren(TreeNode* parent, int first, int last) override;
  void EndRemoveChildren() override;
  void BeginReorder() override;
  void EndReorder() override;
  void StateImageChanged(TreeNode* node) override;
  void ExpandNode(TreeNode* node) override;
  void CollapseSubtree(TreeNode* node) override;
  void SelectNode(TreeNode* node) override;

 signals:
  // A node that has not been listed is opening. Clearing *allow closes it again.
  void nodeExpanding(tolvane::TreeNode* node, bool* allow);

 private:
  void ListOpenedNode(const QPersistentModelIndex& index);

  DestinationTree& tree_;
  QPointer<QTreeView> view_;
  std::vector<TreeNode*> reorderNodes_;   // nodes behind the persistent indexes during a sort
  std::vector<bool> hidden_;              // per open insert/remove: it concerns a dummy node
  std::vector<const TreeNode*> pending_;  // opened nodes waiting for their listing
};

}  // namespace tolvane
