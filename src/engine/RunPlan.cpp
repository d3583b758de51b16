#include "engine/RunPlan.h"

#include <chrono>
#include <set>

#include "engine/CopyEngine.h"
#include "engine/DistributionRun.h"
#include "engine/RunProgress.h"
#include "log/StatusLog.h"
#include "platform/LocalTime.h"
#include "platform/NetworkPaths.h"

namespace tolvane {
namespace {

// Two times this close are one time to a volume that keeps only every other second.
constexpr auto kTimeGranularity = std::chrono::seconds(2);

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

int WalkLevel(FileSystem& fs, SourceWalk& walk, const std::string& path, int parent,
              const std::string& name, std::set<FileIdentity>& visited) {
  const int index = static_cast<int>(walk.levels.size());
  walk.levels.emplace_back();
  WalkedLevel level;
  level.entry = path;
  level.parent = parent;
  level.name = name;
  level.isFolder = fs.IsFolder(path);
  const std::string pattern = level.isFolder ? JoinPath(path, "*.*") : path;
  if (level.isFolder) {
    level.identity = fs.Identity(path);
    if (level.identity) visited.insert(*level.identity);
  }
  const std::string prefix = SearchPrefix(pattern);
  std::vector<FindEntry> found = fs.Find(pattern);
  if (found.empty()) level.error = fs.LastError();
  // Depth first, in listing order, as the copy goes: a folder reached again through a link is
  // passed over where the copy would pass over it.
  for (FindEntry& e : found) {
    if (e.name == "." || e.name == "..") continue;
    WalkedItem item;
    item.path = prefix + e.name;
    item.entry = std::move(e);
    if (item.entry.isFolder) {
      item.identity = fs.Identity(item.path);
      if (!item.identity || !visited.count(*item.identity)) {
        item.level = WalkLevel(fs, walk, item.path, index, item.entry.name, visited);
      }
    } else {
      item.file = walk.files++;
      walk.fileAt.emplace_back(index, static_cast<int>(level.items.size()));
    }
    level.items.push_back(std::move(item));
  }
  walk.levels[index] = std::move(level);
  return index;
}

// What a target folder holds, by name.
struct Listing {
  enum class State { Listed, Missing, Unreadable } state = State::Missing;
  std::map<std::string, FindEntry> items;
};

Listing ListFolder(FileSystem& fs, const std::string& folder) {
  Listing listing;
  std::vector<FindEntry> found = fs.Find(JoinPath(folder, "*.*"));
  if (found.empty() && !fs.LastError().empty()) {
    listing.state = fs.IsFolder(folder) ? Listing::State::Unreadable : Listing::State::Missing;
    return listing;
  }
  if (found.empty() && !fs.IsFolder(folder)) return listing;
  listing.state = Listing::State::Listed;
  for (FindEntry& e : found) listing.items.emplace(e.name, std::move(e));
  return listing;
}

// Whether a missing destination folder could be made: some folder above it exists, the share
// of a network path at least.
bool CanBeMade(FileSystem& fs, std::string folder) {
  for (;;) {
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    const std::string prefix = SearchPrefix(folder);
    if (prefix.empty() || prefix.size() >= folder.size()) return false;
    folder = prefix.substr(0, prefix.size() - 1);
    if (folder.empty()) return false;
    if (IsNetworkPath(folder)) {
      // \\SERVER\share: below that, a folder can be made; the share itself cannot.
      int parts = 0;
      bool inPart = false;
      for (std::size_t i = 2; i < folder.size(); ++i) {
        const bool sep = folder[i] == '\\' || folder[i] == '/';
        if (!sep && !inPart) ++parts;
        inPart = !sep;
      }
      if (parts < 2) return false;
    }
    if (fs.IsFolder(folder)) return true;
  }
}

class Planner {
 public:
  Planner(FileSystem& fs, const SourceWalk& walk, DestinationPlan& plan)
      : fs_(fs), walk_(walk), plan_(plan), shared_(walk.files, false) {}

  // A target that more than one file goes to is left for the copy to look at.
  void Finish() {
    for (std::size_t f = 0; f < shared_.size(); ++f) {
      if (shared_[f]) plan_.targets[f] = TargetState::Unknown;
    }
  }

