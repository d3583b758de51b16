#pragma once

#include <map>
#include <string>

#include "platform/FileSystem.h"

namespace tolvane::fuzz {

// Files held in memory, so that a harness can load and save thousands of times a second.
class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;

  bool Exists(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  std::vector<FindEntry> Find(const std::string& pattern) override;
  bool CreateFolders(const std::string& path) override;
  bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) override;
  bool DeleteFile(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool ReplaceFile(const std::string& path, const std::string& content) override;
  bool AppendToFile(const std::string& path, const std::string& content) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
};

}  // namespace tolvane::fuzz
