#include "setup/Unitselectfolder.h"

#include "common/AppInfo.h"

namespace tolvane {

bool TSelectFolder::Execute(const std::string& initialFolder) {
  auto chosen = dialogs_.ChooseFolder(Title, initialFolder);
  if (!chosen || chosen->empty()) return false;
  if (chosen->back() != kPathSeparator) *chosen += kPathSeparator;
  Path = std::move(*chosen);
  return true;
}

}  // namespace tolvane
