#include <QAction>
#include <QPlainTextEdit>
#include <QToolButton>
#include <filesystem>

#include "app/WindowFixture.h"
#include "tree/NetworkTree.h"

namespace tolvane::test {
namespace {

// A main window over a small network (two servers) with two source entries.
class DistributionRunTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    net.MakeDir("PC01/share/apps");
    net.MakeDir("PC02/tools");
    srcA = src.Write("a.txt", "A");
    src.Write("data/b.txt", "B");
    src.Write("data/sub/c.txt", "C");
    UseNetwork(net);
  }

  // Writes the default list with the sources and the destinations (node paths below the
  // network folder, "/"-separated here for readability).
  void WriteList(const std::vector<std::string>& destinations) {
    std::string list =
        "[Source]\r\nCount=2\r\nFile0=" + srcA + "\r\nFile1=" + src.Path() +
        "/data\r\n\r\n[Destination]\r\nCount=" + std::to_string(destinations.size()) + "\r\n";
    std::string alias = "[Alias]\r\n";
    for (std::size_t k = 0; k < destinations.size(); ++k) {
      std::string unc = "\\\\" + destinations[k];
      std::string path = "ネットワーク\t" + destinations[k];
      for (auto& c : unc) c = c == '/' ? '\\' : c;
      for (auto& c : path) c = c == '/' ? '\t' : c;
      list += "Folder" + std::to_string(k) + "=" + unc + "\r\n";
      alias += "Folder" + std::to_string(k) + "=" + path + "\r\n";
    }
    exe.Write("Pelmo.lst", list + "\r\n" + alias + "\r\n");
  }

  std::vector<std::string> MemoLines() const {
    std::vector<std::string> lines;
    for (const QString& l : window->memStatus->toPlainText().split('\n'))
      lines.push_back(l.toStdString());
    return lines;
  }

  TempDir net;
  TempDir src;
  std::string srcA;
};

TEST_F(DistributionRunTest, ServesDestinationsInTreeOrderParentFirstWithEveryEntry) {
  WriteList({"PC02/tools", "PC01/share/apps", "PC01/share"});
  TfrmMain& w = Start();
  ASSERT_EQ(w.Tree().CountMarkedNodes(), 3);
  EXPECT_TRUE(w.mnuGo->isEnabled());
  w.mnuConfirmOverWrite->setChecked(false);
  clock.now = {2005, 4, 1, 9, 16, 0};
  const int sleepsBefore = pump.sleeps;

  w.mnuGoClick();

  const std::string a = "  " + srcA + " -> 成功";
  const auto lines = MemoLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "09:16 配布開始");
  std::vector<std::string> destinations;
  for (const auto& l : lines) {
    if (l.rfind("\\\\", 0) == 0) destinations.push_back(l);
  }
  EXPECT_EQ(destinations, (std::vector<std::string>{R"(\\PC01\share)", R"(\\PC01\share\apps)",
                                                    R"(\\PC02\tools)"}));
  // Destination-major: every file of both entries follows its destination line.
  EXPECT_EQ(lines.size(), 1u + 3u * (1u + 3u) + 1u);
  EXPECT_EQ(lines[1], R"(\\PC01\share)");
  EXPECT_EQ(lines[2], a);
  EXPECT_EQ(lines.back(), "09:16 配布終了");
  EXPECT_EQ(net.Read("PC02/tools/sub/c.txt"), "C");
  EXPECT_EQ(net.Read("PC01/share/apps/b.txt"), "B");
  EXPECT_EQ(pump.sleeps - sleepsBefore, 9);  // one pause per copied file
  EXPECT_FALSE(w.State().run.runInProgress);
  EXPECT_TRUE(w.pnlLeft->isEnabled());
  EXPECT_EQ(cursor.shape, CursorShape::Default);
  EXPECT_EQ(w.BatchExitCode(), 0);
}

