#include "app/core/ViewRules.h"

#include <algorithm>

#include "common/AppInfo.h"
#include "tree/DestinationMarks.h"

namespace tolvane {

AboutTexts AboutBoxTexts() {
  return {kProductName,
          std::string(kProductName) + " (Nobrik)",
          std::string("Ver. ") + kVersion,
          "Copyright (C) 2005 Nobrik",
          "ネットワーク一括配布ツール",
          kWebAddress};
}

int Utf16Length(const std::string& utf8) {
  int units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
    // A four-byte sequence lies outside the basic plane: a surrogate pair.
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

std::optional<MemoSelection> FindFolderPathInMemo(const std::vector<std::string>& lines,
                                                  const std::string& folderPath) {
  const auto match = FindFolderPathInLog(lines, folderPath);
  if (!match) return std::nullopt;
  const std::string& line = lines[match->line];
  return MemoSelection{static_cast<int>(match->line), Utf16Length(line.substr(0, match->offset)),
                       Utf16Length(folderPath)};
}

const std::string& SourceColumnText(const SourceEntry& entry, int column) {
  return column == 1 ? entry.dateText : column == 2 ? entry.sizeText : entry.path;
}

std::array<int, kSourceColumnCount> FitSourceColumns(
    std::array<int, kSourceColumnCount> widths, int first, int last, int rowCount,
    const std::function<int(int row, int column)>& measure, int padding) {
  constexpr int kGridLine = 1;
  for (const int column : {1, 2}) {
    for (int row = std::max(first, 0); row <= last && row < rowCount; ++row) {
      widths[column] = std::max(widths[column], measure(row, column) + padding + kGridLine);
    }
  }
  return widths;
}

bool ShowsStatePicture(const TreeNode& node) {
  return node.StateImage() >= kStateUnmarked && node.StateImage() <= kStateFailed;
}

TreePressAction DestinationTreePress(const TreeNode* hit, TreePress press) {
  const bool onPicture = hit && ShowsStatePicture(*hit);
  if (press == TreePress::SpaceKey) return {onPicture, false};
  return {onPicture, !onPicture};
}

std::vector<TreeNode*> CollapseOrder(TreeNode* node) {
  std::vector<TreeNode*> open;
  if (!node) return open;
  std::vector<TreeNode*> pending{node};
  while (!pending.empty()) {
    TreeNode* current = pending.back();
    pending.pop_back();
    if (current->ChildCount() == 0) continue;
    open.push_back(current);
    for (int i = 0; i < current->ChildCount(); ++i) pending.push_back(current->Child(i));
  }
  // Every parent was taken before its children: reversed, children come first.
  return {open.rbegin(), open.rend()};
}

}  // namespace tolvane
