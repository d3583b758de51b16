#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolvane {

// Mark states, as the tree's state pictures.
inline constexpr int kStateNone = -1;  // can never be marked
inline constexpr int kStateUnmarked = 1;
inline constexpr int kStateMarked = 2;
inline constexpr int kStateGrey = 3;    // drawn, never set
inline constexpr int kStateFailed = 4;  // marked, and something failed there in a run

inline bool IsMarkedState(int state) { return state == kStateMarked || state == kStateFailed; }

// What the node shows as its icon.
enum class NodeIcon { Network, Workgroup, Server, Share, Folder, Shortcut, None };

// What every node carries.
struct NodeRecord {
  std::string folderPath;  // UNC path of the node's folder, or empty
  std::string nodeName;    // the node's shown text
  std::string nodePath;    // node names from the root down, joined by TAB
  bool markable = false;   // a click on the state picture may mark it
};

class TreeNode {
 public:
  const NodeRecord& Record() const { return record_; }
  const std::string& Text() const { return text_; }
  NodeIcon Icon() const { return icon_; }
  int StateImage() const { return stateImage_; }
  // Something failed here in the last run (the failed mark also stays from earlier runs).
  bool FailedInLastRun() const { return failedInLastRun_; }
  TreeNode* Parent() const { return parent_; }
  int ChildCount() const { return static_cast<int>(children_.size()); }
  TreeNode* Child(int index) const { return children_.at(static_cast<std::size_t>(index)).get(); }
  // The node's position among its parent's children (or among the top-level nodes).
  int Row() const;

 private:
  friend class DestinationTree;
  NodeRecord record_;
  std::string text_;
  NodeIcon icon_ = NodeIcon::None;
  int stateImage_ = kStateNone;
  bool failedInLastRun_ = false;
  TreeNode* parent_ = nullptr;
  int row_ = 0;
  std::vector<std::unique_ptr<TreeNode>> children_;
};

// Told of every change, so that a view can follow. Expanded and collapsed state is the view's.
class TreeListener {
 public:
  virtual ~TreeListener() = default;
  virtual void BeginInsertChildren(TreeNode* parent, int first, int last) = 0;
  // One node is about to be added, carrying record. A view that hides placeholder nodes can
  // tell them from real ones here.
  virtual void BeginInsertNode(TreeNode* parent, int row, const NodeRecord& record);
  virtual void EndInsertChildren() = 0;
  virtual void BeginRemoveChildren(TreeNode* parent, int first, int last) = 0;
  virtual void EndRemoveChildren() = 0;
  virtual void BeginReorder() = 0;
  virtual void EndReorder() = 0;
  virtual void StateImageChanged(TreeNode* node) = 0;
  virtual void ExpandNode(TreeNode* node) = 0;
  // Collapses the node and all of its descendants.
  virtual void CollapseSubtree(TreeNode* node) = 0;
  virtual void SelectNode(TreeNode* node) = 0;
};

// A destination of a loaded list that could not be found again (a server offline, a share not
// mounted): kept as it was read, so that the next save writes it again, and a run counts it
// as a failed destination.
struct UnrestoredDestination {
  std::string folderPath;
  std::string nodePath;
  friend bool operator==(const UnrestoredDestination&, const UnrestoredDestination&) = default;
};

// The destination tree's nodes, in tree order. Absolute index walks visit a node before its
// children and children in their order, collapsed branches included.
class DestinationTree {
 public:
  DestinationTree();
  ~DestinationTree();
  DestinationTree(const DestinationTree&) = delete;
  DestinationTree& operator=(const DestinationTree&) = delete;

  void SetListener(TreeListener* listener) { listener_ = listener; }

  // parent null adds a top-level node.
  TreeNode* AddNode(TreeNode* parent, NodeRecord record, std::string text, NodeIcon icon,
                    int stateImage);
  void RemoveChildren(TreeNode* parent);
  // Drops one node with everything below it.
  void RemoveNode(TreeNode* node);
  // Orders siblings by compare (negative, zero, positive); equal texts keep their order.
  void SortChildren(TreeNode* parent, bool recursive,
                    const std::function<int(const TreeNode&, const TreeNode&)>& compare);

  int TopLevelCount() const { return static_cast<int>(top_.size()); }
  TreeNode* TopLevel(int index) const { return top_.at(static_cast<std::size_t>(index)).get(); }
  TreeNode* Root() const { return top_.empty() ? nullptr : top_.front().get(); }

  int NodeCount() const;
  TreeNode* NodeAt(int index) const;

  void SetStateImage(TreeNode* node, int state);
  int CountMarkedNodes() const;
  // Which nodes failed in the last run; the listener hears of each change as of a state picture.
  void SetFailedInLastRun(TreeNode* node, bool failed);
  void ClearFailedInLastRun();
  std::vector<TreeNode*> FailedInLastRun() const;

  // Asks the view; nothing changes in the tree itself.
  void Expand(TreeNode* node);
  void CollapseSubtree(TreeNode* node);
  void Select(TreeNode* node);

  // Drops every node (the records go with them).
  void Clear();

  // Destinations of the loaded list that are not in the tree; one per node path.
  void AddUnrestored(UnrestoredDestination destination);
  const std::vector<UnrestoredDestination>& Unrestored() const { return unrestored_; }
  void ClearUnrestored() { unrestored_.clear(); }

 private:
  const std::vector<TreeNode*>& Order() const;
  void Invalidate() { orderValid_ = false; }

  std::vector<std::unique_ptr<TreeNode>> top_;
  TreeListener* listener_ = nullptr;
  mutable std::vector<TreeNode*> order_;
  mutable bool orderValid_ = true;
  std::vector<UnrestoredDestination> unrestored_;
};

}  // namespace tolvane
