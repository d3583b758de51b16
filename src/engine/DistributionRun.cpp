#include "engine/DistributionRun.h"

#include <algorithm>

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
  flags_.overwriteAll.reset();
  log_.AddLogLine(RunStartLine(clock_.Now()));
  // Which destinations failed is told of this run alone; the failed marks stay.
  std::vector<TreeNode*> toServe;
  if (serve_) {
    for (int i = 0; i < tree_.NodeCount(); ++i) {
      if (serve_(*tree_.NodeAt(i))) toServe.push_back(tree_.NodeAt(i));
    }
  }
  tree_.ClearFailedInLastRun();
  const auto serves = [&](TreeNode* node) {
    if (!serve_) return IsMarkedState(node->StateImage());
    return std::find(toServe.begin(), toServe.end(), node) != toServe.end();
  };
  if (progress_) {
    // The destinations that could not be found again count among the run's destinations too.
    progress_->StartRun(serve_ ? static_cast<int>(toServe.size())
                               : tree_.CountMarkedNodes() +
                                     static_cast<int>(tree_.Unrestored().size()));
    progress_->SetPlannedTotals(plannedFiles_, plannedBytes_);
  }
  // The walk follows nodes, not indices: the tree stays usable during a run, and a listing
  // that adds nodes must neither skip a destination nor serve one twice.
  for (TreeNode* node = tree_.Root(); node; node = NextInTreeOrder(tree_, node)) {
    if (!serves(node)) continue;
    view_.ShowDestination(node);
    if (progress_) progress_->StartDestination();
    const RunCounts before = progress_ ? progress_->Counts() : RunCounts{};
    const auto started = clock_.Ticks();
    flags_.firstFailure.clear();
    const std::string folder = node->Record().folderPath;
    log_.AddLogLine(LogName(folder));
    bool failed = false;
    if (!IsNetworkDestination(folder)) {
      // A network-place shortcut that leads elsewhere on this machine (a list may mark one):
      // nothing is written there.
      const std::string line = "ネットワークフォルダの外を指すため書き込みません: " +
                               LogName(folder.empty() ? node->Record().nodePath : folder);
      log_.AddLogLine("  " + line);
      flags_.firstFailure = line;
      CountUnreachable();  // nothing arrived there
      failed = true;
    } else {
      failed = DistributeToFolder(folder);
    }
    if (failed) {
      if (IsMarkedState(node->StateImage())) tree_.SetStateImage(node, kStateFailed);
      tree_.SetFailedInLastRun(node, true);
      outcome.anyDestinationFailed = true;
    }
    DestinationResult result;
    result.folder = folder.empty() ? node->Record().nodePath : folder;
    if (progress_) {
      const RunCounts& after = progress_->Counts();
      result.copied = after.copied - before.copied;
      result.skipped = after.skipped - before.skipped;
      result.unchanged = after.unchanged - before.unchanged;
      result.failed = after.failed - before.failed;
      result.bytes = after.bytes - before.bytes;
    }
    result.time = clock_.Ticks() - started;
    result.firstFailure = flags_.firstFailure;
    result.destinationFailed = failed;
    outcome.results.push_back(std::move(result));
    if (flags_.stopRequested) break;
  }
  // The destinations of the list that could not be found again fail: nothing reached them.
  if (!flags_.stopRequested && !serve_) {
    for (const UnrestoredDestination& d : tree_.Unrestored()) {
      static constexpr char kUnrestored[] = "配布先をツリーに再現できなかったため配布できません";
      // One of the run's destinations all the same: the summary counts it.
      if (progress_) progress_->StartDestination();
      log_.AddLogLine(LogName(d.folderPath.empty() ? d.nodePath : d.folderPath));
      log_.AddLogLine(std::string("  ") + kUnrestored);
      const int files = CountUnreachable();
      outcome.anyDestinationFailed = true;
      DestinationResult result;
      result.folder = d.folderPath.empty() ? d.nodePath : d.folderPath;
      result.failed = files;
      result.firstFailure = kUnrestored;
      result.destinationFailed = true;
      outcome.results.push_back(std::move(result));
    }
  }
  std::stable_partition(outcome.results.begin(), outcome.results.end(),
                        [](const DestinationResult& r) { return r.destinationFailed; });
  for (const DestinationResult& result : outcome.results) log_.AddLogLine(ResultLogLine(result));
  outcome.stopped = flags_.stopRequested;
  log_.AddLogLine(RunEndLine(clock_.Now(), outcome.stopped));
  if (progress_) progress_->EndRun(outcome.stopped);
  return outcome;
}

int DistributionRun::CountUnreachable() {
  int files = 0;
  for (int j = 0; j < sources_.Count(); ++j) {
    files += countFiles_ ? countFiles_(sources_.At(j).path) : 1;
  }
  // A destination with nothing to copy still failed.
  files = std::max(files, 1);
  if (progress_) progress_->FileFailed(files);
  return files;
}

std::string ResultLogLine(const DestinationResult& r) {
  // "失敗" only where something failed: a search of the log for it finds failures alone.
  return "結果 " + LogName(r.folder) + ": 成功 " + std::to_string(r.copied) + ", スキップ " +
         std::to_string(r.skipped) + ", 変更なし " + std::to_string(r.unchanged) +
         (r.failed ? ", 失敗 " + std::to_string(r.failed) : std::string()) + ", " +
         FormatBytes(r.bytes) + ", " + FormatElapsed(r.time);
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
