// Where an installed program keeps its files on Linux, and the scheduling example that uses them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/core/CommandLine.h"
#include "app/core/FileFolders.h"

namespace tolvane {
namespace {

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

}  // namespace
}  // namespace tolvane
