#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/core/MainView.h"
#include "tree/DestinationTree.h"

namespace tolvane {

// How many lines the window's memo keeps; older ones scroll away (the log file keeps every line).
inline constexpr int kMemoLineLimit = 10000;

// What the About box says, the same in every window.
struct AboutTexts {
  std::string caption;
  std::string name;
  std::string version;
  std::string notice;
  std::string comments;
  std::string webAddress;
};
AboutTexts AboutBoxTexts();
inline constexpr char kWebAddress[] = "https://tolvane.example/";

// The number of UTF-16 code units of UTF-8 text, as edit controls count characters.
int Utf16Length(const std::string& utf8);

// Where folderPath first occurs in the memo's lines, in UTF-16 units; nothing for an empty path
// or when no line holds it.
std::optional<MemoSelection> FindFolderPathInMemo(const std::vector<std::string>& lines,
                                                  const std::string& folderPath);

// The nodes to collapse so that node and all below it end up closed: every node with children,
// deepest first, node itself last, so that no branch opens again on the way.
std::vector<TreeNode*> CollapseOrder(TreeNode* node);

}  // namespace tolvane
