#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "e2e/BatchRun.h"
#include "support/TempDir.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

// Runs the program and gives what it wrote on standard error.
int RunCapturingErrors(const std::string& folder, const std::vector<std::string>& args,
                       std::string& error, bool asOrdinaryUser = false) {
  RunOptions options;
  options.stderrPath = folder + ".stderr";
  options.asOrdinaryUser = asOrdinaryUser;
  const int code = RunTolvaneIn(folder, args, options);
  std::ifstream in(options.stderrPath, std::ios::binary);
  error.assign(std::istreambuf_iterator<char>(in), {});
  fs::remove(options.stderrPath);
  return code;
}

// A program folder with a list that sends a file to two shares of a temporary network.
class BatchSetupTest : public testing::Test {
 protected:
  void SetUp() override {
    net.MakeDir("PC01/share");
    net.MakeDir("PC02/tools");
    file = src.Write("setup.exe", "setup");
    gone = src / "gone.txt";
    exe.Write("Pelmo.ini", "[Setting]\r\nSaveLog=1\r\nNetworkRoot=" + net.Path() + "\r\n");
    list = "[Source]\r\nCount=2\r\nFile0=" + file + "\r\nFile1=" + gone +
           "\r\n\r\n[Destination]\r\nCount=2\r\nFolder0=\\\\PC01\\share\r\n"
           "Folder1=\\\\PC02\\tools\r\n\r\n[Alias]\r\nFolder0=ネットワーク\tPC01\tshare\r\n"
           "Folder1=ネットワーク\tPC02\ttools\r\n\r\n";
  }

  TempDir exe, net, src;
  std::string file, gone, list;
};

TEST_F(BatchSetupTest, WhatCannotBeReachedIsKeptAndFails) {
  // A server offline and a source missing at start-up.
  exe.Write("Pelmo.lst", list);
  fs::rename(net / "PC02", net / "PC02.off");

  RunOptions options;
  options.stdoutPath = exe.Path() + ".out";
  EXPECT_EQ(RunTolvaneIn(exe.Path(), {"-b"}, options), 1);

  EXPECT_EQ(net.Read("PC01/share/setup.exe"), "setup");
  // Every file that did not arrive is counted, at every destination of the list.
  std::ifstream out(options.stdoutPath);
  std::string summary;
  std::getline(out, summary);
  EXPECT_EQ(summary.rfind("done: 1 copied, 0 skipped, 0 unchanged, 3 failed at 2 destinations, ", 0), 0u)
      << summary;
  fs::remove(options.stdoutPath);
  // Saved again exactly as it was read.
  EXPECT_EQ(exe.Read("Pelmo.lst"), list);
  const std::string log = exe.Read("Pelmo.log");
  EXPECT_NE(log.find("ノードを再現できませんでした。(\\\\PC02\\tools\r\n"), std::string::npos);
  EXPECT_NE(log.find(gone + "が見つかりません\r\n  " + gone + " -> 失敗\r\n"), std::string::npos);
  EXPECT_NE(log.find("\\\\PC02\\tools\r\n  配布先をツリーに再現できなかったため"),
            std::string::npos);
}

