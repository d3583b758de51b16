#pragma once

#include <gtest/gtest.h>

#include "platform/FileSystem.h"

namespace tolvane::test {

// Reads through a real file system and fails the test on any call that would write: what must
// only look (a plan, a preview) is held to it.
class WriteTrapFileSystem : public FileSystem {
 public:
  explicit WriteTrapFileSystem(FileSystem& inner) : inner_(inner) {}

  bool Exists(const std::string& path) override { return inner_.Exists(path); }
  bool IsFolder(const std::string& path) override { return inner_.IsFolder(path); }
  std::vector<FindEntry> Find(const std::string& pattern) override { return inner_.Find(pattern); }
  std::optional<std::string> ReadFile(const std::string& path) override {
    return inner_.ReadFile(path);
  }
  std::string LastError() const override { return inner_.LastError(); }
  std::optional<FileIdentity> Identity(const std::string& path) override {
    return inner_.Identity(path);
  }
  bool LeadsOutsideNetwork(const std::string& path) override {
    return inner_.LeadsOutsideNetwork(path);
  }

  bool CreateFolders(const std::string& path) override { return Written("CreateFolders", path); }
  bool CopyFile(const std::string&, const std::string& target, bool) override {
    return Written("CopyFile", target);
  }
  CopyResult CopyFileWithProgress(const std::string&, const std::string& target, bool,
                                  const CopyProgress&) override {
    Written("CopyFileWithProgress", target);
    return {};
  }
  bool DeleteFile(const std::string& path) override { return Written("DeleteFile", path); }
  bool ReplaceFile(const std::string& path, const std::string&) override {
    return Written("ReplaceFile", path);
  }
  bool AppendToFile(const std::string& path, const std::string&) override {
    return Written("AppendToFile", path);
  }
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override {
    Written("OpenForAppend", path);
    return nullptr;
  }
  bool RenameFile(const std::string& from, const std::string&) override {
    return Written("RenameFile", from);
  }
  void RemoveStaleTemporaryFiles(const std::string& folder) override {
    Written("RemoveStaleTemporaryFiles", folder);
  }

 private:
  static bool Written(const char* call, const std::string& path) {
    ADD_FAILURE() << call << " would write: " << path;
    return false;
  }
  FileSystem& inner_;
};

}  // namespace tolvane::test