  void Level(const WalkedLevel& level, const std::string& folder, bool missing) {
    Listing listing;
    if (!missing) listing = ListFolder(fs_, folder);
    const bool absent = missing || listing.state == Listing::State::Missing;
    for (const WalkedItem& item : level.items) {
      const std::string target = JoinPath(folder, item.entry.name);
      if (item.entry.isFolder) {
        if (item.level < 0) continue;
        bool subMissing = absent;
        if (listing.state == Listing::State::Listed) {
          const auto it = listing.items.find(item.entry.name);
          subMissing = it == listing.items.end() || !it->second.isFolder;
        }
        Level(walk_.levels[item.level], target, subMissing);
        continue;
      }
      TargetState state = TargetState::Missing;
      if (const auto earlier = claimed_.find(target); earlier != claimed_.end()) {
        // An earlier file of this run lands there first.
        state = CompareTarget(item.entry, earlier->second.first);
        shared_[earlier->second.second] = shared_[item.file] = true;
      } else if (listing.state == Listing::State::Unreadable) {
        state = TargetState::Unknown;
      } else if (!absent) {
        state = StateIn(listing, item.entry);
      }
      claimed_.emplace(target, std::make_pair(item.entry, item.file));
      plan_.files.push_back({item.file, state});
      plan_.targets[item.file] = state;
    }
  }

 private:
  static TargetState StateIn(const Listing& listing, const FindEntry& source) {
    if (const auto it = listing.items.find(source.name); it != listing.items.end()) {
      return CompareTarget(source, it->second);
    }
    // A name that differs only in case may be the same file where names are case-blind:
    // left for the copy to look at.
    for (const auto& [name, e] : listing.items) {
      if (SameIgnoringAsciiCase(name, source.name)) return TargetState::Unknown;
    }
    return TargetState::Missing;
  }

