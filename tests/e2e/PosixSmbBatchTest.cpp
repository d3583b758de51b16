#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "e2e/BatchRun.h"
#include "support/ListText.h"
#include "support/SambaServer.h"
#include "support/TempDir.h"

namespace tolvane::test {
namespace {

std::string ReadPath(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A program folder whose settings name the loopback server, with nothing mounted: the network
// folder is empty, so whatever arrives came over SMB.
class SmbBatchTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Running()) << server.Failure();
    file = src.Write("setup.exe", "setup");
    src.Write("data/sub/b.txt", "b");
    SetMTime(file, 1700000000);
  }

  void Settings(int port, const std::string& credentials) {
    exe.Write("Pelmo.ini", "[Setting]\r\nSaveLog=1\r\nNetworkRoot=" + net.Path() + "\r\nSmbPort=" +
                               std::to_string(port) + "\r\nSmbTimeout=5\r\nSmbCredentials=" +
                               credentials + "\r\n\r\n[Servers]\r\nCount=1\r\nServer0=" +
                               server.Host() + "\r\n");
  }

  std::string Credentials(const std::string& password, mode_t mode) {
    const std::string path = exe.Write("cred", "username = " + server.User() +
                                                   "\npassword = " + password + "\n");
    chmod(path.c_str(), mode);
    return path;
  }

  // The list: the file and the folder into each of the shares' folders.
  void List(const std::vector<std::pair<std::string, std::string>>& shareFolders) {
    std::vector<std::string> destinations;
    for (const auto& [share, folder] : shareFolders) {
      destinations.push_back(server.Host() + "/" + share + "/" + folder);
    }
    exe.Write("night.lst", ListText({file, src / "data"}, destinations));
  }

  int Run() {
    RunOptions options;
    options.stdoutPath = exe / "out";
    options.stderrPath = exe / "err";
    return RunTolvaneIn(exe.Path(), {"-b", "-lnight.lst"}, options);
  }

  SambaServer& server = SambaServer::Shared();
  TempDir exe, net, src;
  std::string file;
};

TEST_F(SmbBatchTest, DistributesOntoTwoSharesWithNothingMounted) {
  const std::string guest = server.NewFolder("guest");
  const std::string mine = server.NewFolder("private");
  Settings(server.Port(), Credentials(server.Password(), 0600));
  List({{"guest", guest}, {"private", mine}});
  ASSERT_EQ(Run(), 0) << exe.Read("Pelmo.log") << exe.Read("err");
  for (const auto& [share, folder] : {std::pair{"guest", guest}, std::pair{"private", mine}}) {
    const std::string there = server.SharePath(share) + "/" + folder;
    EXPECT_EQ(ReadPath(there + "/setup.exe"), "setup");
    EXPECT_EQ(ReadPath(there + "/sub/b.txt"), "b");
    EXPECT_EQ(GetMTime(there + "/setup.exe"), 1700000000);
  }
  EXPECT_NE(
      exe.Read("out").find("done: 4 copied, 0 skipped, 0 unchanged, 0 failed at 2 destinations"),
      std::string::npos)
      << exe.Read("out");
  EXPECT_EQ(exe.Read("Pelmo.log").find(server.Password()), std::string::npos);
}

TEST_F(SmbBatchTest, AServerThatCannotBeLoggedOnToFailsItsDestinationsAndSaysWhy) {
  struct Case {
    const char* what;
    std::string password;
    mode_t mode;
    bool serverDown;
    const char* reason;  // in the log, beside the server's name
  } cases[] = {
      {"wrong password", "not-" + server.Password(), 0600, false, "127.0.0.1"},
      {"credentials others can read", server.Password(), 0644, false, "/cred"},
      {"server down", server.Password(), 0600, true, "127.0.0.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    exe.Write("Pelmo.log", "");
    const std::string mine = server.NewFolder("private");
    Settings(c.serverDown ? FreeLoopbackPort() : server.Port(), Credentials(c.password, c.mode));
    List({{"private", mine}});
    EXPECT_EQ(Run(), 1);
    const std::string log = exe.Read("Pelmo.log");
    const auto line = log.find("サーバーに接続できません: ");
    ASSERT_NE(line, std::string::npos) << log;
    EXPECT_NE(log.substr(line, log.find('\n', line) - line).find(c.reason), std::string::npos)
        << log;
    EXPECT_FALSE(std::ifstream(server.SharePath("private") + "/" + mine + "/setup.exe"));
    // The list keeps the destination for the next run.
    EXPECT_NE(exe.Read("Pelmo.lst").find("\\private\\" + mine), std::string::npos);
    for (const char* output : {"Pelmo.log", "err", "out"}) {
      EXPECT_EQ(exe.Read(output).find(c.password), std::string::npos) << output;
    }
  }
}

}  // namespace
}  // namespace tolvane::test
