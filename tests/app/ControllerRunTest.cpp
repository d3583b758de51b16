#include <algorithm>
#include <filesystem>

#include "app/ControllerFixture.h"
#include "support/ListText.h"
#include "tree/NetworkTree.h"

namespace tolvane::test {
namespace {

// The controller over a small network (two servers) with two source entries.
class ControllerRunTest : public ControllerFixture {
 protected:
  void SetUp() override {
    ControllerFixture::SetUp();
    AddNetworkFolder("PC01/share/apps");
    AddNetworkFolder("PC02/tools");
    srcA = src.Write("a.txt", "A");
    src.Write("data/b.txt", "B");
    src.Write("data/sub/c.txt", "C");
  }

  // Writes the default list with the sources and the destinations (node paths below the
  // network folder, "/"-separated here for readability).
  void WriteList(const std::vector<std::string>& destinations) {
    exe.Write("Pelmo.lst", ListText({srcA, src / "data"}, destinations));
  }

  TreeNode* NodeOf(const std::string& folderPath) {
    for (int i = 0; i < controller->Tree().NodeCount(); ++i) {
      if (controller->Tree().NodeAt(i)->Record().folderPath == folderPath)
        return controller->Tree().NodeAt(i);
    }
    return nullptr;
  }

  TempDir src;
  std::string srcA;
};

TEST_F(ControllerRunTest, ServesDestinationsInTreeOrderParentFirstWithEveryEntry) {
  WriteList({"PC02/tools", "PC01/share/apps", "PC01/share"});
  MainController& c = Start();
  ASSERT_EQ(c.Tree().CountMarkedNodes(), 3);
  EXPECT_TRUE(view->Enabled(CommandId::Go));
  c.tbtConfirmOverWriteClick(false);
  clock.now = {2005, 4, 1, 9, 16, 0};
  const int sleepsBefore = pump.sleeps;

  c.Execute(CommandId::Go);

  const std::string a = "  " + srcA + " -> 成功";
  const auto& lines = view->memo;
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
  EXPECT_FALSE(c.State().run.runInProgress);
  EXPECT_TRUE(view->sourcePaneEnabled);
  EXPECT_EQ(view->pictures[CommandId::Go], kGoPicture);
  EXPECT_EQ(cursor.shape, CursorShape::Default);
  EXPECT_EQ(c.BatchExitCode(), 0);
  // Where the run stood, then its summary beside the folder field, which stays the folder's.
  ASSERT_GE(view->progressTexts.size(), 2u);
  EXPECT_EQ(view->progressTexts.front().rfind("destination 1 of 3: 0 copied", 0), 0u);
  EXPECT_EQ(view->progressTexts.back(),
            "done: 9 copied, 0 skipped, 0 unchanged, 0 failed at 3 destinations, 9 B, 0.0 s");

  // A click on a destination finds its first line in the log.
  view->selectedNode = NodeOf(R"(\\PC01\share\apps)");
  c.treFolderClick();
  EXPECT_EQ(view->statusText, R"(\\PC01\share\apps)");
  ASSERT_TRUE(view->memoSelection);
  EXPECT_EQ(view->memoSelection->line, 5);
  c.treFolderExit();
  EXPECT_EQ(view->statusText, "");
}

TEST_F(ControllerRunTest, PreviewShowsWhatARunWouldDoWritingNothingAndTheRunAgrees) {
  WriteList({"PC01/share/apps", "PC02/tools"});
  SetMTime(srcA, 1700000000);
  SetMTime(net.Write("PC01/share/apps/a.txt", "A"), 1700000000);
  MainController& c = Start();
  c.Execute(CommandId::SkipUnchanged);
  EXPECT_TRUE(view->checked[CommandId::SkipUnchanged]);
  EXPECT_TRUE(view->Enabled(CommandId::Preview));
  const std::vector<std::string> memo = view->memo;
  const std::string log = LogFile();
  fs.beforeOp = [](FsOp op, const std::string& path) {
    const bool writes = op == FsOp::CreateFolders || op == FsOp::CopyFile ||
                        op == FsOp::DeleteFile || op == FsOp::ReplaceFile ||
                        op == FsOp::AppendToFile || op == FsOp::RenameFile;
    EXPECT_FALSE(writes) << "a preview writes " << path;
  };

  c.Execute(CommandId::Preview);

  ASSERT_EQ(view->previews.size(), 1u);
  const std::string& text = view->previews[0];
  // The unchanged file is counted at its destination, not listed; the others are new.
  EXPECT_EQ(text.rfind("\\\\PC01\\share\\apps\n  新規: ", 0), 0u) << text;
  EXPECT_EQ(text.find("  新規: " + srcA + "\n"), text.rfind("  新規: " + srcA + "\n"));
  EXPECT_NE(text.find("  計 2 ファイル 2 B、変更なし 1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("合計 5 ファイル 5 B、変更なし 1、配布先 2\n"), std::string::npos) << text;
  EXPECT_EQ(view->memo, memo);
  EXPECT_EQ(LogFile(), log);
  EXPECT_EQ(c.Tree().CountMarkedNodes(), 2);
  EXPECT_FALSE(net.Exists("PC02/tools/sub"));

  // The run does what the preview showed: the unchanged file is left alone.
  fs.beforeOp = nullptr;
  c.Execute(CommandId::Go);
  // The progress measures against what the plan will copy.
  ASSERT_FALSE(view->progressTexts.empty());
  EXPECT_NE(view->progressTexts.front().find(", 0 of 5 files, 0 B of 5 B (0%)"), std::string::npos)
      << view->progressTexts.front();
  EXPECT_NE(std::find(view->memo.begin(), view->memo.end(), "  " + srcA + " -> 変更なし"),
            view->memo.end());
  EXPECT_EQ(view->progressTexts.back().rfind("done: 5 copied, 0 skipped, 1 unchanged, 0 failed", 0),
            0u);
}

TEST_F(ControllerRunTest, GoDuringARunStopsAfterThatFileWithTheFailedMark) {
  WriteList({"PC01/share", "PC02/tools"});
  MainController& c = Start();
  c.tbtConfirmOverWriteClick(false);
  bool sawRunning = false;
  pump.onProcess = [&] {
    // What a run disables, and Go usable to stop it.
    sawRunning = c.State().run.runInProgress && !view->sourcePaneEnabled &&
                 !view->Enabled(CommandId::AddFile) && !view->Enabled(CommandId::OpenList) &&
                 !view->Enabled(CommandId::CancelAllFile) && view->Enabled(CommandId::Go) &&
                 view->pictures[CommandId::Go] == kGoRunningPicture &&
                 cursor.shape == CursorShape::AppStarting;
    c.Execute(CommandId::Go);  // the second Go, while the run lets events through
  };

  c.Execute(CommandId::Go);

  EXPECT_TRUE(sawRunning);
  EXPECT_EQ(view->memo.size(), 4u);  // start, destination, one file, end
  EXPECT_NE(view->memo.back().find(" 配布中止"), std::string::npos);
  EXPECT_TRUE(net.Exists("PC01/share/a.txt"));
  EXPECT_FALSE(net.Exists("PC02/tools/a.txt"));
  TreeNode* share = NodeOf(R"(\\PC01\share)");
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(share->StateImage(), kStateFailed);
  EXPECT_EQ(c.BatchExitCode(), 1);

  // The next Go starts afresh; the failed mark stays a destination and stays red.
  pump.onProcess = nullptr;
  c.Execute(CommandId::Go);
  EXPECT_NE(view->memo.back().find(" 配布終了"), std::string::npos);
  EXPECT_EQ(share->StateImage(), kStateFailed);
}

TEST_F(ControllerRunTest, ADestinationThatCannotBeCreatedIsLoggedAndGetsTheFailedMark) {
  WriteList({"PC01/share", "PC02/tools"});
  MainController& c = Start();
  std::filesystem::remove_all(FsPath(net / "PC01/share"));  // the share went away

  c.Execute(CommandId::Go);

  const auto& lines = view->memo;
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[1], R"(\\PC01\share)");
  // Which folder, why (where the system says), and which entry did not arrive.
  EXPECT_EQ(lines[2].rfind(R"(  フォルダを作成できません: \\PC01\share)", 0), 0u);
  EXPECT_TRUE(lines[3].ends_with(" -> 失敗"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), R"(\\PC02\tools)"), lines.end());
  EXPECT_TRUE(net.Exists("PC02/tools/a.txt"));
  EXPECT_EQ(c.Tree().CountMarkedNodes(), 2);
  EXPECT_EQ(NodeOf(R"(\\PC01\share)")->StateImage(), kStateFailed);
  EXPECT_EQ(c.BatchExitCode(), 1);
}

TEST_F(ControllerRunTest, SourcesCannotChangeWhileARunIsInProgress) {
  WriteList({"PC01/share"});
  MainController& c = Start();
  c.tbtConfirmOverWriteClick(false);
  dialogs.openResults.push_back({srcA});
  pump.onProcess = [&] {
    c.Execute(CommandId::CancelAllFile);
    c.DropFiles({srcA});
    c.Execute(CommandId::AddFile);
    c.Execute(CommandId::OpenList);
    view->selectedRows = {0};
    c.lstFileKeyDown(MainController::kDeleteKey);
  };
  c.Execute(CommandId::Go);
  EXPECT_EQ(c.Sources().Count(), 2);
  EXPECT_TRUE(dialogs.openRequests.empty());
  EXPECT_TRUE(net.Exists("PC01/share/sub/c.txt"));
  // Afterwards the commands work again.
  EXPECT_TRUE(view->Enabled(CommandId::AddFile));
  EXPECT_TRUE(view->Enabled(CommandId::CancelAllFile));
}

}  // namespace
}  // namespace tolvane::test
