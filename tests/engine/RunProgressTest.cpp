#include <gtest/gtest.h>

#include "engine/CopyEngine.h"
#include "engine/DistributionRun.h"
#include "engine/RunProgress.h"
#include "support/Fakes.h"
#include "support/FaultFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

using std::chrono::milliseconds;
using test::FsOp;

TEST(RunProgressTest, ShowsAFewTimesASecondThenKeepsTheSummary) {
  test::ManualClock clock;
  std::vector<std::string> shown;
  RunProgress progress(clock, [&](const std::string& text) { shown.push_back(text); });
  clock.ticks = milliseconds(5000);  // the clock's origin is no concern of the run
  progress.StartRun(3);
  // The plan tells how much there is to copy: the share done and the time left follow.
  progress.SetPlannedTotals(4, std::uint64_t{8} << 20);
  progress.StartDestination();
  // A 4 MiB file in 1 MiB chunks, 100 ms apart: shown at the start, then every 250 ms at most.
  progress.StartFile("/src/big.bin");
  for (int chunk = 1; chunk <= 4; ++chunk) {
    clock.ticks += milliseconds(100);
    progress.FileBytes((std::uint64_t{1} << 20) * chunk);
  }
  progress.FileCopied(4 << 20);
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown.back(),
            "destination 1 of 3: 0 copied, 0 skipped, 0 unchanged, 0 failed, 3.0 MiB, 10.0 MiB/s, "
            "0 of 4 files, 3.0 MiB of 8.0 MiB (37%), 0.5 s left, /src/big.bin");

  // Bytes of a file that fails or is skipped part-way are not counted as copied.
  progress.StartDestination();
  progress.StartFile("/src/a.txt");
  progress.FileBytes(1000);
  progress.FileFailed();
  progress.StartFile("/src/b.txt");
  progress.FileSkipped();
  // Marks added during the run raise the number of destinations rather than show 4 of 3.
  progress.StartDestination();
  progress.StartDestination();
  clock.ticks += milliseconds(62000 - 400);
  progress.StartFile("/src/c.txt");
  progress.FileCopied(1536);
  EXPECT_EQ(shown.back(),
            "destination 4 of 4: 1 copied, 1 skipped, 0 unchanged, 1 failed, 4.0 MiB, 66.1 KiB/s, "
            "3 of 4 files, 4.0 MiB of 8.0 MiB (50%), 1:02 left, /src/c.txt");
  // A file left alone is neither copied nor skipped.
  progress.StartFile("/src/d.txt");
  progress.FileUnchanged();

  progress.EndRun(false);
  EXPECT_EQ(shown.back(),
            "done: 2 copied, 1 skipped, 1 unchanged, 1 failed at 4 destinations, 4.0 MiB, 1:02");
  EXPECT_EQ(progress.Summary(), shown.back());
  progress.StartRun(1);
  progress.StartDestination();
  progress.EndRun(true);
  EXPECT_EQ(progress.Summary(),
            "stopped: 0 copied, 0 skipped, 0 unchanged, 0 failed at 1 destination, 0 B, 0.0 s");
}

TEST(RunProgressTest, SizesAndTimesReadAsPeopleSayThem) {
  const std::pair<std::uint64_t, const char*> sizes[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1536, "1.5 KiB"},
      {std::uint64_t{2} << 30, "2.0 GiB"},
      {std::uint64_t{5} << 40, "5.0 TiB"},
  };
  for (const auto& [bytes, text] : sizes) EXPECT_EQ(FormatBytes(bytes), text);
  const std::pair<long long, const char*> times[] = {
      {4250, "4.2 s"}, {59999, "59.9 s"}, {60000, "1:00"}, {3725000, "1:02:05"}};
  for (const auto& [ms, text] : times) EXPECT_EQ(FormatElapsed(milliseconds(ms)), text);
}

using test::NullRunView;
using test::TestOptions;

// A run over two destinations whose files are copied, skipped and failed, as the window and
// batch mode count them.
TEST(RunProgressTest, ARunCountsEachFileOnceAtEveryDestination) {
  test::TempDir dir;
  test::NativeFileSystem real{dir / "net"};
  test::FaultFileSystem fs{real};
  test::ScriptedPrompts prompts;
  test::FakeEventPump pump;
  test::VectorLogSink sink;
  StatusLog log{fs, sink};
  log.SetSaveToFileSource([] { return false; });
  test::ManualClock clock;
  TestOptions options;
  options.ignoreError = true;
  RunFlags flags;
  std::vector<std::string> shown;
  RunProgress progress(clock, [&](const std::string& text) { shown.push_back(text); });
  // Time passes while the questions are on screen.
  prompts.whileShown = [&] { clock.ticks += milliseconds(300); };

  SourceList sources;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    const std::string path = dir.Write(std::string("src/") + name, name);
    test::SetMTime(path, 1700000000);
    sources.Append({path, "", ""});
  }
  DestinationTree tree;
  TreeNode* root = tree.AddNode(nullptr, {}, "net", NodeIcon::Network, kStateNone);
  for (const char* server : {"PC01", "PC02"}) {
    dir.MakeDir(std::string("net/") + server + "/share");
    const std::string unc = std::string("\\\\") + server + "\\share";
    tree.AddNode(root, {unc, "share", "", true}, "share", NodeIcon::Share, kStateMarked);
    // b.txt is there already and no older: the question is answered No.
    test::SetMTime(dir.Write(std::string("net/") + server + "/share/b.txt", "old"), 1800000000);
  }
  prompts.answers = {PromptAnswer::No, PromptAnswer::No};
  fs.FailOn(FsOp::CopyFile, "c.txt");
  NullRunView view;
  DistributionRun run(tree, sources, log, clock, flags, view, {fs, prompts, pump, options});
  run.SetProgress(&progress);

  const RunOutcome outcome = run.RunDistribution();
  EXPECT_TRUE(outcome.anyDestinationFailed);
  EXPECT_EQ(progress.Summary(),
            "done: 2 copied, 2 skipped, 0 unchanged, 2 failed at 2 destinations, 10 B, 0.6 s");
  EXPECT_EQ(shown.back(), progress.Summary());
  EXPECT_EQ(pump.sleeps, 0);
}

}  // namespace
}  // namespace tolvane
