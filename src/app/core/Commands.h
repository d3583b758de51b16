#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tolvane {

// Every command of the main window. The values are stable: a Win32 window uses them as its
// WM_COMMAND ids, so they stay clear of 0 and of the system's own ids.
enum class CommandId : int {
  None = 0,  // a separator
  AddFile = 1001,
  AddFolder,
  CancelFile,
  CancelAllFile,
  Go,
  OpenList,
  SaveList,
  SaveAsList,
  SaveLog,
  ClearLog,
  RefLog,
  Exit,
  ClearMark,
  AllCollapse,
  ConfirmOverWrite,
  WriteIfOld,
  IgnoreError,
  About,
  // The named SMB servers of the network folder (Linux only).
  AddServer,
  RemoveServer,
  // After a run: its results, and sending again to the destinations that failed.
  ShowResults,
  RerunFailed,
  // Lists the selected destination node again.
  Refresh,
  // Where the network folder is (Linux only).
  NetworkRoot,
  // Leave targets of the same size and time alone; show what a run would do.
  SkipUnchanged,
  Preview,
  // How many destinations a run serves at once (同時に配布する数).
  Parallel1,
  Parallel2,
  Parallel4,
  Parallel8,
  Parallel16,
};

// Where an item appears.
enum class CommandPlace {
  FileMenu,         // mnuFile
  DestinationMenu,  // mnuDestination
  SettingMenu,      // mnuSetting
  HelpMenu,         // mnuHelp
  FilePopup,        // popFile, on the source list
  FolderPopup,      // popFolder, on the destination tree
  ToolBar,
  ParallelMenu,  // mnuParallel, a sub-menu of mnuSetting
};

// One item of a menu, a pop-up menu or the tool bar, in the order it appears there.
struct CommandItem {
  CommandPlace place;
  const char* name;  // the design name: "mnuAddFile", "tbtGo", or a separator's "N3"
  CommandId id;      // None for a separator
  // Menu items: the caption with its access key ("&" before the letter). Tool buttons carry
  // theirs without showing it, and a tool button never has an access key: a layer that shows
  // it at all shows it literally.
  const char* caption;
  int picture;         // index into the tool-bar pictures; -1 for none
  bool check;          // check style: a check mark on a menu item, a button that stays down
  const char* hint;    // the tool tip of a tool button; empty for menu items
  int separatorWidth;  // tool-bar separators only, in pixels
  // A check-style item that is one choice of its menu: shown with a radio mark, and at most one
  // of the menu's choices is checked.
  bool radio = false;
  // An item that opens a sub-menu (its id is None): the place of the sub-menu's items.
  std::optional<CommandPlace> submenu;

  bool IsSeparator() const { return id == CommandId::None && !submenu; }
};

// A menu of the main menu bar.
struct MainMenuInfo {
  CommandPlace place;
  const char* name;     // "mnuFile"
  const char* caption;  // "ファイル(&F)"
};

// Every item of every place, places in the order of CommandPlace.
std::span<const CommandItem> CommandItems();
// The items of one place, in order (separators included).
std::vector<const CommandItem*> CommandItemsOf(CommandPlace place);
// The menus of the main menu bar, left to right.
std::span<const MainMenuInfo> MainMenus();

// The choices of 同時に配布する数: each command and the number of destinations it sets.
struct ParallelChoice {
  CommandId id;
  int count;
};
std::span<const ParallelChoice> ParallelChoices();

// The key that runs a command besides its access key ("F5"), or empty.
const char* CommandShortcut(CommandId id);

// The pictures of the tool-bar picture list that change at run time.
inline constexpr int kGoPicture = 1;
inline constexpr int kGoRunningPicture = 14;
inline constexpr int kPreviewPicture = 13;
inline constexpr int kSkipUnchangedPicture = 15;

}  // namespace tolvane
