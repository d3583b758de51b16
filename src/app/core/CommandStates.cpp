#include "app/core/CommandStates.h"

#include "common/AppInfo.h"

namespace tolvane {

CommandStates ComputeCommandStates(const CommandInputs& in) {
  CommandStates s;
  const bool idle = !in.runInProgress;
  s.clearMark = in.markedCount != 0;
  s.go = in.runInProgress || (in.markedCount != 0 && in.entryCount != 0);
  s.preview = idle && in.markedCount != 0 && in.entryCount != 0;
  s.allCollapse = in.treeHasNodes;
  s.cancelAllFile = idle && in.entryCount != 0;
  s.cancelFile = idle && in.anyEntrySelected;
  s.logCommands = in.logFileExists;
  s.addSources = idle;
  s.openList = idle;
  s.caption = WindowCaption(in.listPath);
  return s;
}

std::string WindowCaption(const std::string& listPath) {
  std::string caption = std::string(kProductName) + " " + kVersion;
  if (!listPath.empty()) caption += " [" + listPath + "]";
  return caption;
}

}  // namespace tolvane
