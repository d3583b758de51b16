#pragma once

#include <string>
#include <vector>

#include "app/core/FileFolders.h"

namespace tolvane {

// What the switches -l, -g, -x, -o and -b ask for.
struct CommandLineOptions {
  std::string listPath;  // -l; empty when absent
  bool hasListPath = false;
  std::string logPath;  // -g; empty when absent
  bool hasLogPath = false;
  bool deleteLog = false;      // -x
  bool saveListAtExit = true;  // cleared by -o
  bool batchMode = false;      // -b, or --dry-run
  bool dryRun = false;         // --dry-run: show what the run would do, change nothing
};

// Reads the arguments after the program name. A switch is known by its first two characters,
// whatever their case; -l and -g take the rest of the same argument as a path, kept as typed
// (file names are case-sensitive here) and completed with currentDir when it names no folder.
CommandLineOptions ParseCommandLine(const std::vector<std::string>& args,
                                    const std::string& currentDir);

// True when any argument begins with -b (in either case), or is --dry-run: the splash is then
// never shown.
bool HasBatchSwitch(const std::vector<std::string>& args);
// True when an argument is --dry-run: nothing is to be written anywhere.
bool HasDryRunSwitch(const std::vector<std::string>& args);

// --help and --version, each only as an argument spelt exactly so (the first one given counts).
// They are answered on standard output before any window or file is touched.
enum class InfoRequest { None, Help, Version };
InfoRequest FindInfoRequest(const std::vector<std::string>& args);
// The switches, the exit codes of batch mode and the folders in use, one item a line.
std::string HelpText(const FileFolders& folders);
std::string VersionText();

}  // namespace tolvane
