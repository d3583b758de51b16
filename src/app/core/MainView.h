#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/core/Commands.h"
#include "app/core/RunTexts.h"
#include "log/StatusLog.h"
#include "setup/Settings.h"
#include "tree/DestinationTree.h"

namespace tolvane {

// Where the main window is and how its panes are divided.
struct WindowLayout {
  // The window's place on the desktop: left and top are the outer frame's top-left corner;
  // width and height are the client area's (inside the frame and the title bar, without the
  // main menu bar; the tool bar and the status bar count), as the settings file keeps them.
  ScreenRect geometry;
  int sourceWidth = WindowSettings::kDesignedSourceWidth;  // pnlLeft
  int logHeight = WindowSettings::kDesignedLogHeight;      // pnlMid
  std::array<int, 3> columnWidths = WindowSettings::kDesignedColumnWidths;

  friend bool operator==(const WindowLayout&, const WindowLayout&) = default;
};

// A range of the status memo to select, in UTF-16 code units, as edit controls count.
struct MemoSelection {
  int line = 0;    // index of the memo line
  int column = 0;  // where the range starts in that line
  int length = 0;
  friend bool operator==(const MemoSelection&, const MemoSelection&) = default;
};

// What the main window's controller asks of a window layer (Qt, Win32). The layer builds its
// controls from the command table, shows the controller's source list and destination tree,
// sends every event to the controller and does what these calls say, nothing more.
//
// The memo is the status log's sink (LogSink): lines appended, or all cleared.
class MainView : public LogSink {
 public:
  ~MainView() override = default;

  // The window caption (exactly this text; nothing appended).
  virtual void SetCaption(const std::string& caption) = 0;
  // Every menu item, pop-up item and tool button of the command.
  virtual void SetCommandEnabled(CommandId id, bool enabled) = 0;
  // Menu items get the check mark, tool buttons stay down.
  virtual void SetCommandChecked(CommandId id, bool checked) = 0;
  // The picture of the command's tool button (tool-bar picture index).
  virtual void SetButtonPicture(CommandId id, int picture) = 0;
  // The source list's side of the window (pnlLeft and everything in it).
  virtual void SetSourcePaneEnabled(bool enabled) = 0;
  // lblHaisinsakisu: the number of marked destinations.
  virtual void SetMarkCount(const std::string& text) = 0;
  // stbMain: the status bar's one field.
  virtual void SetStatusText(const std::string& text) = 0;
  // Where a run stands, a few times a second, then its summary until the next run: a field of
  // the status bar beside stbMain, which keeps the selected destination's folder.
  virtual void SetProgressText(const std::string& text) = 0;

  // The status memo's lines, first to last.
  virtual std::vector<std::string> MemoLines() const = 0;
  // Selects a range of the memo and gives the memo the focus.
  virtual void SelectMemoText(const MemoSelection& selection) = 0;

  // The selected rows of the source list, in any order.
  virtual std::vector<int> SelectedSourceRows() const = 0;
  // The tree's selected node, or null.
  virtual TreeNode* SelectedNode() const = 0;
  // Gives the destination tree the keyboard focus.
  virtual void FocusTree() = 0;

  // The placement of the window and its panes.
  virtual WindowLayout CurrentLayout() const = 0;
  virtual void ApplyLayout(const WindowLayout& layout) = 0;
  // The usable areas of the screens (without task bars), the primary screen first; empty when
  // the system knows of none.
  virtual std::vector<ScreenRect> ScreenAreas() const = 0;

  // Files dropped on the window reach the controller from now on.
  virtual void AcceptDroppedFiles() = 0;
  // Asks the window to close, as its close box does: the layer then asks FormCloseQuery.
  virtual void CloseWindow() = 0;
  // Ends the message loop with the process's exit code, without asking FormCloseQuery.
  virtual void EndLoop(int exitCode) = 0;
  // Shows the About box modally.
  virtual void ShowAbout() = 0;
  // The result list of the last run (配布結果), a window beside the main window: shown and
  // brought to the front when bringUp, else only brought up to date if it is showing.
  virtual void ShowResults(const ResultList& results, bool bringUp) = 0;
  // Shows what a run would do, read-only, in a box of its own, modally.
  virtual void ShowPreview(const std::string& title, const std::string& text) = 0;
};

}  // namespace tolvane