TEST_F(DistributionRunTest, GoDuringARunStopsAfterThatFileWithTheFailedMark) {
  WriteList({"PC01/share", "PC02/tools"});
  TfrmMain& w = Start();
  w.mnuConfirmOverWrite->setChecked(false);
  bool sawRunning = false;
  pump.onProcess = [&] {
    sawRunning = w.State().run.runInProgress && !w.pnlLeft->isEnabled() &&
                 !w.mnuAddFile->isEnabled() && cursor.shape == CursorShape::AppStarting;
    w.mnuGoClick();  // the second Go, while the run lets events through
  };

  w.mnuGoClick();

  EXPECT_TRUE(sawRunning);
  const auto lines = MemoLines();
  EXPECT_EQ(lines.size(), 4u);  // start, destination, one file, end
  EXPECT_NE(lines.back().find(" 配布中止"), std::string::npos);
  EXPECT_TRUE(net.Exists("PC01/share/a.txt"));
  EXPECT_FALSE(net.Exists("PC02/tools/a.txt"));
  TreeNode* share = w.Tree().NodeAt(0);
  for (int i = 0; i < w.Tree().NodeCount(); ++i) {
    if (w.Tree().NodeAt(i)->Record().folderPath == R"(\\PC01\share)") share = w.Tree().NodeAt(i);
  }
  EXPECT_EQ(share->StateImage(), kStateFailed);
  EXPECT_EQ(w.BatchExitCode(), 1);

  // The next Go starts afresh; the failed mark stays a destination and stays red.
  pump.onProcess = nullptr;
  w.mnuGoClick();
  EXPECT_NE(MemoLines().back().find(" 配布終了"), std::string::npos);
  EXPECT_EQ(share->StateImage(), kStateFailed);
}

TEST_F(DistributionRunTest, ADestinationThatCannotBeCreatedIsLoggedAndGetsTheFailedMark) {
  WriteList({"PC01/share", "PC02/tools"});
  TfrmMain& w = Start();
  std::filesystem::remove_all(net.Path() + "/PC01/share");  // the share went away

  w.mnuGoClick();

  const auto lines = MemoLines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[1], R"(\\PC01\share)");
  // Which folder, why, and which entry did not arrive.
  EXPECT_EQ(lines[2].rfind(R"(  フォルダを作成できません: \\PC01\share ()", 0), 0u);
  EXPECT_TRUE(lines[3].ends_with(" -> 失敗"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), R"(\\PC02\tools)"), lines.end());
  EXPECT_TRUE(net.Exists("PC02/tools/a.txt"));
  EXPECT_EQ(w.Tree().CountMarkedNodes(), 2);
  EXPECT_EQ(w.BatchExitCode(), 1);
}

#ifndef _WIN32
TEST_F(DistributionRunTest, AShortcutLeadingOutOfTheNetworkIsNoDestination) {
  // A network place that leads elsewhere on this machine; a list may mark it all the same.
  TempDir outside;
  std::filesystem::create_directory_symlink(outside.Path(), net / "OUT");
  WriteList({"OUT"});
  TfrmMain& w = Start();
  ASSERT_EQ(w.Tree().CountMarkedNodes(), 1);

  w.mnuGoClick();

  EXPECT_TRUE(std::filesystem::is_empty(outside.Path()));
  const auto lines = MemoLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "  ネットワークフォルダの外を指すため書き込みません: ネットワーク\\x09OUT"),
            lines.end());
  EXPECT_EQ(w.BatchExitCode(), 1);
}
#endif

TEST_F(DistributionRunTest, SourcesCannotChangeWhileARunIsInProgress) {
  WriteList({"PC01/share"});
  TfrmMain& w = Start();
  w.mnuConfirmOverWrite->setChecked(false);
  dialogs.openResults.push_back({srcA});
  pump.onProcess = [&] {
    w.mnuCancelAllFileClick();
    w.DropFiles({srcA});
    w.mnuAddFileClick();
    w.mnuOpenListClick();
  };
  w.mnuGoClick();
  EXPECT_EQ(w.Sources().Count(), 2);
  EXPECT_TRUE(dialogs.openRequests.empty());
  EXPECT_TRUE(net.Exists("PC01/share/sub/c.txt"));
  // Afterwards the commands work again.
  EXPECT_TRUE(w.mnuAddFile->isEnabled());
  EXPECT_TRUE(w.mnuCancelAllFile->isEnabled());
}

}  // namespace
}  // namespace tolvane::test
