#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "e2e/BatchRun.h"
#include "support/TempDir.h"

namespace tolvane::test {
namespace {

std::vector<std::string> FolderContents(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(BatchModeTest, EndsByItselfWithoutADisplayAndFramesTheLog) {
  TempDir folder;
  // A second monitor's place, off the small offscreen screen.
  folder.Write("Pelmo.ini", "[Setting]\r\nLeft=2500\r\nTop=900\r\nSaveLog=1\r\n");
  TempDir output;
  RunOptions options;
  options.stderrPath = output / "err";
  // As a scheduler starts it: no desktop session around it.
  options.unsetEnv = {"XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY"};
  ASSERT_EQ(RunTolvaneIn(folder.Path(), {"-b", "-o"}, options), 0);
  // Nothing to send is said, in one line of our own, and nothing else is.
  EXPECT_EQ(output.Read("err"), "Tolvane 1.05: 配布するファイルがリストにないため、何も配布しません\n");
  const std::string log = folder.Read("Pelmo.log");
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log.substr(0, 2 + std::string("▼起動 ").size()), "\r\n▼起動 ");
  EXPECT_NE(log.find("配布開始\r\n"), std::string::npos);
  EXPECT_NE(log.find("配布終了\r\n\r\n"), std::string::npos);
  const auto end = log.rfind("▲終了 ");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 4), "\r\n\r\n");
  EXPECT_EQ(log.find("\r\n", end) + 4, log.size());
  // -o: the default list is left alone; the settings are written all the same.
  EXPECT_FALSE(folder.Exists("Pelmo.lst"));
  // Nothing was shown, so nothing moved: the place read is the place written.
  EXPECT_NE(folder.Read("Pelmo.ini").find("Left=2500\r\nTop=900\r\n"), std::string::npos);
}

// Neither switch starts the program: no window, no start line, nothing saved, exit 0.
TEST(BatchModeTest, HelpAndVersionPrintAndEndBeforeStartUp) {
  const struct {
    std::vector<std::string> args;
    std::string expected;  // a part of the output
  } cases[] = {
      {{"--version", "-b"}, "Tolvane 1.05\n"},
      {{"-b", "--help"}, "/Pelmo.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    TempDir folder, output;
    RunOptions options;
    options.stdoutPath = output / "out";
    ASSERT_EQ(RunTolvaneIn(folder.Path(), c.args, options), 0);
    EXPECT_NE(output.Read("out").find(c.expected), std::string::npos) << output.Read("out");
    EXPECT_EQ(FolderContents(folder.Path()), std::vector<std::string>{"tolvane"});
  }
}

// An installed program's folder is not the user's to write: the files go to the user's own
// folders, which are made on first use and kept private.
TEST(BatchModeTest, ProgramInAFolderOfAnotherOwnerKeepsItsFilesInTheUsersFolders) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  TempDir root;
  ASSERT_EQ(chmod(root.Path().c_str(), 0755), 0);
  const std::string program = root.MakeDir("bin");
  const std::string home = root.MakeDir("home");
  ASSERT_EQ(chown(home.c_str(), 65534, 65534), 0);
  RunOptions options;
  options.setEnv = {"HOME=" + home};
  options.unsetEnv = {"XDG_CONFIG_HOME", "XDG_STATE_HOME"};
  options.asOrdinaryUser = true;
  ASSERT_EQ(RunTolvaneIn(program, {"-b", "-o"}, options), 0);
  EXPECT_EQ(FolderContents(program), std::vector<std::string>{"tolvane"});
  EXPECT_TRUE(root.Exists("home/.config/tolvane/Pelmo.ini"));
  EXPECT_FALSE(root.Exists("home/.config/tolvane/Pelmo.lst"));  // -o
  EXPECT_NE(root.Read("home/.local/state/tolvane/Pelmo.log").find("▲終了 "), std::string::npos);
  struct stat st;
  ASSERT_EQ(stat((home + "/.local/state").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace tolvane::test
