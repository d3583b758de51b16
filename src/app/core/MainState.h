#pragma once

#include <string>

#include "engine/RunFlags.h"

namespace tolvane {

// The main window's non-visual fields.
struct MainState {
  std::string exeFolder;  // where Pelmo.ini and Pelmo.lst live, with its trailing separator
  std::string logFolder;  // where Pelmo.log lives, with its trailing separator
  std::string settingsPath;
  std::string logPath;
  std::string listPath;       // the current list path; empty until -l, open or save-as
  std::string defaultFolder;  // where the add-files dialog opens
  std::string networkRoot;    // the folder that stands for the network on this system
  bool startupComplete = false;
  bool saveListAtExit = true;
  RunFlags run;
};

}  // namespace tolvane