  FileSystem& fs_;
  const SourceWalk& walk_;
  DestinationPlan& plan_;
  std::vector<bool> shared_;
  // The targets planned so far, with the file that goes there first.
  std::map<std::string, std::pair<FindEntry, int>> claimed_;
};

}  // namespace

bool IsOlder(FileTime a, FileTime b) {
  const auto localA = ToLocalFileDate(a);
  const auto localB = ToLocalFileDate(b);
  if (localA && localB) return CompareLocal(*localA, *localB) < 0;
  const auto step = [](FileTime t) {
    const auto s = std::chrono::floor<std::chrono::seconds>(t.time_since_epoch()).count();
    return s >= 0 ? s / 2 : (s - 1) / 2;
  };
  return step(a) < step(b);
}

const WalkedItem& SourceWalk::File(int file) const {
  const auto [level, item] = fileAt[static_cast<std::size_t>(file)];
  return levels[static_cast<std::size_t>(level)].items[static_cast<std::size_t>(item)];
}

const WalkedLevel* SourceWalk::EntryLevel(const std::string& entry) const {
  const auto it = entries.find(entry);
  return it == entries.end() ? nullptr : &levels[it->second];
}

SourceWalk WalkSources(FileSystem& fs, const std::vector<std::string>& entries) {
  SourceWalk walk;
  for (const std::string& entry : entries) {
    if (walk.entries.count(entry)) continue;
    std::set<FileIdentity> visited;
    walk.entries[entry] = WalkLevel(fs, walk, entry, -1, {}, visited);
  }
  return walk;
}

TargetState CompareTarget(const FindEntry& source, const std::optional<FindEntry>& target) {
  if (!target || target->isFolder) return TargetState::Missing;
  const auto apart = source.lastWrite > target->lastWrite ? source.lastWrite - target->lastWrite
                                                          : target->lastWrite - source.lastWrite;
  if (source.size == target->size && apart < kTimeGranularity) return TargetState::Unchanged;
  if (IsOlder(target->lastWrite, source.lastWrite)) return TargetState::SourceNewer;
  if (IsOlder(source.lastWrite, target->lastWrite)) return TargetState::SourceOlder;
  return TargetState::SameTime;
}

PlanAction DecideAction(TargetState state, const PlanDecision& o) {
  switch (state) {
    case TargetState::Missing:
      return PlanAction::New;
    case TargetState::Unknown:
      return PlanAction::Check;
    case TargetState::Unchanged:
      if (o.skipUnchanged) return PlanAction::Unchanged;
      break;
    default:
      break;
  }
  const PlanAction replace =
      state == TargetState::SourceOlder ? PlanAction::ReplaceOlder : PlanAction::ReplaceNewer;
  if (!o.confirmOverWrite || o.batchMode) return replace;
  if (state == TargetState::SourceNewer && o.butOldIsIgnore) return replace;
  return PlanAction::Ask;
}

DestinationPlan PlanDestination(FileSystem& fs, const SourceWalk& walk,
                                const std::vector<std::string>& entries,
                                const std::string& folder) {
  DestinationPlan plan;
  plan.folder = folder;
  plan.targets.assign(static_cast<std::size_t>(walk.files), TargetState::Unknown);
  if (!IsNetworkDestination(folder) || fs.LeadsOutsideNetwork(folder)) {
    plan.reachable = false;
    plan.problem = "ネットワークフォルダの外を指すため書き込みません: " + LogName(folder);
    return plan;
  }
  const bool exists = fs.IsFolder(folder);
  if (!exists && !CanBeMade(fs, folder)) {
    plan.reachable = false;
    plan.problem = "フォルダを作成できません: " + LogName(folder);
    return plan;
  }
  Planner planner(fs, walk, plan);
  for (const std::string& entry : entries) {
    if (const WalkedLevel* level = walk.EntryLevel(entry)) planner.Level(*level, folder, !exists);
  }
  planner.Finish();
  return plan;
}

const DestinationPlan* RunPlan::For(const std::string& folder) const {
  for (const DestinationPlan& d : destinations) {
    if (d.folder == folder) return &d;
  }
  return nullptr;
}

RunPlan PlanRun(FileSystem& fs, const std::vector<std::string>& entries,
                const std::vector<std::string>& folders) {
  RunPlan plan;
  plan.entries = entries;
  plan.walk = WalkSources(fs, entries);
  for (const std::string& folder : folders) {
    // A folder marked twice (through a shortcut, say) is looked at once.
    if (plan.For(folder)) continue;
    plan.destinations.push_back(PlanDestination(fs, plan.walk, entries, folder));
  }
  return plan;
}

PlanTotals TotalsOf(const SourceWalk& walk, const DestinationPlan& plan,
                    const PlanDecision& options) {
  PlanTotals totals;
  for (const PlannedFile& f : plan.files) {
    if (DecideAction(f.state, options) == PlanAction::Unchanged) {
      ++totals.unchanged;
    } else {
      ++totals.files;
      totals.bytes += walk.File(f.file).entry.size;
    }
  }
  return totals;
}

PlanTotals TotalsOf(const RunPlan& plan, const PlanDecision& options) {
  PlanTotals totals;
  for (const DestinationPlan& d : plan.destinations) {
    const PlanTotals t = TotalsOf(plan.walk, d, options);
    totals.files += t.files;
    totals.bytes += t.bytes;
    totals.unchanged += t.unchanged;
  }
  return totals;
}

const char* PlanActionText(PlanAction action) {
  switch (action) {
    case PlanAction::New:
      return "新規";
    case PlanAction::ReplaceNewer:
      return "上書き (配布元が新しい)";
    case PlanAction::ReplaceOlder:
      return "上書き (配布元が古い)";
    case PlanAction::Ask:
      return "確認して上書き";
    case PlanAction::Unchanged:
      return "変更なし";
    case PlanAction::Check:
      return "コピー時に確認";
  }
  return "";
}

std::vector<std::string> PreviewLines(const SourceWalk& walk, const DestinationPlan& plan,
                                      const PlanDecision& options) {
  std::vector<std::string> lines{LogName(plan.folder)};
  if (!plan.reachable) {
    lines.push_back("  " + plan.problem);
    return lines;
  }
  for (const PlannedFile& f : plan.files) {
    const PlanAction action = DecideAction(f.state, options);
    if (action == PlanAction::Unchanged) continue;
    lines.push_back("  " + std::string(PlanActionText(action)) + ": " +
                    LogName(walk.File(f.file).path));
  }
  const PlanTotals t = TotalsOf(walk, plan, options);
  lines.push_back("  計 " + std::to_string(t.files) + " ファイル " + FormatBytes(t.bytes) +
                  "、変更なし " + std::to_string(t.unchanged));
  return lines;
}

}  // namespace tolvane
