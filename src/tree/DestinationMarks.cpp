#include "tree/DestinationMarks.h"

#include "platform/Encoding.h"

namespace tolvane {

std::string UnlistableReason(const TreeNode& node) {
  for (const TreeNode* n = &node; n; n = n->Parent()) {
    const std::string& name = n->Record().nodeName;
    if (name.find_first_of("\r\n") != std::string::npos) {
      return "名前に改行があるため配布先にできません: " +
             name.substr(0, name.find_first_of("\r\n"));
    }
    if (name.find('\t') != std::string::npos) {
      return "名前にタブがあるため配布先にできません: " + name.substr(0, name.find('\t'));
    }
    if (!IsValidUtf8(name)) return "名前の文字コードが UTF-8 でないため配布先にできません";
  }
  const NodeRecord& r = node.Record();
  if (!IsValidUtf8(r.nodePath) || !IsValidUtf8(r.folderPath)) {
    return "名前の文字コードが UTF-8 でないため配布先にできません";
  }
  if (r.folderPath.find_first_of("\r\n") != std::string::npos) {
    return "フォルダ名に改行があるため配布先にできません";
  }
  return {};
}

bool ToggleMark(DestinationTree& tree, TreeNode* node, std::string* why) {
  if (!node || !node->Record().markable) return false;
  const bool marked = IsMarkedState(node->StateImage());
  if (!marked) {
    // A mark that the list file could not give back would be lost at the next start.
    std::string reason = UnlistableReason(*node);
    if (!reason.empty()) {
      if (why) *why = std::move(reason);
      return false;
    }
  }
  tree.SetStateImage(node, marked ? kStateUnmarked : kStateMarked);
  return true;
}

void ClearMarks(DestinationTree& tree) {
  const int count = tree.NodeCount();
  for (int i = 0; i < count; ++i) {
    TreeNode* node = tree.NodeAt(i);
    if (IsMarkedState(node->StateImage())) tree.SetStateImage(node, kStateUnmarked);
  }
  tree.ClearUnrestored();
}

void CollapseBelowRoot(DestinationTree& tree) {
  TreeNode* root = tree.Root();
  if (!root) return;
  for (int i = 0; i < root->ChildCount(); ++i) tree.CollapseSubtree(root->Child(i));
}

std::string MarkCountCaption(int count) { return std::to_string(count) + "箇所"; }

std::string FolderStatusText(const TreeNode* selected) {
  return selected ? selected->Record().folderPath : std::string();
}

std::optional<LogMatch> FindFolderPathInLog(const std::vector<std::string>& lines,
                                            const std::string& folderPath) {
  if (folderPath.empty()) return std::nullopt;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto at = lines[i].find(folderPath);
    if (at != std::string::npos) return LogMatch{i, at};
  }
  return std::nullopt;
}

}  // namespace tolvane
