#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/RunFlags.h"
#include "platform/FileSystem.h"

namespace tolvane {

// What a run finds before it copies: each source entry walked once, then per destination what
// is at each target. Plain data, made without the window and only by reading: planning makes no
// folder, no temporary file and no log line. The copy follows it; a preview shows it.

// One item of a source folder level, as the walk found it.
struct WalkedItem {
  std::string path;  // the search prefix and the name
  FindEntry entry;
  // A folder: what reaches it (for the link and destination guards) and its level; -1 when it
  // was not walked (reached again through a link).
  std::optional<FileIdentity> identity;
  int level = -1;
  int file = -1;  // a file: its number among the walk's files
};

// What one level of an entry holds: the entry itself, or a sub-folder below it.
struct WalkedLevel {
  std::string entry;  // the entry's or the sub-folder's path
  bool isFolder = false;
  std::optional<FileIdentity> identity;
  std::vector<WalkedItem> items;
  std::string error;  // when nothing was found: the system's reason, if it gave one
  int parent = -1;    // the level above, -1 for an entry's own
  std::string name;   // the sub-folder's name under the parent's target folder
};

struct SourceWalk {
  std::vector<WalkedLevel> levels;
  // The top level of each source entry, by its path (a listed twice entry is walked once).
  std::map<std::string, int> entries;
  int files = 0;
  // Where each file is: its level and its place among the level's items.
  std::vector<std::pair<int, int>> fileAt;

  const WalkedLevel* EntryLevel(const std::string& entry) const;
  const WalkedItem& File(int file) const;
};

// Walks every entry once, reading only. A folder reached again through a link is listed
// once per entry, so that a loop ends.
SourceWalk WalkSources(FileSystem& fs, const std::vector<std::string>& entries);

// What stands at a file's target before the run.
enum class TargetState {
  Unknown,      // not planned (look when copying)
  Missing,      // nothing, or a folder of that name: copied new
  SourceNewer,  // a file older than the source (to the 2-second step)
  SourceOlder,  // a file newer than the source
  SameTime,     // a file of the same 2-second step but another size
  Unchanged,    // same size, and last written less than 2 seconds apart
};

// Older means strictly earlier once both times are local times reduced to the 2-second step.
bool IsOlder(FileTime a, FileTime b);

// Compares a source file with what is at its target.
TargetState CompareTarget(const FindEntry& source, const std::optional<FindEntry>& target);

// What a run would do with one file.
// Check: the plan could not tell (a target folder that cannot be read); the copy looks.
enum class PlanAction { New, ReplaceNewer, ReplaceOlder, Ask, Unchanged, Check };

struct PlanDecision {
  bool confirmOverWrite = false;
  bool butOldIsIgnore = false;
  bool skipUnchanged = false;
  bool batchMode = false;
};
// The overwrite rules applied to what is at the target.
PlanAction DecideAction(TargetState state, const PlanDecision& options);

// One file of one destination, in the order the run copies them.
struct PlannedFile {
  int file = -1;  // the walk's number
  TargetState state = TargetState::Unknown;
};

// One destination: what stands at each target there.
struct DestinationPlan {
  std::string folder;
  bool reachable = true;  // false: its folder cannot be reached or read
  std::string problem;    // why not
  std::vector<PlannedFile> files;
  // By the walk's file number: what the copy finds. A target that more than one file goes to
  // (an entry listed twice, two entries with a file of the same name) is Unknown here: the
  // copy looks at it when it gets there.
  std::vector<TargetState> targets;

  TargetState TargetOf(int file) const {
    return file >= 0 && file < static_cast<int>(targets.size()) ? targets[file]
                                                                : TargetState::Unknown;
  }
};

// Looks at what is at every target of the destination, one listing per target folder. A
// folder that does not exist yet plans every file below it as new.
DestinationPlan PlanDestination(FileSystem& fs, const SourceWalk& walk,
                                const std::vector<std::string>& entries, const std::string& folder);

// The whole run: the walk and every destination marked when it starts, in tree order.
struct RunPlan {
  std::vector<std::string> entries;
  SourceWalk walk;
  std::vector<DestinationPlan> destinations;

  const DestinationPlan* For(const std::string& folder) const;
};
RunPlan PlanRun(FileSystem& fs, const std::vector<std::string>& entries,
                const std::vector<std::string>& folders);

// What a run would copy in all.
struct PlanTotals {
  int files = 0;  // to copy (new, replaced, or asked about)
  std::uint64_t bytes = 0;
  int unchanged = 0;  // left alone
};
PlanTotals TotalsOf(const SourceWalk& walk, const DestinationPlan& plan,
                    const PlanDecision& options);
PlanTotals TotalsOf(const RunPlan& plan, const PlanDecision& options);

// The preview of one destination: its folder, a line per file that would change with why,
// then the total line. Unchanged files are counted in the total, not listed.
std::vector<std::string> PreviewLines(const SourceWalk& walk, const DestinationPlan& plan,
                                      const PlanDecision& options);
// "新規", "上書き (配布元が新しい)", ... as the preview shows them.
const char* PlanActionText(PlanAction action);

}  // namespace tolvane
