#pragma once

#include <sys/stat.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/smb/SmbClient.h"

namespace tolvane {

struct SmbPath;
class SmbWire;

// The file system with the named SMB servers in it: a network path whose server is one of the
// client's goes over SMB, everything else to the local file system. A copy may go either way
// between the two.
class SmbFileSystem : public FileSystem {
 public:
  SmbFileSystem(FileSystem& local, SmbClient& client);
  // One that owns its local file system and client: a worker's.
  SmbFileSystem(std::unique_ptr<FileSystem> local, std::unique_ptr<SmbClient> client);
  ~SmbFileSystem() override;

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
  void ForgetFailures(const std::string& path) override;
  // Over the local file system's worker and a worker client of its own; null when the local
  // file system cannot make a worker.
  std::unique_ptr<FileSystem> ForWorker(WindowCall ask) override;

 private:
  // The path split for SMB when its server is one of the client's; nothing for a local path.
  // Every call but the questions about one path in a row forgets the stat kept for them.
  std::optional<SmbPath> Route(const std::string& path, bool keepRecent = false);
  // The local file behind a path that is not ours (a network path mapped as the local file
  // system does); nothing when it cannot be told.
  std::optional<std::string> LocalPath(const std::string& path) const;
  // Makes the path's server and share ready; false with the reason.
  bool Reach(const SmbPath& path);
  bool StatSmb(const SmbPath& path, struct stat* st);
  // What is at path, asked once for the calls in a row that ask about it (whether it exists,
  // is a folder, its identity, and the copy onto it): false with errno, ENOENT when nothing is
  // there.
  bool StatRecent(const SmbPath& path, struct stat* st);
  // Remembers why a call on path failed; false.
  bool Fail(const SmbPath& path, int error);
  // The local file system's answer, its reason the one that counts.
  bool Local(bool ok);
  // Our own requests to path's share, for copies into it; null where they cannot serve it
  // (the library's calls do then).
  SmbWire* WireFor(const SmbPath& path);

  std::unique_ptr<FileSystem> ownedLocal_;
  std::unique_ptr<SmbClient> ownedClient_;
  FileSystem& local_;
  SmbClient& client_;
  // Whether the last failed call was ours (else the local file system's reason counts).
  bool lastWasSmb_ = false;
  std::string lastError_;
  // The last answer of StatRecent (a file or folder there, or nothing there), good for the calls
  // that follow it at once: never for one that comes after a pause.
  static constexpr std::chrono::milliseconds kRecentFor{500};
  struct RecentStat {
    std::string url;
    std::chrono::steady_clock::time_point at;
    int error = 0;
    struct stat st {};
  };
  std::optional<RecentStat> recent_;
  // A local file (open as source, srcStat its stat) copied into a share with our own
  // requests. known: what was just found at the target, if anything.
  CopyResult CopyByWire(SmbWire& wire, int source, const struct stat& srcStat, const SmbPath& to,
                        bool failIfExists, const CopyProgress& progress,
                        const std::optional<RecentStat>& known);
  // A failed copy with its reason: the connection's when side names the SMB path whose call
  // failed (it names the server when the server is gone), the system's otherwise.
  CopyResult CopyFailure(const SmbPath* side, int error);
  // By server\share: the connection of our own requests, or null where they were refused.
  std::map<std::string, std::unique_ptr<SmbWire>> wires_;
};

}  // namespace tolvane
