#include "engine/DistributionRun.h"

#include "platform/NetworkPaths.h"

namespace tolvane {

DistributionRun::DistributionRun(DestinationTree& tree, const SourceList& sources, StatusLog& log,
                                 Clock& clock, RunFlags& flags, RunView& view,
                                 CopyEntryFn copyEntry)
    : tree_(tree),
      sources_(sources),
      log_(log),
      clock_(clock),
      flags_(flags),
      view_(view),
      copyEntry_(std::move(copyEntry)) {}

bool IsNetworkDestination(const std::string& folder) {
#ifdef _WIN32
  // The shell's network places may lead anywhere the system can reach.
  return !folder.empty();
#else
  // Here every destination is a folder under the network root, reached by its network path.
  return IsNetworkPath(folder);
#endif
}

TreeNode* NextInTreeOrder(const DestinationTree& tree, TreeNode* node) {
  if (!node) return nullptr;
  if (node->ChildCount() > 0) return node->Child(0);
  for (TreeNode* n = node; n; n = n->Parent()) {
    const int next = n->Row() + 1;
    TreeNode* parent = n->Parent();
    const int siblings = parent ? parent->ChildCount() : tree.TopLevelCount();
    if (next < siblings) return parent ? parent->Child(next) : tree.TopLevel(next);
  }
  return nullptr;
}

RunOutcome DistributionRun::RunDistribution() {
  RunOutcome outcome;
  view_.ShowRunning(true);
  // Every file has a log line: the file stays open for the run.
  log_.KeepFileOpen(true);
  struct Restore {
    RunView& view;
    StatusLog& log;
    ~Restore() {
      log.KeepFileOpen(false);
      view.ShowRunning(false);
    }
  } restore{view_, log_};

  log_.ClearMemo();
  flags_.destinationFolders.clear();
  flags_.cleanedFolders.clear();
  log_.AddLogLine(RunStartLine(clock_.Now()));
  if (progress_) {
    progress_->StartRun(tree_.CountMarkedNodes());
    progress_->SetPlannedTotals(plannedFiles_, plannedBytes_);
  }
  // The walk follows nodes, not indices: the tree stays usable during a run, and a listing
  // that adds nodes must neither skip a destination nor serve one twice.
  for (TreeNode* node = tree_.Root(); node; node = NextInTreeOrder(tree_, node)) {
    if (!IsMarkedState(node->StateImage())) continue;
    view_.ShowDestination(node);
    if (progress_) progress_->StartDestination();
    const std::string folder = node->Record().folderPath;
    log_.AddLogLine(LogName(folder));
    if (!IsNetworkDestination(folder)) {
      // A network-place shortcut that leads elsewhere on this machine (a list may mark one):
      // nothing is written there.
      log_.AddLogLine("  ネットワークフォルダの外を指すため書き込みません: " +
                      LogName(folder.empty() ? node->Record().nodePath : folder));
      tree_.SetStateImage(node, kStateFailed);
      outcome.anyDestinationFailed = true;
    } else if (DistributeToFolder(folder)) {
      tree_.SetStateImage(node, kStateFailed);
      outcome.anyDestinationFailed = true;
    }
    if (flags_.stopRequested) break;
  }
  // The destinations of the list that could not be found again fail: nothing reached them.
  if (!flags_.stopRequested) {
    for (const UnrestoredDestination& d : tree_.Unrestored()) {
      log_.AddLogLine(LogName(d.folderPath.empty() ? d.nodePath : d.folderPath));
      log_.AddLogLine("  配布先をツリーに再現できなかったため配布できません");
      if (progress_) progress_->FileFailed();
      outcome.anyDestinationFailed = true;
    }
  }
  outcome.stopped = flags_.stopRequested;
  log_.AddLogLine(RunEndLine(clock_.Now(), outcome.stopped));
  if (progress_) progress_->EndRun(outcome.stopped);
  return outcome;
}

bool DistributionRun::DistributeToFolder(const std::string& folder) {
  bool failed = false;
  for (int j = 0; j < sources_.Count(); ++j) {
    // Copied: the list cannot change during a run, but the entry must outlive the call anyway.
    const std::string entry = sources_.At(j).path;
    if (copyEntry_(entry, folder)) failed = true;
    if (flags_.stopRequested) break;
  }
  return failed;
}

}  // namespace tolvane
