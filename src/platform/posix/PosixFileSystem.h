#pragma once

#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace tolvane {

// The file system of Linux, with network paths mapped under the network root.
class PosixFileSystem : public FileSystem {
 public:
  explicit PosixFileSystem(std::string networkRoot = "/net");

  void SetNetworkRoot(std::string networkRoot) { networkRoot_ = std::move(networkRoot); }
  const std::string& NetworkRoot() const { return networkRoot_; }

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
  std::string LastError() const override;
  std::optional<FileIdentity> Identity(const std::string& path) override;
  bool LeadsOutsideNetwork(const std::string& path) override;
  void RemoveStaleTemporaryFiles(const std::string& folder) override;

 protected:
  // Copies everything from in to out, from their current offsets to the end of in. The one
  // place the data moves; tests replace it to break a copy half-way.
  virtual bool CopyData(int in, int out);

 private:
  std::optional<std::string> Map(const std::string& path) const;
  bool CopyFileOnce(const std::string& source, const std::string& target, bool failIfExists);
  // Remembers errno as the reason of the call that just failed; returns false.
  bool Fail();

  std::string lastError_;
  std::string networkRoot_;
};

// Whether name matches a search pattern with * and ?, as the original platform's folder
// search does: without regard to ASCII case, "*.*" matches every name, and a pattern ending
// in ".*" also matches names without an extension.
bool MatchesSearchPattern(const std::string& pattern, const std::string& name);

// This machine's tag in our temporary files' names.
const std::string& TemporaryFileHostTag();
// Whether name is one of our temporary files, and the id of the process that wrote it.
std::optional<long> TemporaryFileWriter(const std::string& name);

}  // namespace tolvane
