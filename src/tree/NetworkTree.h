#pragma once

#include <functional>
#include <string>

#include "platform/Cursor.h"
#include "platform/EventPump.h"
#include "platform/ShellNamespace.h"
#include "tree/DestinationTree.h"
#include "tree/NodeLocator.h"

namespace tolvane {

// The placeholder child that gives a node not yet listed its expand button.
inline constexpr const char* kDummyNodeName = "//DummyNode";

// Whether a node about to be inserted is such a placeholder, which no window shows: its parent
// shows the expand button instead, and the listing replaces it when the parent opens.
inline bool IsHiddenPlaceholder(const TreeNode* parent, const NodeRecord& record) {
  return parent && record.nodeName == kDummyNodeName;
}

// Builds the destination tree from the shell's network folder and lists it lazily: the root's
// children at start-up, every other node on its first expansion (or when a saved node path
// walks through it). Also finds nodes again by node path.
class NetworkTree : public NodeLocator {
 public:
  NetworkTree(DestinationTree& tree, ShellNamespace& shell, EventPump& pump, Cursor& cursor,
              std::function<bool()> startupComplete);

  // How many servers may be asked at once for their shares before marks are restored (at
  // least 1); 4 until told.
  void SetParallel(std::function<int()> parallel) { parallel_ = std::move(parallel); }

  // The record of a new node. candidate goes in as "could be marked" and comes back as whether
  // the node is markable. linkPath names a shortcut's own file (used when isLink).
  static NodeRecord MakeNodeRecord(const std::string& nameSource, bool& candidate,
                                   const std::string& linkPath, bool isLink,
                                   const TreeNode* parent);
  static bool HasDummyChild(const TreeNode* node);
  // The order of siblings: texts upper-cased (ASCII), then unsigned bytes; equal texts are equal.
  static int CompareNodeTexts(const std::string& a, const std::string& b);

  // Start-up: the root for the network folder with its children listed, then the root
  // expanded and the whole tree sorted.
  void AddNetworkRoot();
  void ExpandRootAndSort();

  // Lists a shell folder (network level) under parent; returns the number of nodes added.
  int AddNetworkChildren(const ShellItem& folder, TreeNode* parent);
  // Adds the server of a network path (\\NAME) under the root as listing the root would, and
  // sorts the root's children; null when the namespace does not know the server.
  TreeNode* AddServerNode(const std::string& serverPath);
  // Lists the sub-folders of a node by its folder path; 0 when the path cannot be opened.
  int AddFolderChildren(TreeNode* node);
  // Replaces the node's dummy child by its real children; returns how many were added.
  int ExpandNode(TreeNode* node);

  // The tree view asks before it opens a node: lists a node that has not been listed yet and
  // answers whether it may open (not when the listing found nothing).
  bool NodeExpanding(TreeNode* node);

  // Lists node again (最新の情報に更新): new children appear, vanished ones go, and the marks
  // below it stay where their nodes are found again. Returns the marks whose nodes are gone.
  struct Mark {
    std::string folderPath;
    std::string nodePath;
    int state = kStateMarked;
    bool failedInLastRun = false;
  };
  std::vector<Mark> Refresh(TreeNode* node);
  // The marks of node's descendants (node itself too when withNode), in tree order.
  static std::vector<Mark> MarksBelow(const TreeNode* node, bool withNode);
  // Puts marks back on the nodes of their node paths, listing the way there; returns those
  // whose nodes are not there.
  std::vector<Mark> RestoreMarks(const std::vector<Mark>& marks);
  // End of life: the nodes and their records go.
  void FreeNodeRecords();

  void RestoreNodes(const std::string& nodePath) override;
  TreeNode* FindNodeByPath(const std::string& nodePath) override;
  TreeNode* RestoreFolderPath(const std::string& folderPath) override;
  // The servers under the root that the paths lead through and that are not listed yet,
  // each once, to the namespace's ListAhead; nothing for fewer than two.
  void ListServersAhead(const std::vector<std::string>& folderPaths) override;

 private:
  // The network folder's display name as the shell gives it now.
  std::optional<std::string> NetworkName();
  // The node of one network item under parent, as a listing adds it; null for none. internal
  // tells of a shell-internal object, which is passed over.
  TreeNode* AddNetworkItem(const ShellItem& item, TreeNode* parent, bool* internal = nullptr);
  // ExpandNode's listing, by folder path or through the network levels.
  int ListChildren(TreeNode* node);
  void AddDummy(TreeNode* node);
  void RemoveDummy(TreeNode* node);

  DestinationTree& tree_;
  ShellNamespace& shell_;
  // The last folder listing could not open its folder (as opposed to finding none).
  bool listingFailed_ = false;
  EventPump& pump_;
  Cursor& cursor_;
  std::function<bool()> startupComplete_;
  std::function<int()> parallel_;
};

NodeIcon ToNodeIcon(ShellIcon icon);

}  // namespace tolvane
