#pragma once

#include <sys/stat.h>

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
  CopyResult CopyFileWithProgress(const std::string& source, const std::string& target,
                                  bool failIfExists, const CopyProgress& progress) override;
  bool DeleteFile(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool ReplaceFile(const std::string& path, const std::string& content) override;
  bool AppendToFile(const std::string& path, const std::string& content) override;
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  std::string LastError() const override;
  std::optional<FileIdentity> Identity(const std::string& path) override;
  bool LeadsOutsideNetwork(const std::string& path) override;
  void RemoveStaleTemporaryFiles(const std::string& folder) override;
  // Another with the same network root and chunk size (nothing is shared). A subclass that
  // moves the data its own way makes its own.
  std::unique_ptr<FileSystem> ForWorker(WindowCall ask) override;

  // How much a copy moves between two reports of its progress.
  void SetChunkSize(std::size_t bytes) { chunkSize_ = bytes; }

 protected:
  // What moving the data came to.
  enum class DataCopy { Done, Failed, Cancelled };
  // Copies everything from in to out in chunks, from their current offsets to the end of in,
  // telling progress (size: the source's size) after each chunk. The one place the data
  // moves; tests replace it to break a copy half-way. Failed leaves the reason in errno.
  virtual DataCopy CopyData(int in, int out, std::uint64_t size, const CopyProgress& progress);
  std::size_t ChunkSize() const { return chunkSize_; }

 private:
  std::optional<std::string> Map(const std::string& path) const;
  // Remembers errno as the reason of the call that just failed; returns false.
  bool Fail();

  std::string lastError_;
  std::string networkRoot_;
  // Small enough that a window served between chunks stays responsive on a slow disk.
  std::size_t chunkSize_ = std::size_t{1} << 20;
};

// Whether name matches a search pattern with * and ?, as the original platform's folder
// search does: without regard to ASCII case, "*.*" matches every name, and a pattern ending
// in ".*" also matches names without an extension.
bool MatchesSearchPattern(const std::string& pattern, const std::string& name);

// A search's entry for name from what stat said of it; also for files on SMB servers, which
// the library describes the same way.
FileTime FileTimeOf(const struct timespec& ts);
FindEntry EntryFromStat(const std::string& name, const struct stat& st);

// This machine's tag in our temporary files' names.
const std::string& TemporaryFileHostTag();
// A fresh name for one of our temporary files (hidden, ".tolvane-HOST-PID-N-R.tmp"), to go in
// the folder of the file it will replace.
std::string NewTemporaryFileName();
// Whether name is one of our temporary files, and the id of the process that wrote it.
std::optional<long> TemporaryFileWriter(const std::string& name);

}  // namespace tolvane
