#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/RunFlags.h"
#include "engine/RunProgress.h"
#include "log/StatusLog.h"
#include "platform/Clock.h"
#include "setup/SourceList.h"
#include "tree/DestinationTree.h"

namespace tolvane {

// What a run shows in the window while it works.
class RunView {
 public:
  virtual ~RunView() = default;
  // The Go button's stop picture and the source pane disabled while running.
  virtual void ShowRunning(bool running) = 0;
  // Selects the destination being served (which brings it into view) and, unless in batch
  // mode, gives the tree the focus.
  virtual void ShowDestination(TreeNode* node) = 0;
};

// What a run did at one destination.
struct DestinationResult {
  std::string folder;  // its folder path (the node path where it has none)
  int copied = 0;
  int skipped = 0;
  int unchanged = 0;
  int failed = 0;
  std::uint64_t bytes = 0;
  std::chrono::milliseconds time{0};
  std::string firstFailure;  // what failed first there, and why
  bool destinationFailed = false;
};

struct RunOutcome {
  bool stopped = false;
  bool anyDestinationFailed = false;
  // One per destination served, the failed ones first, each group in tree order.
  std::vector<DestinationResult> results;
};

// The log line of one destination's result, written at the end of a run; it names failures
// only where there were some.
std::string ResultLogLine(const DestinationResult& result);

// Copies one source entry into one destination folder; true when anything failed there.
using CopyEntryFn = std::function<bool(const std::string& entry, const std::string& folder)>;

// Copies every source entry into every marked destination, destinations in tree order, each
// destination served with all entries before the next.
class DistributionRun {
 public:
  DistributionRun(DestinationTree& tree, const SourceList& sources, StatusLog& log, Clock& clock,
                  RunFlags& flags, RunView& view, CopyEntryFn copyEntry);

  // Where the destinations and the run's end are counted; none by default.
  void SetProgress(RunProgress* progress) { progress_ = progress; }
  // How many files an entry holds, for the destinations nothing can reach: each of those
  // files counts as failed there. One per entry by default.
  void SetFileCounter(std::function<int(const std::string& entry)> count) {
    countFiles_ = std::move(count);
  }
  // Serves exactly the nodes that serve says yes to, marked or not, instead of the marked
  // nodes and the destinations of the list that were not found again. A node that fails gets
  // the failed mark only where it is marked.
  void SetDestinations(std::function<bool(const TreeNode&)> serve) { serve_ = std::move(serve); }
  // What the run's plan will copy, for the progress to measure against.
  void SetPlannedTotals(int files, std::uint64_t bytes) {
    plannedFiles_ = files;
    plannedBytes_ = bytes;
  }

  RunOutcome RunDistribution();
  // True when any source entry failed at the folder.
  bool DistributeToFolder(const std::string& folder);

 private:
  DestinationTree& tree_;
  const SourceList& sources_;
  StatusLog& log_;
  Clock& clock_;
  RunFlags& flags_;
  RunView& view_;
  CopyEntryFn copyEntry_;
  RunProgress* progress_ = nullptr;
  std::function<int(const std::string&)> countFiles_;
  // Every file of every source entry counts as failed at a destination nothing reaches.
  // Returns how many.
  int CountUnreachable();
  std::function<bool(const TreeNode&)> serve_;
  int plannedFiles_ = 0;
  std::uint64_t plannedBytes_ = 0;
};

// Whether a destination's folder path may be written to: on Linux only a network path, which the
// file system keeps under the network root.
bool IsNetworkDestination(const std::string& folder);

// The node that follows node in tree order (a node before its children), or null at the end.
// Nodes added while the run works (a listing under a node not yet passed) are visited in turn.
TreeNode* NextInTreeOrder(const DestinationTree& tree, TreeNode* node);

}  // namespace tolvane