TEST_F(BatchSetupTest, StartUpErrorsEndWithTwoRunNothingAndLoseNothing) {
  const std::string binary(
      "\x7F"
      "ELF\0\x01\x02",
      7);
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::vector<std::string> args;
    const char* error;     // on standard error
    const char* setAside;  // the damaged file, kept beside the original name
    std::string kept;      // its bytes
  } cases[] = {
      {"damaged settings",
       [&] { exe.Write("Pelmo.ini", binary); },
       {"-b"},
       "退避しました",
       "Pelmo.ini.damaged",
       binary},
      {"damaged list",
       [&] { exe.Write("Pelmo.lst", "Count=1\r\nFile0=x\r\n"); },
       {"-b"},
       "退避しました",
       "Pelmo.lst.damaged",
       "Count=1\r\nFile0=x\r\n"},
      {"list cut off while it was written",
       [&] { exe.Write("Pelmo.lst", list.substr(0, list.find("Folder1=\\\\PC02") + 12)); },
       {"-b"},
       "退避しました",
       "Pelmo.lst.damaged",
       list.substr(0, list.find("Folder1=\\\\PC02") + 12)},
      {"mistyped -l", {}, {"-b", "-lnigth.lst"}, "配布リストが見つかりません", nullptr, {}},
      {"-g a folder",
       [&] { exe.MakeDir("logs"); },
       {"-b", "-g" + exe / "logs"},
       "ログファイルに書き込めません",
       nullptr,
       {}},
      {"-g a named pipe",
       [&] { ASSERT_EQ(mkfifo((exe / "pipe").c_str(), 0600), 0); },
       {"-b", "-g" + exe / "pipe"},
       "ログファイルに書き込めません",
       nullptr,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(net / "PC01/share/setup.exe");
    exe.Write("Pelmo.lst", list);
    if (c.arrange) c.arrange();

    std::string error;
    EXPECT_EQ(RunCapturingErrors(exe.Path(), c.args, error), 2);

    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_FALSE(net.Exists("PC01/share/setup.exe"));  // nothing was run
    if (c.setAside) {
      EXPECT_EQ(exe.Read(c.setAside), c.kept);
      fs::remove(exe / c.setAside);
    } else {
      EXPECT_EQ(exe.Read("Pelmo.lst"), list);  // the default list is not replaced
    }
    if (exe.Exists("Pelmo.log")) {
      EXPECT_EQ(exe.Read("Pelmo.log").find("配布開始"), std::string::npos);
      fs::remove(exe / "Pelmo.log");
    }
    exe.Write("Pelmo.ini", "[Setting]\r\nSaveLog=1\r\nNetworkRoot=" + net.Path() + "\r\n");
  }
}

TEST_F(BatchSetupTest, SavingRespectsTheFilesOfAnOrdinaryUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  const uid_t nobody = 65534;
  for (const TempDir* d : {&exe, &net, &src}) {
    for (const auto& e : fs::recursive_directory_iterator(d->Path())) {
      ASSERT_EQ(lchown(e.path().c_str(), nobody, nobody), 0);
    }
    ASSERT_EQ(chown(d->Path().c_str(), nobody, nobody), 0);
    fs::permissions(d->Path(), fs::perms(0755));
  }
  RunOptions asNobody;
  asNobody.asOrdinaryUser = true;
  // The settings keep their mode; the list is a link, written through to its target.
  fs::permissions(exe / "Pelmo.ini", fs::perms(0640));
  exe.MakeDir("lists");
  std::string lfList = list;
  for (std::size_t at; (at = lfList.find("\r\n")) != std::string::npos;) lfList.erase(at, 1);
  exe.Write("lists/night.lst", lfList);
  ASSERT_EQ(lchown((exe / "lists").c_str(), nobody, nobody), 0);
  ASSERT_EQ(lchown((exe / "lists/night.lst").c_str(), nobody, nobody), 0);
  fs::create_symlink("lists/night.lst", exe / "Pelmo.lst");

  EXPECT_EQ(RunTolvaneIn(exe.Path(), {"-b"}, asNobody), 1);  // gone.txt fails

  EXPECT_TRUE(fs::is_symlink(exe / "Pelmo.lst"));
  EXPECT_EQ(exe.Read("lists/night.lst"), list);
  EXPECT_EQ(fs::status(exe / "Pelmo.ini").permissions() & fs::perms::all, fs::perms(0640));

  // A file the user could not write is not replaced, though the folder would allow it; the
  // failed save is an error.
  fs::remove(exe / "Pelmo.lst");
  exe.Write("Pelmo.lst", list);  // root's, mode 0644
  std::string error;
  EXPECT_EQ(RunCapturingErrors(exe.Path(), {"-b"}, error, true), 2);
  EXPECT_NE(error.find("保存できませんでした: " + exe / "Pelmo.lst"), std::string::npos) << error;
  EXPECT_EQ(exe.Read("Pelmo.lst"), list);
  struct stat st;
  ASSERT_EQ(stat((exe / "Pelmo.lst").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
}

}  // namespace
}  // namespace tolvane::test
