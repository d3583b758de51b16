#include <gtest/gtest.h>

#include <map>

#include "engine/CopyEngine.h"
#include "engine/RunPlan.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"
#include "support/WriteTrapFileSystem.h"

namespace tolvane {
namespace {

using test::SetMTime;
using test::TempDir;

// An even second; sources are written a second later, so that a target 2 seconds either side
// falls in another 2-second step.
constexpr long long kT = 1700000000;

TEST(RunPlanTest, EachTargetIsComparedOnceAndTheRulesDecideWithoutWritingAnything) {
  TempDir dir;
  dir.MakeDir("net/SRV/share/dest");
  struct Case {
    const char* name;
    const char* target;  // what stands at the target: "" nothing, "folder", or its content
    long long seconds;   // its time
    long nanoseconds;
    TargetState state;
    PlanAction asked;  // ConfirmOverWrite, ButOldIsIgnore and SkipUnchanged on, in the window
    PlanAction batch;  // ConfirmOverWrite on, SkipUnchanged off, batch mode
  } cases[] = {
      {"new.txt", "", 0, 0, TargetState::Missing, PlanAction::New, PlanAction::New},
      {"same.txt", "12345", kT + 1, 0, TargetState::Unchanged, PlanAction::Unchanged,
       PlanAction::ReplaceNewer},
      // Less than 2 seconds apart either way is the same time to a FAT volume.
      {"before.txt", "12345", kT - 1, 100000000, TargetState::Unchanged, PlanAction::Unchanged,
       PlanAction::ReplaceNewer},
      {"after.txt", "12345", kT + 2, 900000000, TargetState::Unchanged, PlanAction::Unchanged,
       PlanAction::ReplaceNewer},
      // 2 seconds apart is another time.
      {"older.txt", "12345", kT - 1, 0, TargetState::SourceNewer, PlanAction::ReplaceNewer,
       PlanAction::ReplaceNewer},
      {"newer.txt", "12345", kT + 3, 0, TargetState::SourceOlder, PlanAction::Ask,
       PlanAction::ReplaceOlder},
      {"size.txt", "1234", kT, 0, TargetState::SameTime, PlanAction::Ask, PlanAction::ReplaceNewer},
      {"dir.txt", "folder", 0, 0, TargetState::Missing, PlanAction::New, PlanAction::New},
      {"sub/a.txt", "", 0, 0, TargetState::Missing, PlanAction::New, PlanAction::New},
  };
  for (const Case& c : cases) {
    SetMTime(dir.Write(std::string("src/") + c.name, "12345"), kT + 1);
    const std::string target = std::string("net/SRV/share/dest/") + c.name;
    if (std::string(c.target) == "folder") {
      dir.MakeDir(target);
    } else if (*c.target) {
      SetMTime(dir.Write(target, c.target), c.seconds, c.nanoseconds);
    }
  }

  test::NativeFileSystem real{dir / "net"};
  test::WriteTrapFileSystem fs{real};
  const std::vector<std::string> entries{dir / "src"};
  const RunPlan plan =
      PlanRun(fs, entries, {R"(\\SRV\share\dest)", R"(\\SRV\share\none\deep)", R"(\\NONE\share)"});
  ASSERT_EQ(plan.walk.files, static_cast<int>(std::size(cases)));
  ASSERT_EQ(plan.destinations.size(), 3u);

  const DestinationPlan& dest = plan.destinations[0];
  std::map<std::string, const PlannedFile*> byName;
  for (const PlannedFile& f : dest.files) {
    byName[plan.walk.File(f.file).path.substr(entries[0].size() + 1)] = &f;
  }
  const PlanDecision window{true, true, true, false};
  const PlanDecision batch{true, true, false, true};
  for (const Case& c : cases) {
    const PlannedFile* f = byName[test::NativeRelative(c.name)];
    ASSERT_TRUE(f) << c.name;
    EXPECT_EQ(f->state, c.state) << c.name;
    EXPECT_EQ(DecideAction(f->state, window), c.asked) << c.name;
    EXPECT_EQ(DecideAction(f->state, batch), c.batch) << c.name;
  }
  // Without ConfirmOverWrite nothing is asked; nothing that is not unchanged is left alone.
  EXPECT_EQ(DecideAction(TargetState::SourceOlder, {false, false, true, false}),
            PlanAction::ReplaceOlder);
  const PlanTotals totals = TotalsOf(plan.walk, dest, window);
  EXPECT_EQ(totals.files, 6);
  EXPECT_EQ(totals.bytes, 30u);
  EXPECT_EQ(totals.unchanged, 3);
  const std::vector<std::string> preview = PreviewLines(plan.walk, dest, window);
  EXPECT_EQ(preview.front(), R"(\\SRV\share\dest)");
  EXPECT_EQ(preview.size(), 8u);  // the folder, six files, the total
  EXPECT_EQ(preview.back(), "  計 6 ファイル 30 B、変更なし 3");

  // A folder that is not there yet plans every file as new, and is not made.
  EXPECT_TRUE(plan.destinations[1].reachable);
  for (const PlannedFile& f : plan.destinations[1].files) {
    EXPECT_EQ(f.state, TargetState::Missing) << plan.walk.File(f.file).path;
  }
  EXPECT_FALSE(dir.Exists("net/SRV/share/none"));
  // An entry listed twice: every target is looked at when it is copied, the second time over
  // what the first copy left there.
  const DestinationPlan twice =
      PlanDestination(fs, plan.walk, {entries[0], entries[0]}, R"(\\SRV\share\dest)");
  EXPECT_EQ(twice.files.size(), 2 * std::size(cases));
  for (TargetState t : twice.targets) EXPECT_EQ(t, TargetState::Unknown);
  // A share that is not there cannot be made.
  EXPECT_FALSE(plan.destinations[2].reachable);
  EXPECT_TRUE(plan.destinations[2].files.empty());
}

}  // namespace
}  // namespace tolvane
