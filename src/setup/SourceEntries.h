#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log/StatusLog.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "setup/SourceList.h"

namespace tolvane {

// "mm/dd hh:nn", the date alone at exactly 00:00:00, empty when there is no date.
std::string FormatEntryDate(const std::optional<LocalDateTime>& local);
// Decimal with "," between groups of three digits from the right.
std::string FormatEntrySize(std::uint64_t size);
// The folder part of a path with its trailing separator; empty when the path has none.
std::string FolderPartOf(const std::string& path);
// The process's current folder.
std::string CurrentFolder();

// Everything that puts source entries into the list or takes them out. The commands leave
// RefreshCommands to the caller; their results say whether the caller should run it.
class SourceEntries {
 public:
  SourceEntries(FileSystem& fs, StatusLog& log, SourceList& list);

  // Adds one row for path, exactly as given; logs and adds nothing when it cannot be found,
  // unless keepMissing (a loaded list keeps what it holds), which adds a row marked missing.
  // A path that a list file could not give back (one with a line end) is refused with a log
  // line. True when the path was found and added.
  bool AddSourceEntry(const std::string& path, bool keepMissing = false);

  // The add-files dialog. True after OK (the caller refreshes); defaultFolder follows the first
  // chosen file.
  bool AddFilesCommand(Dialogs& dialogs, std::string& defaultFolder);
  // The folder picker, starting at startFolder. True when a folder was chosen and found.
  // No refresh follows this command.
  bool AddFolderCommand(Dialogs& dialogs, const std::string& startFolder);
  // Files dropped on the main window, in the order of the drop. The caller refreshes.
  void AddDroppedFiles(const std::vector<std::string>& paths);

  // Removes every selected row (indices as the view gives them, in any order).
  void RemoveSelected(std::vector<int> selectedRows);
  void RemoveAll();

 private:
  FileSystem& fs_;
  StatusLog& log_;
  SourceList& list_;
};

}  // namespace tolvane
