#include "MemoryFileSystem.h"

namespace tolvane::fuzz {

bool MemoryFileSystem::Exists(const std::string& path) { return files.count(path) > 0; }
bool MemoryFileSystem::IsFolder(const std::string&) { return false; }
std::vector<FindEntry> MemoryFileSystem::Find(const std::string& pattern) {
  if (!files.count(pattern)) return {};
  FindEntry e;
  e.name = pattern.substr(pattern.find_last_of('/') + 1);
  e.size = files[pattern].size();
  return {e};
}
bool MemoryFileSystem::CreateFolders(const std::string&) { return false; }
bool MemoryFileSystem::CopyFile(const std::string&, const std::string&, bool) { return false; }
bool MemoryFileSystem::DeleteFile(const std::string& path) { return files.erase(path) > 0; }
std::optional<std::string> MemoryFileSystem::ReadFile(const std::string& path) {
  const auto it = files.find(path);
  if (it == files.end()) return std::nullopt;
  return it->second;
}
bool MemoryFileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  files[path] = content;
  return true;
}
bool MemoryFileSystem::AppendToFile(const std::string& path, const std::string& content) {
  files[path] += content;
  return true;
}
bool MemoryFileSystem::RenameFile(const std::string& from, const std::string& to) {
  if (!files.count(from) || files.count(to)) return false;
  files[to] = files[from];
  files.erase(from);
  return true;
}

}  // namespace tolvane::fuzz
