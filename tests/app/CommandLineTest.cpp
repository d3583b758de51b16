#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/core/CommandLine.h"
#include "app/core/CommandStates.h"
#include "app/core/FileFolders.h"

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

TEST(CommandLineTest, AnswersHelpAndVersionOnlyWhenSpeltExactly) {
  const struct {
    std::vector<std::string> args;
    InfoRequest request;
  } cases[] = {
      {{"--help"}, InfoRequest::Help},
      {{"-b", "-lx.lst", "--version"}, InfoRequest::Version},
      {{"--version", "--help"}, InfoRequest::Version},
      // Anything else keeps the rules of the switches: ignored unless it begins with one.
      {{"--HELP", "-h", "--helpx", "help", "-v"}, InfoRequest::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(FindInfoRequest(c.args), c.request);
  }
  EXPECT_EQ(VersionText(), "Tolvane 1.05\n");
  const std::string help = HelpText({"/home/u/.config/tolvane/", "/home/u/.local/state/t/", false});
  EXPECT_NE(help.find("/home/u/.config/tolvane/Pelmo.ini"), std::string::npos);
  EXPECT_NE(help.find("/home/u/.config/tolvane/Pelmo.lst"), std::string::npos);
  EXPECT_NE(help.find("/home/u/.local/state/t/Pelmo.log"), std::string::npos);
}

TEST(FileFoldersTest, KeepsFilesBesideAWritableProgramAndInTheUsersFoldersOtherwise) {
  const struct {
    FolderFacts facts;
    std::string settings, log;
    bool beside;
  } cases[] = {
      {{"/usrdata/tv/", true, "/home/u", "", ""}, "/usrdata/tv/", "/usrdata/tv/", true},
      {{"/usr/bin/", false, "/home/u", "", ""},
       "/home/u/.config/tolvane/",
       "/home/u/.local/state/tolvane/",
       false},
      // An administrator could write into a system folder; the files still go to the user's.
      {{"/usr/local/bin/", true, "/root/", "", ""},
       "/root/.config/tolvane/",
       "/root/.local/state/tolvane/",
       false},
      {{"/srv/ro/", false, "/home/u", "/x/cfg/", "/x/state"},
       "/x/cfg/tolvane/",
       "/x/state/tolvane/",
       false},
      // Relative values are not valid there and are ignored.
      {{"/srv/ro/", false, "/home/u", "cfg", "~/state"},
       "/home/u/.config/tolvane/",
       "/home/u/.local/state/tolvane/",
       false},
      {{"/srv/ro/", false, "", "/x/cfg", ""}, "/x/cfg/tolvane/", "/srv/ro/", false},
      {{"/srv/ro/", false, "", "", ""}, "/srv/ro/", "/srv/ro/", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.facts.exeFolder + " home=" + c.facts.home + " config=" + c.facts.xdgConfigHome +
                 " state=" + c.facts.xdgStateHome);
    const FileFolders folders = ChooseFileFolders(c.facts);
    EXPECT_EQ(folders.settingsFolder, c.settings);
    EXPECT_EQ(folders.logFolder, c.log);
    EXPECT_EQ(folders.besideProgram, c.beside);
  }
}

// The example unit for scheduled runs must say what the program understands: a list path glued
// to -l (a blank would leave -l empty), batch mode, and the default list left alone.
TEST(CommandLineTest, ExampleServiceRunsTheInstalledProgramOnItsList) {
  std::ifstream unit(TOLVANE_SOURCE_DIR "/contrib/systemd/tolvane-batch.service");
  ASSERT_TRUE(unit);
  std::string line, command;
  while (std::getline(unit, line)) {
    if (line.rfind("ExecStart=", 0) == 0) command = line.substr(10);
  }
  for (auto at = command.find("%h"); at != std::string::npos; at = command.find("%h"))
    command.replace(at, 2, "/home/u");
  std::istringstream words(command);
  std::vector<std::string> args;
  for (std::string word; words >> word;) args.push_back(word);
  ASSERT_FALSE(args.empty());
  EXPECT_EQ(args.front(), "/usr/bin/tolvane");
  args.erase(args.begin());
  const CommandLineOptions options = ParseCommandLine(args, "/");
  EXPECT_TRUE(options.batchMode);
  EXPECT_FALSE(options.saveListAtExit);
  EXPECT_EQ(options.listPath.rfind("/home/u/", 0), 0u) << options.listPath;
  EXPECT_GT(options.listPath.size(), std::string("/home/u/").size());
  EXPECT_EQ(FindInfoRequest(args), InfoRequest::None);
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
