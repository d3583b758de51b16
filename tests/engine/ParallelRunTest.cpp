// A run serving several destinations at once: its log, its questions, its stop and its walk.
// The workers are held back and let go by what the other workers and the window thread have
// done, never by time.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/DistributionRun.h"
#include "support/Fakes.h"
#include "support/FaultFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

using test::FsOp;

using test::NullRunView;

// Waits, without sleeping, until done says so; false when it never does (the run is stuck).
template <typename F>
bool Await(F done) {
  for (long i = 0; i < 50'000'000; ++i) {
    if (done()) return true;
    std::this_thread::yield();
  }
  return false;
}

class ParallelRunTest : public testing::Test {
 protected:
  ParallelRunTest() {
    options.confirm = false;
    options.butOld = false;
    options.ignoreError = true;
    log.SetSaveToFileSource([] { return false; });
    for (const char* name : {"a.txt", "pack/b.txt", "pack/c.txt"}) dir.Write(std::string("src/") + name, name);
    sources.Append({dir / "src/a.txt", "", ""});
    sources.Append({dir / "src/pack", "", ""});
    root = tree.AddNode(nullptr, {}, "net", NodeIcon::Network, kStateNone);
    for (const char* server : {"PC01", "PC02", "PC03"}) {
      dir.MakeDir(std::string("net/") + server + "/share");
      const std::string unc = std::string("\\\\") + server + "\\share";
      nodes.push_back(tree.AddNode(root, {unc, "share", "", true}, server, NodeIcon::Share,
                                   kStateMarked));
    }
  }

  RunOutcome Run(int parallel) {
    sink.lines.clear();
    flags.stopRequested = false;
    DistributionRun run(tree, sources, log, clock, flags, view, {fs, prompts, pump, options});
    run.SetParallel(parallel);
    return run.RunDistribution();
  }

  // Counts the copies made at each server.
  void CountCopies() {
    fs.beforeOp = [this](FsOp op, const std::string& target) {
      if (op != FsOp::CopyFile) return;
      for (int i = 0; i < 3; ++i) {
        if (target.find(std::string("PC0") + char('1' + i)) != std::string::npos) ++copies[i];
      }
      if (hold) hold(target);
    };
  }

  test::TempDir dir;
  test::NativeFileSystem real{dir / "net"};
  test::FaultFileSystem fs{real};
  test::ScriptedPrompts prompts;
  test::FakeEventPump pump;
  test::VectorLogSink sink;
  StatusLog log{fs, sink};
  test::ManualClock clock;
  test::TestOptions options;
  RunFlags flags;
  NullRunView view;
  SourceList sources;
  DestinationTree tree;
  TreeNode* root = nullptr;
  std::vector<TreeNode*> nodes;
  std::atomic<int> copies[3] = {0, 0, 0};
  // Runs on a worker before each copy, with its target.
  std::function<void(const std::string& target)> hold;
};

// Whatever order the destinations finish in, the log is the one a run serving one destination
// after another writes: a block per destination, in tree order. The same holds for the marks.
TEST_F(ParallelRunTest, TheLogReadsAsIfOneDestinationCameAfterAnother) {
  fs.FailOn(FsOp::CopyFile, "PC02\\share\\c.txt");
  const RunOutcome one = Run(1);
  const std::vector<std::string> expected = sink.lines;
  ASSERT_GT(expected.size(), 1u + 3u * 4u);
  EXPECT_TRUE(one.anyDestinationFailed);

  for (TreeNode* node : nodes) tree.SetStateImage(node, kStateMarked);
  fs.FailOn(FsOp::CopyFile, "PC02\\share\\c.txt");
  CountCopies();
  // The first destination finishes last: it waits until the others have copied everything.
  hold = [this](const std::string& target) {
    if (target.find("PC01") == std::string::npos) return;
    EXPECT_TRUE(Await([this] { return copies[1] == 3 && copies[2] == 3; }));
  };
  const RunOutcome three = Run(3);
  EXPECT_EQ(sink.lines, expected);
  EXPECT_EQ(nodes[0]->StateImage(), kStateMarked);
  EXPECT_EQ(nodes[1]->StateImage(), kStateFailed);
  EXPECT_EQ(nodes[2]->StateImage(), kStateMarked);
  ASSERT_EQ(three.results.size(), 3u);
  EXPECT_EQ(three.results[0].folder, R"(\\PC02\share)");  // the failed ones first
  EXPECT_EQ(three.results[0].failed, 1);
  EXPECT_EQ(three.results[1].copied, 3);
}

