#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/FileSystem.h"

namespace tolvane {

// The main window's flags that a distribution run reads and sets while it works. A run's
// workers share them: the stop is atomic, and what the run has written into is kept under a
// lock.
struct RunFlags {
  bool batchMode = false;      // -b: never ask, never change the cursor or the focus
  bool runInProgress = false;  // Go and close turn into a stop request while set (window only)
  std::atomic<bool> stopRequested = false;  // the run ends at its next check

  // Forgets what the last run wrote into and answered for the rest of it.
  void StartRun();
  // What the current run has written into: its destination folders, never copied into
  // themselves when one lies inside a source folder.
  void AddDestinationFolder(const FileIdentity& id);
  bool IsDestinationFolder(const FileIdentity& id) const;
  // True the first time a run asks for a folder: it cleans the folder of stale temporary files
  // once.
  bool FirstTimeIn(const FileIdentity& id);
  // The overwrite question answered for the rest of the run (true: overwrite every file,
  // false: skip every existing file); nothing while each file is asked about.
  std::optional<bool> OverwriteAll() const;
  void SetOverwriteAll(bool overwrite);

 private:
  mutable std::mutex mutex_;
  std::set<FileIdentity> destinationFolders_;
  std::set<FileIdentity> cleanedFolders_;
  std::optional<bool> overwriteAll_;
};

inline void RunFlags::StartRun() {
  std::lock_guard lock(mutex_);
  destinationFolders_.clear();
  cleanedFolders_.clear();
  overwriteAll_.reset();
}

inline void RunFlags::AddDestinationFolder(const FileIdentity& id) {
  std::lock_guard lock(mutex_);
  destinationFolders_.insert(id);
}

inline bool RunFlags::IsDestinationFolder(const FileIdentity& id) const {
  std::lock_guard lock(mutex_);
  return destinationFolders_.count(id) > 0;
}

inline bool RunFlags::FirstTimeIn(const FileIdentity& id) {
  std::lock_guard lock(mutex_);
  return cleanedFolders_.insert(id).second;
}

inline std::optional<bool> RunFlags::OverwriteAll() const {
  std::lock_guard lock(mutex_);
  return overwriteAll_;
}

inline void RunFlags::SetOverwriteAll(bool overwrite) {
  std::lock_guard lock(mutex_);
  overwriteAll_ = overwrite;
}

// The overwrite and error options, read at the moment they are needed: a change made while a
// question is shown applies to the next file.
class CopyOptions {
 public:
  virtual ~CopyOptions() = default;
  virtual bool ConfirmOverWrite() const = 0;
  virtual bool ButOldIsIgnore() const = 0;
  virtual bool IgnoreError() const = 0;
  // An existing target of the same size and time is left as it is, without a question.
  virtual bool SkipUnchanged() const { return false; }
};

// The options as the window thread last saw them, for the run's workers to read while the
// user may change them: brought up to date by the window thread with Update.
class SharedCopyOptions : public CopyOptions {
 public:
  void Update(const CopyOptions& from) {
    confirm_ = from.ConfirmOverWrite();
    butOld_ = from.ButOldIsIgnore();
    ignore_ = from.IgnoreError();
    skipUnchanged_ = from.SkipUnchanged();
  }
  bool ConfirmOverWrite() const override { return confirm_; }
  bool ButOldIsIgnore() const override { return butOld_; }
  bool IgnoreError() const override { return ignore_; }
  bool SkipUnchanged() const override { return skipUnchanged_; }

 private:
  std::atomic<bool> confirm_ = false, butOld_ = false, ignore_ = false, skipUnchanged_ = false;
};

}  // namespace tolvane
