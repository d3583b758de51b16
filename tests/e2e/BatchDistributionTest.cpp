#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <regex>
#include <tuple>

#include "e2e/BatchRun.h"
#include "support/TempDir.h"

namespace tolvane::test {
namespace {

RunOptions StdoutTo(const std::string& path) {
  RunOptions options;
  options.stdoutPath = path;
  return options;
}

// A program folder whose settings point the network folder at a temporary tree, and a list
// that sends a file and a folder to two shares.
class BatchDistributionTest : public testing::Test {
 protected:
  void SetUp() override {
    net.MakeDir("PC01/share");
    net.MakeDir("PC02/tools");
    file = src.Write("setup.exe", "setup");
    src.Write("data/a.txt", "a");
    src.Write("data/sub/b.txt", "b");
    SetMTime(file, 1700000000);
    exe.Write("Pelmo.ini", "[Setting]\r\nSaveLog=1\r\nNetworkRoot=" + net.Path() + "\r\n");
    list = "[Source]\r\nCount=2\r\nFile0=" + file + "\r\nFile1=" + src.Path() +
           "/data\r\n\r\n[Destination]\r\nCount=2\r\nFolder0=\\\\PC01\\share\r\n"
           "Folder1=\\\\PC02\\tools\r\n\r\n[Alias]\r\nFolder0=ネットワーク\tPC01\tshare\r\n"
           "Folder1=ネットワーク\tPC02\ttools\r\n\r\n";
  }

