#include "support/FaultFileSystem.h"

#include <utility>

#include "platform/TurnTakingFileSystem.h"

namespace tolvane::test {

FaultFileSystem::FaultFileSystem(FaultFileSystem& parent, std::unique_ptr<FileSystem> inner)
    : ownInner_(std::move(inner)), inner_(*ownInner_), parent_(&parent) {}

std::unique_ptr<FileSystem> FaultFileSystem::ForWorker(WindowCall ask) {
  FaultFileSystem& root = Root();
  std::unique_ptr<FileSystem> inner = root.inner_.ForWorker(std::move(ask));
  if (!inner) {
    std::lock_guard lock(root.mutex_);
    if (!root.innerTurns_) root.innerTurns_ = std::make_shared<std::mutex>();
    inner = std::make_unique<TurnTakingFileSystem>(root.inner_, root.innerTurns_);
  }
  return std::unique_ptr<FileSystem>(new FaultFileSystem(root, std::move(inner)));
}

void FaultFileSystem::FailOn(FsOp op, std::string pathPart, int times) {
  std::lock_guard lock(mutex_);
  faults_.push_back({op, std::move(pathPart), times});
}

void FaultFileSystem::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

bool FaultFileSystem::Enter(FsOp op, const std::string& path) {
  FaultFileSystem& root = Root();
  std::function<void(FsOp, const std::string&)> hook;
  {
    std::lock_guard lock(root.mutex_);
    root.calls.emplace_back(op, path);
    hook = root.beforeOp;
  }
  if (hook) hook(op, path);
  std::lock_guard lock(root.mutex_);
  for (auto& f : root.faults_) {
    if (f.op != op || f.times == 0 || path.find(f.pathPart) == std::string::npos) continue;
    if (f.times > 0) --f.times;
    lastInjected_ = true;
    return true;
  }
  lastInjected_ = false;
  return false;
}

bool FaultFileSystem::Exists(const std::string& path) {
  return !Enter(FsOp::Exists, path) && inner_.Exists(path);
}
bool FaultFileSystem::IsFolder(const std::string& path) {
  return !Enter(FsOp::IsFolder, path) && inner_.IsFolder(path);
}
std::vector<FindEntry> FaultFileSystem::Find(const std::string& pattern) {
  if (Enter(FsOp::Find, pattern)) return {};
  return inner_.Find(pattern);
}
bool FaultFileSystem::CreateFolders(const std::string& path) {
  return !Enter(FsOp::CreateFolders, path) && inner_.CreateFolders(path);
}
bool FaultFileSystem::CopyFile(const std::string& source, const std::string& target,
                               bool failIfExists) {
  return !Enter(FsOp::CopyFile, target) && inner_.CopyFile(source, target, failIfExists);
}
CopyResult FaultFileSystem::CopyFileWithProgress(const std::string& source,
                                                 const std::string& target, bool failIfExists,
                                                 const CopyProgress& progress) {
  if (Enter(FsOp::CopyFile, target)) return {false, false, 0, kFaultReason};
  const auto duringCopy = Root().duringCopy;
  if (!duringCopy) return inner_.CopyFileWithProgress(source, target, failIfExists, progress);
  bool changed = false;
  return inner_.CopyFileWithProgress(
      source, target, failIfExists, [&](std::uint64_t done, std::uint64_t total) {
        if (!std::exchange(changed, true)) duringCopy(source);
        return !progress || progress(done, total);
      });
}
bool FaultFileSystem::DeleteFile(const std::string& path) {
  return !Enter(FsOp::DeleteFile, path) && inner_.DeleteFile(path);
}
std::optional<std::string> FaultFileSystem::ReadFile(const std::string& path) {
  if (Enter(FsOp::ReadFile, path)) return std::nullopt;
  return inner_.ReadFile(path);
}
bool FaultFileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  return !Enter(FsOp::ReplaceFile, path) && inner_.ReplaceFile(path, content);
}
bool FaultFileSystem::AppendToFile(const std::string& path, const std::string& content) {
  return !Enter(FsOp::AppendToFile, path) && inner_.AppendToFile(path, content);
}

bool FaultFileSystem::RenameFile(const std::string& from, const std::string& to) {
  return !Enter(FsOp::RenameFile, from) && inner_.RenameFile(from, to);
}
std::string FaultFileSystem::LastError() const {
  return lastInjected_ ? kFaultReason : inner_.LastError();
}
std::optional<FileIdentity> FaultFileSystem::Identity(const std::string& path) {
  return inner_.Identity(path);
}
bool FaultFileSystem::LeadsOutsideNetwork(const std::string& path) {
  return inner_.LeadsOutsideNetwork(path);
}
void FaultFileSystem::RemoveStaleTemporaryFiles(const std::string& folder) {
  inner_.RemoveStaleTemporaryFiles(folder);
}

}  // namespace tolvane::test
