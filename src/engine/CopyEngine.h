#pragma once

#include <set>
#include <string>

#include "engine/RunFlags.h"
#include "engine/RunPlan.h"
#include "engine/RunProgress.h"
#include "log/StatusLog.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/Prompts.h"

namespace tolvane {

// Copies source entries into one destination folder under the overwrite, retry and error
// options, and writes one status-log line per file. Options and flags are read at the moment
// each decision needs them, so a change made while a question is shown applies at once.
class CopyEngine {
 public:
  CopyEngine(FileSystem& fs, Prompts& prompts, EventPump& pump, LogLines& log,
             const CopyOptions& options, RunFlags& flags);

  // Copies a file entry, a folder entry's contents, or everything a wildcard entry matches
  // into folder, creating folder when missing. True when anything failed, was cancelled or
  // was stopped. Whatever is not copied has a log line and counts as failed: an entry that
  // no longer exists, a folder that cannot be created or read, a destination that leads
  // outside the network folder. A folder reached again through a link is copied once; a
  // destination folder of this run inside the entry is not copied into itself.
  bool CopyEntry(const std::string& entry, const std::string& folder);

  // Copies one file into folder. True when it failed or the run was asked to stop.
  bool CopyFileToFolder(const std::string& source, const std::string& folder);

  // Where each file's outcome and a large file's progress are counted; none by default.
  void SetProgress(FileProgress* progress) { progress_ = progress; }
  // Where what failed first at this destination, and why, is kept for the run's results: left
  // as it is when it holds something already.
  void SetFirstFailure(std::string* firstFailure) {
    firstFailure_ = firstFailure ? firstFailure : &ownFirstFailure_;
  }
  // True when this engine asked the whole run to stop (a Cancel, an Abort, a source gone).
  bool StoppedTheRun() const { return stoppedTheRun_; }
  // The run's plan: the entries are copied as the walk found them, and what the plan found at
  // this destination's targets stands for the first look at each (a Retry looks again).
  // Without one, every level is searched and every target looked at when it is copied.
  void SetPlan(const SourceWalk* walk, const DestinationPlan* destination) {
    walk_ = walk;
    destination_ = destination;
  }

 private:
  // What the overwrite check of an existing target decided.
  enum class Overwrite { Proceed, TargetGone, Skip, Stop };
  // One level of CopyEntry; visited holds the source folders this entry has walked.
  // walked is the level as the plan's walk found it, or null to search it now.
  bool CopyLevel(const std::string& entry, const std::string& folder, bool top,
                 std::set<FileIdentity>& visited, const WalkedLevel* walked);
  // planned: what the plan found at the target; Unknown to look.
  bool CopyFileToFolder(const std::string& source, const std::string& folder, TargetState planned);
  // With the plan's answer when it has one.
  bool IsUnchanged(const std::string& source, const std::string& target, TargetState planned);
  // Makes sure folder is there and may be written; logs why not.
  bool PrepareFolder(const std::string& entry, const std::string& folder, bool top);
  void LogFailure(const std::string& what, const std::string& path, const std::string& reason);
  Overwrite CheckExistingTarget(const std::string& source, const std::string& target);
  // Copies in chunks, serving the window between them; a stop asked meanwhile cancels it.
  CopyResult CopyInChunks(const std::string& source, const std::string& target, bool mustBeNew);
  void LogOutcome(const std::string& source, const char* outcome);
  // Counts files failed (each file of an entry whose folder could not be made); what tells
  // what failed and why, kept when it is the destination's first.
  void CountFailed(const std::string& what, int files = 1);

  // Asks the whole run to stop.
  void StopTheRun();

  FileSystem& fs_;
  Prompts& prompts_;
  EventPump& pump_;
  LogLines& log_;
  const CopyOptions& options_;
  RunFlags& flags_;
  FileProgress* progress_ = nullptr;
  std::string ownFirstFailure_;
  std::string* firstFailure_ = &ownFirstFailure_;
  bool stoppedTheRun_ = false;
  const SourceWalk* walk_ = nullptr;
  const DestinationPlan* destination_ = nullptr;
};

// How many files copying entry would copy (at least 1): what cannot be copied of an entry
// counts that many as failed. A folder reached again through a link is counted once.
int CountEntryFiles(FileSystem& fs, const std::string& entry);

// The name part of a path: the text after its last separator (on a network path both "\" and
// "/" separate; on a local path the system's own separator does), or the whole text.
std::string ExtractName(const std::string& path);

// The folder part of a search pattern, up to and including its last separator; empty when
// there is none.
std::string SearchPrefix(const std::string& pattern);

// folder and name joined by the separator folder's kind of path uses: "\" on a network path.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace tolvane
