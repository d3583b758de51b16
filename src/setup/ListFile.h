#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/StatusLog.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Prompts.h"
#include "setup/SourceEntries.h"
#include "setup/SourceList.h"
#include "tree/DestinationTree.h"
#include "tree/NodeLocator.h"

namespace tolvane {

// The lines of a list file for the current source entries and every marked node, in the
// tree's node order (collapsed branches included).
std::vector<std::string> ListFileLines(const SourceList& sources, const DestinationTree& tree);

// Reads and writes distribution list files.
class ListFile {
 public:
  ListFile(FileSystem& fs, StatusLog& log, SourceEntries& entries, const SourceList& sources,
           DestinationTree& tree, NodeLocator& locator);

  // Adds the file's source entries and marks its destinations; never empties anything. The
  // caller brings the mark count and the commands up to date.
  void LoadList(const std::string& path);
  // Replaces the file; the old file stays whole when that fails.
  bool SaveList(const std::string& path);

 private:
  FileSystem& fs_;
  StatusLog& log_;
  SourceEntries& entries_;
  const SourceList& sources_;
  DestinationTree& tree_;
  NodeLocator& locator_;
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
  // mnuSaveListClick: to the current list, or the default list file when there is none.
  void SaveList(const std::string& listPath, const std::string& defaultListPath);
  // mnuSaveAsListClick: asks before replacing an existing file; the name becomes current.
  void SaveAsList(std::string& listPath);
  // Start-up: the list named on the command line, else the default list file.
  void LoadAtStartup(const std::string& listPath, const std::string& defaultListPath);

 private:
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
