#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvane::test {

inline constexpr char kFaultReason[] = "injected fault";

enum class FsOp {
  Exists,
  IsFolder,
  Find,
  CreateFolders,
  CopyFile,
  DeleteFile,
  ReadFile,
  ReplaceFile,
  AppendToFile,
  RenameFile
};

// Passes every call to a real file system, except the calls a test makes fail. A failed call
// gives what the real one gives when the operating system refuses: false, or nothing found.
// CI runs as root, where permission bits deny nothing, so failures are made here.
// A run's workers each get one of their own over the inner file system's worker, sharing the
// faults, the hooks and the record of calls (under a lock; the hooks run outside it).
class FaultFileSystem : public FileSystem {
 public:
  explicit FaultFileSystem(FileSystem& inner) : inner_(inner) {}

  // Fails the next `times` calls of op whose path (for a copy, the target) contains pathPart;
  // times < 0 fails them all.
  void FailOn(FsOp op, std::string pathPart = {}, int times = -1);
  void ClearFaults();

  // Runs before every call, with the op and its path (for a copy, the target).
  std::function<void(FsOp, const std::string&)> beforeOp;
  // Runs once in every copy, after its first chunk of data: a test changes the source there.
  std::function<void(const std::string& source)> duringCopy;
  // Every call in order.
  std::vector<std::pair<FsOp, std::string>> calls;

  bool Exists(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  std::vector<FindEntry> Find(const std::string& pattern) override;
  bool CreateFolders(const std::string& path) override;
  bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) override;
  // A failed copy gives kFaultReason as the system's reason.
  CopyResult CopyFileWithProgress(const std::string& source, const std::string& target,
                                  bool failIfExists, const CopyProgress& progress) override;
  bool DeleteFile(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool ReplaceFile(const std::string& path, const std::string& content) override;
  bool AppendToFile(const std::string& path, const std::string& content) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  // An injected failure gives this reason.
  std::string LastError() const override;
  std::optional<FileIdentity> Identity(const std::string& path) override;
  bool LeadsOutsideNetwork(const std::string& path) override;
  void RemoveStaleTemporaryFiles(const std::string& folder) override;
  std::unique_ptr<FileSystem> ForWorker(WindowCall ask) override;

 private:
  // A worker's: the parent's faults, hooks and record over its own inner file system.
  FaultFileSystem(FaultFileSystem& parent, std::unique_ptr<FileSystem> inner);
  FaultFileSystem& Root() { return parent_ ? *parent_ : *this; }

  struct Fault {
    FsOp op;
    std::string pathPart;
    int times;
  };
  // Records the call and tells whether it must fail.
  bool Enter(FsOp op, const std::string& path);

  std::unique_ptr<FileSystem> ownInner_;
  FileSystem& inner_;
  FaultFileSystem* parent_ = nullptr;
  std::shared_ptr<std::mutex> innerTurns_;  // where the inner one cannot make a worker's own
  std::mutex mutex_;                        // the root's: its faults and record
  std::vector<Fault> faults_;
  bool lastInjected_ = false;
};

}  // namespace tolvane::test
