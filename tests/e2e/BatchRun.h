#pragma once

#include <string>
#include <vector>

namespace tolvane::test {

// How the program is started beyond its arguments.
struct RunOptions {
  std::vector<std::string> setEnv;    // NAME=value, in place of the same name's value
  std::vector<std::string> unsetEnv;  // names
  bool asOrdinaryUser = false;        // as nobody, who can write only where anyone can
  std::string stdoutPath;             // where standard output goes; empty: nowhere
  std::string stderrPath;             // where standard error goes; empty: nowhere
};

// Copies the real program into folder (its own folder is where it keeps its files) and runs it
// there with the arguments, without any display. Returns the exit code, or -1 when it could
// not be run or did not end by itself.
int RunTolvaneIn(const std::string& folder, const std::vector<std::string>& args,
                 const RunOptions& options = {});

}  // namespace tolvane::test
