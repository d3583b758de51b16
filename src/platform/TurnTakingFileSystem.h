#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvane {

// A file system that several threads take turns on: each thread has one of these over the same
// inner file system and lock, every call holds the lock, and the reason of a failed call is
// kept for the thread that made it. For a file system that cannot make one for each thread.
class TurnTakingFileSystem : public FileSystem {
  template <typename F>
  auto Call(F call) -> decltype(call()) {
    std::lock_guard lock(*lock_);
    auto result = call();
    lastError_ = inner_.LastError();
    return result;
  }

 public:
  TurnTakingFileSystem(FileSystem& inner, std::shared_ptr<std::mutex> lock)
      : inner_(inner), lock_(std::move(lock)) {}

  bool Exists(const std::string& path) override {
    return Call([&] { return inner_.Exists(path); });
  }
  bool IsFolder(const std::string& path) override {
    return Call([&] { return inner_.IsFolder(path); });
  }
  std::vector<FindEntry> Find(const std::string& pattern) override {
    return Call([&] { return inner_.Find(pattern); });
  }
  bool CreateFolders(const std::string& path) override {
    return Call([&] { return inner_.CreateFolders(path); });
  }
  bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) override {
    return Call([&] { return inner_.CopyFile(source, target, failIfExists); });
  }
  CopyResult CopyFileWithProgress(const std::string& source, const std::string& target,
                                  bool failIfExists, const CopyProgress& progress) override {
    return Call([&] { return inner_.CopyFileWithProgress(source, target, failIfExists, progress); });
  }
  bool DeleteFile(const std::string& path) override {
    return Call([&] { return inner_.DeleteFile(path); });
  }
  std::optional<std::string> ReadFile(const std::string& path) override {
    return Call([&] { return inner_.ReadFile(path); });
  }
  bool ReplaceFile(const std::string& path, const std::string& content) override {
    return Call([&] { return inner_.ReplaceFile(path, content); });
  }
  bool AppendToFile(const std::string& path, const std::string& content) override {
    return Call([&] { return inner_.AppendToFile(path, content); });
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return Call([&] { return inner_.RenameFile(from, to); });
  }
  std::string LastError() const override { return lastError_; }
  std::optional<FileIdentity> Identity(const std::string& path) override {
    return Call([&] { return inner_.Identity(path); });
  }
  bool LeadsOutsideNetwork(const std::string& path) override {
    return Call([&] { return inner_.LeadsOutsideNetwork(path); });
  }
  void RemoveStaleTemporaryFiles(const std::string& folder) override {
    Call([&] {
      inner_.RemoveStaleTemporaryFiles(folder);
      return true;
    });
  }
  void ForgetFailures(const std::string& path) override {
    Call([&] {
      inner_.ForgetFailures(path);
      return true;
    });
  }

 private:
  FileSystem& inner_;
  std::shared_ptr<std::mutex> lock_;
  std::string lastError_;
};

}  // namespace tolvane
