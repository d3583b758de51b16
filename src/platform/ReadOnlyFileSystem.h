#pragma once

#include "platform/FileSystem.h"

namespace tolvane {

// Reads through another file system and refuses every write, as a folder without write
// permission would: a dry run is held to writing nothing anywhere, whatever part of the program
// would write (the log, the settings, the list, a damaged file set aside, a folder).
class ReadOnlyFileSystem : public FileSystem {
 public:
  explicit ReadOnlyFileSystem(FileSystem& inner) : inner_(inner) {}
  // One that owns what it reads through: a worker's.
  explicit ReadOnlyFileSystem(std::unique_ptr<FileSystem> inner)
      : owned_(std::move(inner)), inner_(*owned_) {}

  bool Exists(const std::string& path) override { return inner_.Exists(path); }
  bool IsFolder(const std::string& path) override { return inner_.IsFolder(path); }
  std::vector<FindEntry> Find(const std::string& pattern) override {
    refused_ = false;
    return inner_.Find(pattern);
  }
  std::optional<std::string> ReadFile(const std::string& path) override {
    return inner_.ReadFile(path);
  }
  std::string LastError() const override {
    return refused_ ? "書き込まない実行です (--dry-run)" : inner_.LastError();
  }
  std::optional<FileIdentity> Identity(const std::string& path) override {
    return inner_.Identity(path);
  }
  bool LeadsOutsideNetwork(const std::string& path) override {
    return inner_.LeadsOutsideNetwork(path);
  }

  bool CreateFolders(const std::string&) override { return Refuse(); }
  bool CopyFile(const std::string&, const std::string&, bool) override { return Refuse(); }
  CopyResult CopyFileWithProgress(const std::string&, const std::string&, bool,
                                  const CopyProgress&) override {
    Refuse();
    return {false, false, 0, LastError()};
  }
  bool DeleteFile(const std::string&) override { return Refuse(); }
  bool ReplaceFile(const std::string&, const std::string&) override { return Refuse(); }
  bool AppendToFile(const std::string&, const std::string&) override { return Refuse(); }
  std::unique_ptr<AppendFile> OpenForAppend(const std::string&) override {
    Refuse();
    return nullptr;
  }
  bool RenameFile(const std::string&, const std::string&) override { return Refuse(); }
  void RemoveStaleTemporaryFiles(const std::string&) override {}
  void ForgetFailures(const std::string& path) override { inner_.ForgetFailures(path); }
  std::unique_ptr<FileSystem> ForWorker(WindowCall ask) override {
    auto inner = inner_.ForWorker(std::move(ask));
    if (!inner) return nullptr;
    return std::make_unique<ReadOnlyFileSystem>(std::move(inner));
  }

 private:
  bool Refuse() {
    refused_ = true;
    return false;
  }
  std::unique_ptr<FileSystem> owned_;
  FileSystem& inner_;
  bool refused_ = false;
};

}  // namespace tolvane
