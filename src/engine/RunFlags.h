#pragma once

#include <optional>
#include <set>
#include <string>

#include "platform/FileSystem.h"

namespace tolvane {

// The main window's flags that a distribution run reads and sets while it works.
struct RunFlags {
  bool batchMode = false;      // -b: never ask, never change the cursor or the focus
  bool runInProgress = false;  // Go and close turn into a stop request while set
  bool stopRequested = false;  // the run ends at its next check
  // What the current run has written into: its destination folders, never copied into
  // themselves when one lies inside a source folder; and the folders it has cleaned of stale
  // temporary files. Emptied when a run starts.
  std::set<FileIdentity> destinationFolders;
  std::set<FileIdentity> cleanedFolders;
  // What failed first at the destination being served, for the run's results.
  std::string firstFailure;
  // The overwrite question answered for the rest of the run (true: overwrite every file,
  // false: skip every existing file); nothing while each file is asked about.
  std::optional<bool> overwriteAll;
};

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

}  // namespace tolvane
