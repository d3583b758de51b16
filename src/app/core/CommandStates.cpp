#include "app/core/CommandStates.h"

#include "common/AppInfo.h"

namespace tolvane {

CommandStates ComputeCommandStates(const CommandInputs& in) {
  CommandStates s;
  s.clearMark = in.markedCount != 0;
  s.go = in.markedCount != 0 && in.entryCount != 0;
  s.allCollapse = in.treeHasNodes;
  s.cancelAllFile = in.entryCount != 0;
  s.cancelFile = in.anyEntrySelected;
  s.logCommands = in.logFileExists;
  s.caption = WindowCaption(in.listPath);
  return s;
}

std::string WindowCaption(const std::string& listPath) {
  std::string caption = std::string(kProductName) + " " + kVersion;
  if (!listPath.empty()) caption += " [" + listPath + "]";
  return caption;
}

}  // namespace tolvane
