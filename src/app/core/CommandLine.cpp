#include "app/core/CommandLine.h"

#include "common/AppInfo.h"

namespace tolvane {
namespace {

// The switch an argument begins with, as a small letter, or 0.
char SwitchOf(const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '-') return 0;
  char c = arg[1];
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  switch (c) {
    case 'l':
    case 'g':
    case 'x':
    case 'o':
    case 'b':
      return c;
    default:
      return 0;
  }
}

std::string CompletePath(const std::string& path, const std::string& currentDir) {
  if (path.find(kPathSeparator) != std::string::npos) return path;
  std::string dir = currentDir;
  if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
  return dir + path;
}

}  // namespace

CommandLineOptions ParseCommandLine(const std::vector<std::string>& args,
                                    const std::string& currentDir) {
  CommandLineOptions options;
  for (const std::string& arg : args) {
    switch (SwitchOf(arg)) {
      case 'l':
        options.listPath = CompletePath(arg.substr(2), currentDir);
        options.hasListPath = true;
        break;
      case 'g':
        options.logPath = CompletePath(arg.substr(2), currentDir);
        options.hasLogPath = true;
        break;
      case 'x':
        options.deleteLog = true;
        break;
      case 'o':
        options.saveListAtExit = false;
        break;
      case 'b':
        options.batchMode = true;
        break;
      default:
        break;
    }
  }
  return options;
}

bool HasBatchSwitch(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (SwitchOf(arg) == 'b') return true;
  }
  return false;
}

}  // namespace tolvane