  TempDir exe, net, src;
  std::string file, list;
};

TEST_F(BatchDistributionTest, CopiesEverythingLogsEachFileAndSavesTheSetup) {
  exe.Write("night.lst", list);
  ASSERT_EQ(RunTolvaneIn(exe.Path(), {"-b", "-lnight.lst"}, StdoutTo(exe / "out")), 0);
  const std::string output = exe.Read("out");
  // One summary line on standard output, for whoever started the run.
  EXPECT_TRUE(std::regex_match(
      output,
      std::regex(
          R"(done: 6 copied, 0 skipped, 0 unchanged, 0 failed at 2 destinations, 14 B, [0-9.]+ s\n)")))
      << output;

  for (const char* d : {"PC01/share", "PC02/tools"}) {
    EXPECT_EQ(net.Read(std::string(d) + "/setup.exe"), "setup");
    EXPECT_EQ(net.Read(std::string(d) + "/a.txt"), "a");
    EXPECT_EQ(net.Read(std::string(d) + "/sub/b.txt"), "b");
    EXPECT_EQ(GetMTime(net / (std::string(d) + "/setup.exe")), 1700000000);
  }
  const std::string log = exe.Read("Pelmo.log");
  EXPECT_NE(log.find("\r\n\r\n配布リスト読込 " + exe.Path() + "/night.lst\r\n"), std::string::npos);
  EXPECT_NE(log.find("\\\\PC01\\share\r\n  " + file + " -> 成功\r\n"), std::string::npos);
  EXPECT_NE(log.find(" 配布終了\r\n\r\n"), std::string::npos);
  EXPECT_EQ(log.find("失敗"), std::string::npos);
  // The default list now holds the setup that was loaded; the settings were written.
  EXPECT_EQ(exe.Read("Pelmo.lst"), list);
  EXPECT_NE(exe.Read("Pelmo.ini").find("NetworkRoot=" + net.Path() + "\r\nWait=10\r\n"),
            std::string::npos);
}

TEST_F(BatchDistributionTest, OverwritesWithoutAskingAndTellsTheSchedulerAboutFailures) {
  exe.Write("Pelmo.lst", list);
  net.Write("PC01/share/setup.exe", "newer target");
  SetMTime(net / "PC01/share/setup.exe", 1800000000);
  // A folder where the file should go makes that copy fail.
  net.MakeDir("PC02/tools/setup.exe");

  EXPECT_EQ(RunTolvaneIn(exe.Path(), {"-b", "-o"}, StdoutTo(exe / "out")), 1);
  const std::string output = exe.Read("out");
  // Both destinations are served at once: the first gets its first file at least.
  EXPECT_TRUE(std::regex_search(
      output, std::regex(R"(^stopped: [1-3] copied, 0 skipped, 0 unchanged, 1 failed at 2 destinations, )")))
      << output;

  EXPECT_EQ(net.Read("PC01/share/setup.exe"), "setup");
  const std::string log = exe.Read("Pelmo.log");
  EXPECT_NE(log.find("  " + file + " -> 失敗\r\n"), std::string::npos);
  // Without IgnoreError the first failure stops the run.
  EXPECT_NE(log.find(" 配布中止\r\n"), std::string::npos);
  EXPECT_FALSE(net.Exists("PC02/tools/a.txt"));
  EXPECT_EQ(exe.Read("Pelmo.lst"), list);  // -o
}

// Every file and folder below root (but the program, which each run copies in anew) with what
// would show that it was written: size, inode, modification and change times.
std::map<std::string, std::tuple<long long, long long, long long, long long>> Snapshot(
    const std::string& root) {
  std::map<std::string, std::tuple<long long, long long, long long, long long>> found;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    if (e.path().filename() == "tolvane") continue;
    struct stat st;
    if (lstat(e.path().c_str(), &st) != 0) continue;
    found[e.path().string()] = {st.st_size, static_cast<long long>(st.st_ino),
                                st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                                st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
  }
  return found;
}

TEST_F(BatchDistributionTest, WithSkipUnchangedASecondRunRewritesNothing) {
  exe.Write("Pelmo.ini",
            "[Setting]\r\nSaveLog=1\r\nSkipUnchanged=1\r\nNetworkRoot=" + net.Path() + "\r\n");
  exe.Write("night.lst", list);
  ASSERT_EQ(RunTolvaneIn(exe.Path(), {"-b", "-o", "-lnight.lst"}), 0);
  const auto first = Snapshot(net.Path());

  ASSERT_EQ(RunTolvaneIn(exe.Path(), {"-b", "-o", "-lnight.lst"}, StdoutTo(exe / "out")), 0);
  const std::string output = exe.Read("out");
  EXPECT_EQ(
      output.rfind("done: 0 copied, 0 skipped, 6 unchanged, 0 failed at 2 destinations, 0 B", 0),
      0u)
      << output;
  // Not a target is written again: each keeps its inode and its change time.
  EXPECT_EQ(Snapshot(net.Path()), first);
  EXPECT_NE(exe.Read("Pelmo.log").find("\\\\PC02\\tools\r\n  " + file + " -> 変更なし\r\n"),
            std::string::npos);
  EXPECT_NE(exe.Read("Pelmo.ini").find("\r\nSkipUnchanged=1\r\n"), std::string::npos);
}

TEST_F(BatchDistributionTest, ADryRunPrintsWhatARunWouldCopyAndChangesNothing) {
  exe.Write("night.lst", list);
  exe.Write("Pelmo.log", "earlier lines\r\n");
  net.Write("PC01/share/setup.exe", "older");
  SetMTime(net / "PC01/share/setup.exe", 1600000000);
  const auto before = std::make_pair(Snapshot(exe.Path()), Snapshot(net.Path()));

  ASSERT_EQ(RunTolvaneIn(exe.Path(), {"--dry-run", "-lnight.lst"}, StdoutTo(exe / "out")), 0);
  const std::string output = exe.Read("out");
  std::filesystem::remove(exe / "out");
  EXPECT_EQ(std::make_pair(Snapshot(exe.Path()), Snapshot(net.Path())), before);
  EXPECT_EQ(output.rfind("\\\\PC01\\share\n  上書き (配布元が新しい): " + file + "\n", 0), 0u)
      << output;
  EXPECT_NE(output.find("\\\\PC02\\tools\n  新規: " + file + "\n"), std::string::npos);
  EXPECT_NE(output.find("\n合計 6 ファイル 14 B、変更なし 0、配布先 2\n"), std::string::npos);

  // A destination that cannot be reached ends it with 1.
  exe.Write("night.lst", std::regex_replace(list, std::regex("PC02"), "PC09"));
  EXPECT_EQ(RunTolvaneIn(exe.Path(), {"--dry-run", "-lnight.lst"}), 1);
  EXPECT_EQ(exe.Read("Pelmo.log"), "earlier lines\r\n");
  // Not even a settings file that cannot be read as ours is set aside.
  exe.Write("Pelmo.ini", "Wait=0\r\n");
  RunTolvaneIn(exe.Path(), {"--dry-run", "-lnight.lst"});
  EXPECT_EQ(exe.Read("Pelmo.ini"), "Wait=0\r\n");
  EXPECT_FALSE(exe.Exists("Pelmo.ini.damaged"));
}

}  // namespace
}  // namespace tolvane::test
