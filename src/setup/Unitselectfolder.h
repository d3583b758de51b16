#pragma once

#include <string>

#include "platform/Dialogs.h"

namespace tolvane {

// The folder picker: made, run once, thrown away.
class TSelectFolder {
 public:
  explicit TSelectFolder(Dialogs& dialogs) : dialogs_(dialogs) {}

  // True with Path set (ending in a separator) when a folder was chosen; Path stays as it was
  // after a cancel. An empty initial folder lets the chooser start where it likes.
  bool Execute(const std::string& initialFolder);

  std::string Title = "Select One";
  std::string Path;

 private:
  Dialogs& dialogs_;
};

}  // namespace tolvane
