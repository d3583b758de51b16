#pragma once
// A batch run as the main window's controller makes it, into the share of each of
// DESTINATIONS servers (SRV0/share, SRV1/share, ...) of a network folder made anew: the run
// benchmarks differ only in their event pump and their source.
#include <cstdlib>
#include <filesystem>

#include "BenchSupport.h"
#include "engine/CopyEngine.h"
#include "engine/DistributionRun.h"
#include "engine/RunPlan.h"
#include "engine/RunProgress.h"
#include "platform/LocalTime.h"
#include "platform/posix/PosixFileSystem.h"
#include "setup/SourceList.h"
#include "tree/DestinationTree.h"

namespace bench {

class NullSink : public tolvane::LogSink {
 public:
  void AddMemoLine(const std::string&) override {}
  void ClearMemo() override {}
};

class NullView : public tolvane::RunView {
 public:
  void ShowRunning(bool) override {}
  void ShowDestination(tolvane::TreeNode*) override {}
};

// Empties net and gives it the servers' shares, then lets the disk settle.
inline void MakeShares(const std::string& net, int destinations) {
  std::filesystem::remove_all(net);
  for (int d = 0; d < destinations; ++d) {
    std::filesystem::create_directories(net + "/SRV" + std::to_string(d) + "/share");
  }
  Settle();
}

struct BenchRun {
  // keepShares: the shares as an earlier run left them.
  BenchRun(const std::string& net, int destinations, tolvane::EventPump& pump,
           tolvane::SourceEntry source, bool keepShares = false)
      : posix(net), log(posix, sink), run(tree, sources, log, clock, flags, view, {posix, prompts, pump, options}) {
    if (!keepShares) MakeShares(net, destinations);
    flags.batchMode = true;
    sources.Append(std::move(source));
    tolvane::TreeNode* root = tree.AddNode(nullptr, {}, "net", tolvane::NodeIcon::Network, -1);
    for (int d = 0; d < destinations; ++d) {
      const std::string unc = "\\\\SRV" + std::to_string(d) + "\\share";
      tree.AddNode(root, {unc, "share", "", true}, "share", tolvane::NodeIcon::Share,
                   tolvane::kStateMarked);
    }
    run.SetProgress(&progress);
    // As many destinations at once as the PARALLEL environment variable says (default 4).
    const char* parallel = std::getenv("PARALLEL");
    run.SetParallel(parallel ? std::atoi(parallel) : 4);
  }

  // Plans the run as the window does before it copies: the copy then follows the plan.
  void Plan() {
    std::vector<std::string> entries, folders;
    for (int i = 0; i < sources.Count(); ++i) entries.push_back(sources.At(i).path);
    for (int i = 0; i < tree.NodeCount(); ++i) {
      if (tolvane::IsMarkedState(tree.NodeAt(i)->StateImage())) {
        folders.push_back(tree.NodeAt(i)->Record().folderPath);
      }
    }
    plan = tolvane::PlanRun(posix, entries, folders);
    const auto totals = tolvane::TotalsOf(
        plan,
        {options.ConfirmOverWrite(), options.ButOldIsIgnore(), options.SkipUnchanged(), true});
    run.SetPlannedTotals(totals.files, totals.bytes);
    run.SetPlan(&plan);
  }

  tolvane::PosixFileSystem posix;
  NullSink sink;
  tolvane::StatusLog log;
  NoPrompts prompts;
  Options options;
  tolvane::RunFlags flags;
  tolvane::SourceList sources;
  tolvane::DestinationTree tree;
  tolvane::SystemClock clock;
  tolvane::RunProgress progress{clock, nullptr};
  NullView view;
  tolvane::RunPlan plan;
  tolvane::DistributionRun run;
};

}  // namespace bench
