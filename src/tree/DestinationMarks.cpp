#include "tree/DestinationMarks.h"

namespace tolvane {

bool ToggleMark(DestinationTree& tree, TreeNode* node) {
  if (!node || !node->Record().markable) return false;
  tree.SetStateImage(node, IsMarkedState(node->StateImage()) ? kStateUnmarked : kStateMarked);
  return true;
}

void ClearMarks(DestinationTree& tree) {
  const int count = tree.NodeCount();
  for (int i = 0; i < count; ++i) {
    TreeNode* node = tree.NodeAt(i);
    if (IsMarkedState(node->StateImage())) tree.SetStateImage(node, kStateUnmarked);
  }
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
