#include "app/core/FileFolders.h"

#include "common/AppInfo.h"

namespace tolvane {
namespace {

constexpr char kFolderName[] = "tolvane";

bool IsSystemFolder(const std::string& folder) {
  for (const char* prefix : {"/usr/", "/bin/", "/sbin/"}) {
    if (folder.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
  return path;
}

bool IsAbsolute(const std::string& path) {
#ifdef _WIN32
  return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
#else
  return !path.empty() && path[0] == '/';
#endif
}

// The variable's folder when it is usable, else home + fallback, else the program's folder.
std::string UserFolder(const std::string& variable, const std::string& home,
                       const std::string& fallback, const std::string& exeFolder) {
  std::string base;
  if (IsAbsolute(variable)) {
    base = WithoutTrailingSeparators(variable);
  } else if (IsAbsolute(home)) {
    base = WithoutTrailingSeparators(home) + kPathSeparator + fallback;
  } else {
    return exeFolder;
  }
  if (base.back() != kPathSeparator) base += kPathSeparator;
  return base + kFolderName + kPathSeparator;
}

}  // namespace

FileFolders ChooseFileFolders(const FolderFacts& facts) {
  if (facts.exeFolderWritable && !IsSystemFolder(facts.exeFolder)) {
    return {facts.exeFolder, facts.exeFolder, true};
  }
  const std::string sep(1, kPathSeparator);
  FileFolders folders;
  folders.settingsFolder = UserFolder(facts.xdgConfigHome, facts.home, ".config", facts.exeFolder);
  folders.logFolder =
      UserFolder(facts.xdgStateHome, facts.home, ".local" + sep + "state", facts.exeFolder);
  folders.besideProgram =
      folders.settingsFolder == facts.exeFolder && folders.logFolder == facts.exeFolder;
  return folders;
}

}  // namespace tolvane
