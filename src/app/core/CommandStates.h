#pragma once

#include <string>

namespace tolvane {

// What decides which commands are enabled.
struct CommandInputs {
  int markedCount = 0;
  int entryCount = 0;
  bool anyEntrySelected = false;
  bool treeHasNodes = false;
  bool logFileExists = false;
  bool runInProgress = false;
  std::string listPath;
};

struct CommandStates {
  bool clearMark = false;    // clear-marks menu item, button and pop-up item
  bool go = false;           // Go menu item and button
  bool preview = false;      // what a run would do: when Go would start one
  bool allCollapse = false;  // collapse menu item, button and pop-up item
  bool cancelAllFile = false;
  bool cancelFile = false;
  bool logCommands = false;  // clear-log and view-log
  // Adding sources and opening a list: refused while a run works on the sources.
  bool addSources = true;
  bool openList = true;
  std::string caption;

  friend bool operator==(const CommandStates&, const CommandStates&) = default;
};

// During a run the sources stay as they are (nothing adds, removes or replaces them), and Go
// stays usable, since it then asks the run to stop.
CommandStates ComputeCommandStates(const CommandInputs& in);

// "Tolvane 1.05", followed by " [path]" when a list path is current.
std::string WindowCaption(const std::string& listPath);

}  // namespace tolvane
