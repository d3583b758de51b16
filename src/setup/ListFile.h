#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "log/StatusLog.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Prompts.h"
#include "setup/DamagedFile.h"
#include "setup/SourceEntries.h"
#include "setup/SourceList.h"
#include "tree/DestinationTree.h"
#include "tree/NodeLocator.h"

namespace tolvane {

// The lines of a list file for the current source entries and every marked node, in the
// tree's node order (collapsed branches included).
std::vector<std::string> ListFileLines(const SourceList& sources, const DestinationTree& tree);

// What loading a list file found.
struct ListLoad {
  bool found = true;                   // false when there was no file at the path
  std::optional<DamagedFile> damaged;  // it could not be read as a list, and nothing was loaded
};

// The log line and error text of a save that failed.
std::string SaveFailureMessage(const std::string& path, const std::string& reason);

// Reads and writes distribution list files.
class ListFile {
 public:
  ListFile(FileSystem& fs, StatusLog& log, SourceEntries& entries, const SourceList& sources,
           DestinationTree& tree, NodeLocator& locator);

  // Adds the file's source entries and marks its destinations; never empties anything. Sources
  // and destinations that cannot be found now are kept all the same. A file that cannot be
  // read as a list is set aside and loads nothing. The caller brings the mark count and the
  // commands up to date.
  ListLoad LoadList(const std::string& path);
  // Replaces the file; the old file stays whole when that fails, and a log line says why.
  bool SaveList(const std::string& path);
  // What the last failed save said.
  const std::string& LastSaveError() const { return lastSaveError_; }

 private:
  FileSystem& fs_;
  StatusLog& log_;
  SourceEntries& entries_;
  const SourceList& sources_;
  DestinationTree& tree_;
  NodeLocator& locator_;
  std::string lastSaveError_;
};

// What the list commands ask of the main window.
struct ListCommandHooks {
  std::function<void()> clearMarks;        // mnuClearMarkClick
  std::function<void()> collapseAll;       // mnuAllCollapseClick
  std::function<void()> removeAllSources;  // empties the source list
  std::function<void()> updateMarkCount;   // UpdateMarkCount
  std::function<void()> refreshCommands;   // RefreshCommands
};

// The open, save and save-as commands of the File menu, and the start-up load.
class ListCommands {
 public:
  ListCommands(ListFile& listFile, FileSystem& fs, Dialogs& dialogs, Prompts& prompts,
               ListCommandHooks hooks);

  // mnuOpenListClick: an existing chosen file replaces the setup and becomes the current list.
  void OpenList(std::string& listPath);
  // mnuSaveListClick: to the current list, or the default list file when there is none. A
  // failed save is shown in the standard error box.
  void SaveList(const std::string& listPath, const std::string& defaultListPath);
  // mnuSaveAsListClick: asks before replacing an existing file; the name becomes current.
  void SaveAsList(std::string& listPath);
  // Start-up: the list named on the command line, else the default list file.
  ListLoad LoadAtStartup(const std::string& listPath, const std::string& defaultListPath);

 private:
  void Save(const std::string& path);
  void Call(const std::function<void()>& hook) const {
    if (hook) hook();
  }

  ListFile& listFile_;
  FileSystem& fs_;
  Dialogs& dialogs_;
  Prompts& prompts_;
  ListCommandHooks hooks_;
};

}  // namespace tolvane
