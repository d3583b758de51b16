#pragma once

#include <string>
#include <vector>

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
  // Start-up refused to go on (a log path that cannot be written): the program ends at once.
  bool startupRefused = false;
  bool saveListAtExit = true;
  // Set once the file was read as ours (or found missing): only then may the exit save over it.
  bool settingsLoaded = false;
  bool listLoaded = false;
  // What start-up could not do; batch mode then ends with 2 without running.
  std::vector<std::string> startupErrors;
  RunFlags run;
};

}  // namespace tolvane
