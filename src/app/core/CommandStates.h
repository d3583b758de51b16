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
  std::string listPath;
};

struct CommandStates {
  bool clearMark = false;    // clear-marks menu item, button and pop-up item
  bool go = false;           // Go menu item and button
  bool allCollapse = false;  // collapse menu item, button and pop-up item
  bool cancelAllFile = false;
  bool cancelFile = false;
  bool logCommands = false;  // clear-log and view-log
  std::string caption;

  friend bool operator==(const CommandStates&, const CommandStates&) = default;
};

CommandStates ComputeCommandStates(const CommandInputs& in);

// "Tolvane 1.05", followed by " [path]" when a list path is current.
std::string WindowCaption(const std::string& listPath);

}  // namespace tolvane