// The questions of two workers come one after another on the window thread, while a third
// worker goes on copying; an answer for the whole run answers the question waiting behind it.
TEST_F(ParallelRunTest, QuestionsComeOneAtATimeWhileOtherWorkersGoOn) {
  options.confirm = true;
  for (const char* server : {"PC01", "PC02"}) dir.Write(std::string("net/") + server + "/share/a.txt", "old");
  CountCopies();
  const auto windowThread = std::this_thread::get_id();
  int showing = 0;
  prompts.whileShown = [&] {
    EXPECT_EQ(std::this_thread::get_id(), windowThread);
    EXPECT_EQ(++showing, 1);
    // The worker that asks nothing goes on while the question is on screen.
    EXPECT_TRUE(Await([this] { return copies[2] == 3; }));
  };
  prompts.answers = {PromptAnswer::YesToAll};

  const RunOutcome outcome = Run(3);
  EXPECT_FALSE(outcome.anyDestinationFailed);
  EXPECT_EQ(prompts.asked.size(), 1u);  // the other worker's question was answered with it
  EXPECT_EQ(dir.Read("net/PC01/share/a.txt"), "a.txt");
  EXPECT_EQ(dir.Read("net/PC02/share/a.txt"), "a.txt");
}

// A failure without IgnoreError in batch mode stops the run: the other workers end after their
// current file and say so, every destination cut short gets the failed mark, and no further
// destination is handed out.
TEST_F(ParallelRunTest, AFailureWithoutIgnoreErrorStopsEveryWorker) {
  options.ignoreError = false;
  flags.batchMode = true;
  fs.FailOn(FsOp::CopyFile, "PC01\\share\\a.txt");
  CountCopies();
  // The second destination is in the middle of its first file when the first one fails.
  hold = [this](const std::string& target) {
    if (target.find("PC02") != std::string::npos) {
      EXPECT_TRUE(Await([this] { return flags.stopRequested.load(); }));
    }
  };

  const RunOutcome outcome = Run(2);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(copies[1], 1);  // its file in hand, then no more
  EXPECT_EQ(copies[2], 0);  // never handed out
  EXPECT_EQ(nodes[0]->StateImage(), kStateFailed);
  EXPECT_EQ(nodes[1]->StateImage(), kStateFailed);
  EXPECT_EQ(nodes[2]->StateImage(), kStateMarked);
  const auto has = [this](const std::string& line) {
    return std::find(sink.lines.begin(), sink.lines.end(), line) != sink.lines.end();
  };
  EXPECT_TRUE(has("  配布が中止されたため、この配布先の残りは写しません"));
  EXPECT_FALSE(has(R"(\\PC03\share)"));
  EXPECT_NE(sink.lines.back().find("配布中止"), std::string::npos);
}

// Destinations are handed out in tree order as the walk reaches them: a mark set during the run
// on a node not yet reached counts, one taken away before it is reached is not served.
TEST_F(ParallelRunTest, AMarkChangedDuringTheRunCountsWhereTheWalkHasNotPassed) {
  tree.SetStateImage(nodes[2], kStateNone);
  CountCopies();
  std::atomic<bool> changed = false;
  pump.onProcess = [&] {
    if (changed) return;
    tree.SetStateImage(nodes[1], kStateNone);
    tree.SetStateImage(nodes[2], kStateMarked);
    changed = true;
  };
  hold = [&](const std::string& target) {
    if (target.find("PC01") != std::string::npos) {
      EXPECT_TRUE(Await([&] { return changed.load(); }));
    }
  };

  Run(1);
  EXPECT_EQ(copies[0], 3);
  EXPECT_EQ(copies[1], 0);
  EXPECT_EQ(copies[2], 3);
}

}  // namespace
}  // namespace tolvane
