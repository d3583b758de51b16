#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

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
      std::regex(R"(done: 6 copied, 0 skipped, 0 unchanged, 0 failed at 2 destinations, 14 B, [0-9.]+ s\n)")))
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
  EXPECT_EQ(output.rfind("stopped: 3 copied, 0 skipped, 0 unchanged, 1 failed at 2 destinations, 7 B, ", 0), 0u)
      << output;

  EXPECT_EQ(net.Read("PC01/share/setup.exe"), "setup");
  const std::string log = exe.Read("Pelmo.log");
  EXPECT_NE(log.find("  " + file + " -> 失敗\r\n"), std::string::npos);
  // Without IgnoreError the first failure stops the run.
  EXPECT_NE(log.find(" 配布中止\r\n"), std::string::npos);
  EXPECT_FALSE(net.Exists("PC02/tools/a.txt"));
  EXPECT_EQ(exe.Read("Pelmo.lst"), list);  // -o
}

}  // namespace
}  // namespace tolvane::test
