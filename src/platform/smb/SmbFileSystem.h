#pragma once

#include "platform/FileSystem.h"
#include "platform/smb/SmbClient.h"

namespace tolvane {

// The file system with the named SMB servers in it: a network path whose server is one of the
// client's goes over SMB, everything else to the local file system. A copy may go either way
// between the two.
class SmbFileSystem : public FileSystem {
 public:
  SmbFileSystem(FileSystem& local, SmbClient& client);

  bool Exists(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  std::vector<FindEntry> Find(const std::string& pattern) override;
  bool CreateFolders(const std::string& path) override;
  bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) override;
  CopyResult CopyFileWithProgress(const std::string& source, const std::string& target,
                                  bool failIfExists, const CopyProgress& progress) override;
  bool DeleteFile(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool ReplaceFile(const std::string& path, const std::string& content) override;
  bool AppendToFile(const std::string& path, const std::string& content) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  std::string LastError() const override;
  std::optional<FileIdentity> Identity(const std::string& path) override;
  bool LeadsOutsideNetwork(const std::string& path) override;
  void RemoveStaleTemporaryFiles(const std::string& folder) override;

 private:
  FileSystem& local_;
  SmbClient& client_;
  // Whether the last failed call was ours (else the local file system's reason counts).
  bool lastWasSmb_ = false;
  std::string lastError_;
};

}  // namespace tolvane
