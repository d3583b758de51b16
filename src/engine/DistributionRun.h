#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/RunFlags.h"
#include "engine/RunProgress.h"
#include "engine/StatusLog.h"
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

struct RunOutcome {
  bool stopped = false;
  bool anyDestinationFailed = false;
};

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
