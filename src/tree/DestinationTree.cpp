#include "tree/DestinationTree.h"

#include <algorithm>

namespace tolvane {

int TreeNode::Row() const { return row_; }

void TreeListener::BeginInsertNode(TreeNode* parent, int row, const NodeRecord&) {
  BeginInsertChildren(parent, row, row);
}

DestinationTree::DestinationTree() = default;
DestinationTree::~DestinationTree() = default;

TreeNode* DestinationTree::AddNode(TreeNode* parent, NodeRecord record, std::string text,
                                   NodeIcon icon, int stateImage) {
  auto& siblings = parent ? parent->children_ : top_;
  const int row = static_cast<int>(siblings.size());
  if (listener_) listener_->BeginInsertNode(parent, row, record);
  auto node = std::make_unique<TreeNode>();
  node->record_ = std::move(record);
  node->text_ = std::move(text);
  node->icon_ = icon;
  node->stateImage_ = stateImage;
  node->parent_ = parent;
  node->row_ = row;
  TreeNode* added = node.get();
  siblings.push_back(std::move(node));
  Invalidate();
  if (listener_) listener_->EndInsertChildren();
  return added;
}

void DestinationTree::RemoveChildren(TreeNode* parent) {
  auto& siblings = parent ? parent->children_ : top_;
  if (siblings.empty()) return;
  if (listener_) listener_->BeginRemoveChildren(parent, 0, static_cast<int>(siblings.size()) - 1);
  siblings.clear();
  Invalidate();
  if (listener_) listener_->EndRemoveChildren();
}

void DestinationTree::RemoveNode(TreeNode* node) {
  if (!node) return;
  TreeNode* parent = node->Parent();
  auto& siblings = parent ? parent->children_ : top_;
  const int row = node->Row();
  if (listener_) listener_->BeginRemoveChildren(parent, row, row);
  siblings.erase(siblings.begin() + row);
  for (std::size_t i = static_cast<std::size_t>(row); i < siblings.size(); ++i) {
    siblings[i]->row_ = static_cast<int>(i);
  }
  Invalidate();
  if (listener_) listener_->EndRemoveChildren();
}

void DestinationTree::SortChildren(
    TreeNode* parent, bool recursive,
    const std::function<int(const TreeNode&, const TreeNode&)>& compare) {
  if (listener_) listener_->BeginReorder();
  std::vector<TreeNode*> pending{parent};
  while (!pending.empty()) {
    TreeNode* current = pending.back();
    pending.pop_back();
    auto& siblings = current ? current->children_ : top_;
    std::stable_sort(siblings.begin(), siblings.end(),
                     [&](const auto& a, const auto& b) { return compare(*a, *b) < 0; });
    for (std::size_t i = 0; i < siblings.size(); ++i) {
      siblings[i]->row_ = static_cast<int>(i);
      if (recursive) pending.push_back(siblings[i].get());
    }
  }
  Invalidate();
  if (listener_) listener_->EndReorder();
}

const std::vector<TreeNode*>& DestinationTree::Order() const {
  if (!orderValid_) {
    order_.clear();
    std::vector<TreeNode*> stack;
    for (auto it = top_.rbegin(); it != top_.rend(); ++it) stack.push_back(it->get());
    while (!stack.empty()) {
      TreeNode* node = stack.back();
      stack.pop_back();
      order_.push_back(node);
      for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it) {
        stack.push_back(it->get());
      }
    }
    orderValid_ = true;
  }
  return order_;
}

int DestinationTree::NodeCount() const { return static_cast<int>(Order().size()); }

TreeNode* DestinationTree::NodeAt(int index) const {
  const auto& order = Order();
  if (index < 0 || index >= static_cast<int>(order.size())) return nullptr;
  return order[static_cast<std::size_t>(index)];
}

void DestinationTree::SetStateImage(TreeNode* node, int state) {
  if (!node || node->stateImage_ == state) return;
  node->stateImage_ = state;
  if (listener_) listener_->StateImageChanged(node);
}

int DestinationTree::CountMarkedNodes() const {
  const auto& order = Order();
  return static_cast<int>(std::count_if(
      order.begin(), order.end(), [](const TreeNode* n) { return IsMarkedState(n->stateImage_); }));
}

void DestinationTree::SetFailedInLastRun(TreeNode* node, bool failed) {
  if (!node || node->failedInLastRun_ == failed) return;
  node->failedInLastRun_ = failed;
  if (listener_) listener_->StateImageChanged(node);
}

void DestinationTree::ClearFailedInLastRun() {
  for (TreeNode* node : FailedInLastRun()) SetFailedInLastRun(node, false);
}

std::vector<TreeNode*> DestinationTree::FailedInLastRun() const {
  std::vector<TreeNode*> failed;
  for (TreeNode* node : Order()) {
    if (node->failedInLastRun_) failed.push_back(node);
  }
  return failed;
}

void DestinationTree::Expand(TreeNode* node) {
  if (listener_ && node) listener_->ExpandNode(node);
}
void DestinationTree::CollapseSubtree(TreeNode* node) {
  if (listener_ && node) listener_->CollapseSubtree(node);
}
void DestinationTree::Select(TreeNode* node) {
  if (listener_ && node) listener_->SelectNode(node);
}

void DestinationTree::Clear() { RemoveChildren(nullptr); }

void DestinationTree::AddUnrestored(UnrestoredDestination destination) {
  for (const auto& kept : unrestored_) {
    if (kept.nodePath == destination.nodePath) return;
  }
  unrestored_.push_back(std::move(destination));
}

}  // namespace tolvane
