#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/RunFlags.h"
#include "engine/RunPlan.h"
#include "engine/RunProgress.h"
#include "log/StatusLog.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/Prompts.h"
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

// What a run copies with, as the window thread has them. Each worker makes its own file
// system from fs (or takes turns on it), and asks its questions through prompts on the window
// thread, one at a time.
struct RunTools {
  FileSystem& fs;
  Prompts& prompts;
  EventPump& pump;
  const CopyOptions& options;
};

// Copies every source entry into every marked destination. Up to Parallel destinations are
// served at once, each by a worker thread of its own with all entries; the window thread hands
// out the destinations in tree order as workers come free, shows the progress, asks the
// workers' questions one after another and applies the marks. The log reads as if one
// destination came after another: each destination's lines form one block, the blocks in
// tree order; the first unfinished destination's lines appear as they come, later ones are
// held until their turn.
class DistributionRun {
 public:
  static constexpr int kMaxParallel = 32;

  DistributionRun(DestinationTree& tree, const SourceList& sources, StatusLog& log, Clock& clock,
                  RunFlags& flags, RunView& view, RunTools tools);
  ~DistributionRun();

  // Where the destinations and the run's end are counted; none by default.
  void SetProgress(RunProgress* progress) { progress_ = progress; }
  // How many files an entry holds, for the destinations nothing can reach: each of those
  // files counts as failed there. One per entry by default. Called on the window thread.
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
  // The run's plan, which every destination's copy follows; without one every target is
  // looked at when it is copied.
  void SetPlan(const RunPlan* plan) { plan_ = plan; }
  // How many destinations are served at once: 1 to kMaxParallel, 1 being one after another.
  void SetParallel(int parallel);

  RunOutcome RunDistribution();

 private:
  class Session;

  DestinationTree& tree_;
  const SourceList& sources_;
  StatusLog& log_;
  Clock& clock_;
  RunFlags& flags_;
  RunView& view_;
  RunTools tools_;
  RunProgress* progress_ = nullptr;
  std::function<int(const std::string&)> countFiles_;
  std::function<bool(const TreeNode&)> serve_;
  int plannedFiles_ = 0;
  std::uint64_t plannedBytes_ = 0;
  const RunPlan* plan_ = nullptr;
  int parallel_ = 1;
};

// Whether a destination's folder path may be written to: on Linux only a network path, which the
// file system keeps under the network root.
bool IsNetworkDestination(const std::string& folder);

// The node that follows node in tree order (a node before its children), or null at the end.
// Nodes added while the run works (a listing under a node not yet passed) are visited in turn.
TreeNode* NextInTreeOrder(const DestinationTree& tree, TreeNode* node);

}  // namespace tolvane
