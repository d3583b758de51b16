#include <gtest/gtest.h>

#include "app/core/CommandLine.h"
#include "app/core/CommandStates.h"

namespace tolvane {
namespace {

TEST(CommandLineTest, ReadsSwitchesByTheirFirstTwoCharacters) {
  const std::string cwd = "/home/u/work";
  struct Case {
    std::vector<std::string> args;
    std::string list;
    std::string log;
    bool deleteLog, saveList, batch;
  } cases[] = {
      {{}, "", "", false, true, false},
      {{"-lnight.lst"}, "/home/u/work/night.lst", "", false, true, false},
      // Paths keep their case: file names are case-sensitive here.
      {{"-L/Lists/Night.lst"}, "/Lists/Night.lst", "", false, true, false},
      {{"-l"}, "/home/u/work/", "", false, true, false},
      {{"-l", "night.lst"}, "/home/u/work/", "", false, true, false},
      {{"-la.lst", "-lb.lst"}, "/home/u/work/b.lst", "", false, true, false},
      {{"-x", "-grun.log"}, "", "/home/u/work/run.log", true, true, false},
      {{"-Grun.log", "-X"}, "", "/home/u/work/run.log", true, true, false},
      {{"-B"}, "", "", false, true, true},
      {{"-bx", "-oq"}, "", "", false, false, true},
      {{"night.lst", "--b", "b", "-"}, "", "", false, true, false},
  };
  for (const auto& c : cases) {
    const auto o = ParseCommandLine(c.args, cwd);
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(o.listPath, c.list);
    EXPECT_EQ(o.hasListPath, !c.list.empty());
    EXPECT_EQ(o.logPath, c.log);
    EXPECT_EQ(o.deleteLog, c.deleteLog);
    EXPECT_EQ(o.saveListAtExit, c.saveList);
    EXPECT_EQ(o.batchMode, c.batch);
    EXPECT_EQ(HasBatchSwitch(c.args), c.batch);
  }
}

TEST(CommandStatesTest, EnablesCommandsFromMarksEntriesSelectionAndLog) {
  CommandInputs in;
  in.treeHasNodes = true;
  auto s = ComputeCommandStates(in);
  EXPECT_FALSE(s.go || s.clearMark || s.cancelFile || s.cancelAllFile || s.logCommands);
  EXPECT_TRUE(s.allCollapse);
  EXPECT_EQ(s.caption, "Tolvane 1.05");

  in.markedCount = 2;
  EXPECT_FALSE(ComputeCommandStates(in).go);
  EXPECT_TRUE(ComputeCommandStates(in).clearMark);
  in.entryCount = 1;
  EXPECT_TRUE(ComputeCommandStates(in).go);
  in.markedCount = 0;
  EXPECT_FALSE(ComputeCommandStates(in).go);
  EXPECT_TRUE(ComputeCommandStates(in).cancelAllFile);

  in.listPath = "/lists/night.lst";
  EXPECT_EQ(ComputeCommandStates(in).caption, "Tolvane 1.05 [/lists/night.lst]");
}

}  // namespace
}  // namespace tolvane
