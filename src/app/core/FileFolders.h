#pragma once

#include <string>

namespace tolvane {

// What the system says about the places the program may keep its files.
struct FolderFacts {
  std::string exeFolder;  // with its trailing separator
  bool exeFolderWritable = false;
  std::string home;           // the user's home folder; empty when unknown
  std::string xdgConfigHome;  // $XDG_CONFIG_HOME as set; empty when unset
  std::string xdgStateHome;   // $XDG_STATE_HOME as set; empty when unset
};

// Where Pelmo.ini, Pelmo.lst and Pelmo.log live.
struct FileFolders {
  std::string settingsFolder;  // Pelmo.ini and Pelmo.lst, with its trailing separator
  std::string logFolder;       // Pelmo.log, with its trailing separator
  bool besideProgram = true;
};

// A copy that may write into its own folder (a portable copy, a build) keeps its files there.
// An installed program cannot, and a system folder (/usr/..., /bin, /sbin) is never written to
// even by an administrator who could: settings and lists go to $XDG_CONFIG_HOME/tolvane
// (default ~/.config/tolvane), the log to $XDG_STATE_HOME/tolvane (default
// ~/.local/state/tolvane). A variable that is not an absolute path is ignored; with no home
// folder either, that file stays beside the program.
FileFolders ChooseFileFolders(const FolderFacts& facts);

}  // namespace tolvane
