#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tree/DestinationTree.h"

namespace tolvane {

// Marks or unmarks a node whose state picture was pressed: a marked node (also one with the
// failed mark) becomes unmarked, any other becomes marked. False, and nothing changes, for a
// node that cannot be marked, or whose names the list file could not give back (then why
// says so, for the status bar).
bool ToggleMark(DestinationTree& tree, TreeNode* node, std::string* why = nullptr);

// Why a node's folder path or node path could not be saved in a list file and read back the
// same (a line end, a TAB inside a name, text that is not UTF-8); empty when they can.
std::string UnlistableReason(const TreeNode& node);

// Takes every mark (the failed ones too) off the tree, and forgets the destinations of the
// loaded list that were not found again.
void ClearMarks(DestinationTree& tree);

// Collapses every branch below the root; the root itself stays open.
void CollapseBelowRoot(DestinationTree& tree);

// The caption of the destination count: "3箇所".
std::string MarkCountCaption(int count);

// What the status bar shows for the selected node (none gives the empty text).
std::string FolderStatusText(const TreeNode* selected);

// Where a folder path first occurs in the status log.
struct LogMatch {
  std::size_t line = 0;    // index of the line
  std::size_t offset = 0;  // byte offset in that line
};

// The first line that holds folderPath (exact bytes, letter case counts); nothing for an
// empty path or when no line holds it.
std::optional<LogMatch> FindFolderPathInLog(const std::vector<std::string>& lines,
                                            const std::string& folderPath);

}  // namespace tolvane
