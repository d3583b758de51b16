#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/MainView.h"
#include "setup/SourceList.h"
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

// The source list's columns, left to right: path, date, size.
inline constexpr int kSourceColumnCount = 3;
// The text an entry shows in a column.
const std::string& SourceColumnText(const SourceEntry& entry, int column);

// The source list's column widths once rows first..last (of rowCount) have been added. The date
// and size columns widen so that the widest of the new texts shows whole: its width as the window
// measures it (measure(row, column), in pixels), the padding the window's cell adds beyond that
// measure, and one pixel for the grid line. They never narrow, so the widths of the settings and
// the user's stay as minimums; the path column keeps its width and loses its middle instead.
std::array<int, kSourceColumnCount> FitSourceColumns(
    std::array<int, kSourceColumnCount> widths, int first, int last, int rowCount,
    const std::function<int(int row, int column)>& measure, int padding);

// How the destination tree was pressed.
enum class TreePress {
  Press,        // a mouse button went down, whichever it was
  DoublePress,  // the second press of a double-click, as the system reports it
  SpaceKey,     // Space, which presses the selected node's state picture
};

// What a press on the destination tree does.
struct TreePressAction {
  // The node's mark is toggled (and the node selected and shown).
  bool toggleMark = false;
  // The tree control takes the press as its own: selects the node under it, and on a double
  // press opens or closes that node.
  bool controlHandles = true;
  friend bool operator==(const TreePressAction&, const TreePressAction&) = default;
};

// Whether the node shows a state picture (a box that can be marked, or a mark).
bool ShowsStatePicture(const TreeNode& node);

// hit is the node whose state picture the press landed on (for Space, the selected node), or
// null. A press there is the mark's alone, each press of a double-click too: the control would
// open or close the node and move the rows under the pointer. Space is always the mark's, so
// that it never starts the control's search by name.
TreePressAction DestinationTreePress(const TreeNode* hit, TreePress press);

// The nodes to collapse so that node and all below it end up closed: every node with children,
// deepest first, node itself last, so that no branch opens again on the way.
std::vector<TreeNode*> CollapseOrder(TreeNode* node);

}  // namespace tolvane
