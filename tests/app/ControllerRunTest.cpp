#include <algorithm>
#include <filesystem>
#include <thread>

#include "app/ControllerFixture.h"
#include "support/FaultFileSystem.h"
#include "support/ListText.h"
#include "tree/DestinationMarks.h"
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
  // Then one result line per destination, and the end line.
  EXPECT_EQ(lines.size(), 1u + 3u * (1u + 3u) + 3u + 1u);
  EXPECT_EQ(lines[1], R"(\\PC01\share)");
  EXPECT_EQ(lines[2], a);
  EXPECT_EQ(lines[lines.size() - 2],
            R"(結果 \\PC02\tools: 成功 3, スキップ 0, 変更なし 0, 3 B, 0.0 s)");
  EXPECT_EQ(lines.back(), "09:16 配布終了");
  EXPECT_EQ(net.Read("PC02/tools/sub/c.txt"), "C");
  EXPECT_EQ(net.Read("PC01/share/apps/b.txt"), "B");
  EXPECT_EQ(pump.sleeps - sleepsBefore, 0);  // the window's thread copies nothing
  EXPECT_EQ(pump.workerPausedMs, 9 * EventPump::kDefaultPauseMs);  // a Wait per copied file
  EXPECT_FALSE(c.State().run.runInProgress);
  EXPECT_TRUE(view->sourcePaneEnabled);
  EXPECT_EQ(view->pictures[CommandId::Go], kGoPicture);
  EXPECT_EQ(cursor.shape, CursorShape::Default);
  EXPECT_EQ(c.BatchExitCode(), 0);
  // Where the run stood, then its summary beside the folder field, which stays the folder's.
  ASSERT_GE(view->progressTexts.size(), 2u);
  EXPECT_EQ(view->progressTexts.front().rfind("配布先 1/3: 成功 0, スキップ 0, 失敗 0", 0), 0u);
  EXPECT_EQ(view->progressTexts.back(),
            "配布終了: 成功 9, スキップ 0, 失敗 0 (配布先 3 箇所), 9 B, 0.0 s");
  // Nothing failed: the result list is kept, not brought up.
  EXPECT_EQ(view->resultsBroughtUp, 0);
  c.Execute(CommandId::ShowResults);
  ASSERT_TRUE(view->results);
  EXPECT_EQ(view->results->rows.size(), 3u);

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
  EXPECT_NE(view->progressTexts.front().find(", 0/5 ファイル, 0 B/5 B (0%)"), std::string::npos)
      << view->progressTexts.front();
  EXPECT_NE(std::find(view->memo.begin(), view->memo.end(), "  " + srcA + " -> 変更なし"),
            view->memo.end());
  EXPECT_EQ(view->progressTexts.back().rfind("配布終了: 成功 5, スキップ 0, 変更なし 1, 失敗 0", 0),
            0u)
      << view->progressTexts.back();
}

TEST_F(ControllerRunTest, GoDuringARunStopsEveryDestinationAfterItsFileWithTheFailedMark) {
  WriteList({"PC01/share", "PC02/tools"});
  MainController& c = Start();
  c.tbtConfirmOverWriteClick(false);
  bool sawRunning = false;
  pump.onProcess = [&] {
    if (sawRunning) return;
    // What a run disables, and Go usable to stop it.
    sawRunning = c.State().run.runInProgress && !view->sourcePaneEnabled &&
                 !view->Enabled(CommandId::AddFile) && !view->Enabled(CommandId::OpenList) &&
                 !view->Enabled(CommandId::CancelAllFile) && view->Enabled(CommandId::Go) &&
                 view->pictures[CommandId::Go] == kGoRunningPicture &&
                 cursor.shape == CursorShape::AppStarting;
    c.Execute(CommandId::Go);  // the second Go, while the first file is being copied
  };
  // The first copy waits for the stop, wherever the window thread is meanwhile.
  fs.beforeOp = [&](FsOp op, const std::string&) {
    if (op != FsOp::CopyFile) return;
    while (!c.State().run.stopRequested) std::this_thread::yield();
  };

  c.Execute(CommandId::Go);

  EXPECT_TRUE(sawRunning);
  // Both destinations were being served: each ends after its file, and says why.
  const std::string a = "  " + srcA + " -> 成功";
  const std::string cut = "  配布が中止されたため、この配布先の残りは写しません";
  ASSERT_EQ(view->memo.size(), 10u) << testing::PrintToString(view->memo);
  EXPECT_EQ(view->memo, (std::vector<std::string>{view->memo[0], R"(\\PC01\share)", a, cut,
                                                   R"(\\PC02\tools)", a, cut, view->memo[7],
                                                   view->memo[8], view->memo[9]}));
  EXPECT_NE(view->memo.back().find(" 配布中止"), std::string::npos);
  EXPECT_TRUE(net.Exists("PC01/share/a.txt"));
  EXPECT_FALSE(net.Exists("PC01/share/b.txt"));
  EXPECT_TRUE(net.Exists("PC02/tools/a.txt"));
  EXPECT_FALSE(net.Exists("PC02/tools/b.txt"));
  TreeNode* share = NodeOf(R"(\\PC01\share)");
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(share->StateImage(), kStateFailed);
  EXPECT_EQ(NodeOf(R"(\\PC02\tools)")->StateImage(), kStateFailed);
  EXPECT_EQ(c.BatchExitCode(), 1);

  // The next Go starts afresh; the failed mark stays a destination and stays red.
  pump.onProcess = nullptr;
  fs.beforeOp = nullptr;
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

  // The result list comes up, the failed destination first, with what failed there first.
  EXPECT_EQ(view->resultsBroughtUp, 1);
  ASSERT_TRUE(view->results);
  ASSERT_EQ(view->results->rows.size(), 2u);
  EXPECT_EQ(view->results->failed, (std::vector<bool>{true, false}));
  EXPECT_EQ(view->results->rows[0][0], R"(\\PC01\share)");
  EXPECT_EQ(view->results->rows[0][4], "3");  // every file of both entries
  EXPECT_EQ(view->results->rows[0][7].rfind(R"(フォルダを作成できません: \\PC01\share)", 0), 0u);
  EXPECT_EQ(view->results->rows[1][1], "3");
  EXPECT_EQ(c.Tree().FailedInLastRun(), std::vector<TreeNode*>{NodeOf(R"(\\PC01\share)")});

  // Sent again to the failed one alone, with the sources of that run, and no mark changed.
  ASSERT_TRUE(view->Enabled(CommandId::RerunFailed));
  net.MakeDir("PC01/share");
  c.Execute(CommandId::CancelAllFile);
  c.tbtConfirmOverWriteClick(false);
  c.Execute(CommandId::RerunFailed);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("\\\\", 0) == 0; }),
            1);
  EXPECT_EQ(lines[1], R"(\\PC01\share)");
  EXPECT_EQ(net.Read("PC01/share/sub/c.txt"), "C");
  EXPECT_EQ(NodeOf(R"(\\PC01\share)")->StateImage(), kStateFailed);
  EXPECT_EQ(c.Tree().CountMarkedNodes(), 2);
  EXPECT_TRUE(c.Tree().FailedInLastRun().empty());
  EXPECT_FALSE(view->Enabled(CommandId::RerunFailed));
  EXPECT_EQ(view->results->failed, std::vector<bool>{false});
}

TEST_F(ControllerRunTest, TheOverwriteQuestionAnsweredForTheRestOfTheRunAndNoLonger) {
  WriteList({"PC01/share"});
  MainController& c = Start();
  c.tbtConfirmOverWriteClick(false);
  c.Execute(CommandId::Go);  // every target exists from now on, as new as its source
  c.tbtConfirmOverWriteClick(true);

  // すべて上書き at the second file: the third is not asked about. While a question is open,
  // the status bar tells what the run has done so far.
  std::string shownWhileAsked;
  prompts.whileShown = [&] { shownWhileAsked = view->progressTexts.back(); };
  prompts.answers = {PromptAnswer::Yes, PromptAnswer::YesToAll};
  c.Execute(CommandId::Go);
  EXPECT_EQ(prompts.asked.size(), 2u);
  EXPECT_NE(shownWhileAsked.find("成功 1,"), std::string::npos) << shownWhileAsked;
  EXPECT_EQ(c.LastResults().at(0).copied, 3);

  // すべてスキップ at the first: nothing is copied, every file is logged as skipped.
  prompts.answers = {PromptAnswer::NoToAll};
  c.Execute(CommandId::Go);
  EXPECT_EQ(prompts.asked.size(), 3u);
  EXPECT_EQ(c.LastResults().at(0).skipped, 3);
  EXPECT_EQ(std::count_if(view->memo.begin(), view->memo.end(),
                          [](const std::string& l) { return l.ends_with(" -> スキップ"); }),
            3);

  // The next run asks again.
  prompts.answers = {PromptAnswer::Cancel};
  c.Execute(CommandId::Go);
  EXPECT_EQ(prompts.asked.size(), 4u);
}

TEST_F(ControllerRunTest, RefreshListsTheNodeAgainAndKeepsTheMarksBelowIt) {
  WriteList({"PC01/share/apps", "PC02/tools"});
  MainController& c = Start();
  int pc01 = -1;
  for (int id : shell.At(FakeShellNamespace::kNetwork).children) {
    if (shell.At(id).displayName == "PC01") pc01 = id;
  }
  ASSERT_GE(pc01, 0);
  TreeNode* server = NodeOf(R"(\\PC01)");
  ASSERT_NE(server, nullptr);
  view->selectedNode = server;

  // The server is away: its marks wait as destinations not found, and it keeps its button.
  shell.Vanish(pc01);
  c.Execute(CommandId::Refresh);
  EXPECT_EQ(c.Tree().CountMarkedNodes(), 1);
  ASSERT_EQ(c.Tree().Unrestored().size(), 1u);
  EXPECT_EQ(view->memo.back(), R"(ノードを再現できませんでした。(\\PC01\share\apps)");
  EXPECT_TRUE(NetworkTree::HasDummyChild(server));
  EXPECT_EQ(shell.forgotten, std::vector<std::string>{R"(\\PC01)"});

  // Back, with a new share: it appears, and the mark below it is given back.
  shell.At(pc01).gone = false;
  AddNetworkFolder("PC01/new");
  c.Execute(CommandId::Refresh);
  ASSERT_NE(NodeOf(R"(\\PC01\new)"), nullptr);
  ASSERT_NE(NodeOf(R"(\\PC01\share\apps)"), nullptr);
  EXPECT_EQ(NodeOf(R"(\\PC01\share\apps)")->StateImage(), kStateMarked);
  EXPECT_TRUE(c.Tree().Unrestored().empty());
  EXPECT_EQ(c.Tree().CountMarkedNodes(), 2);
  EXPECT_EQ(view->markCount, MarkCountCaption(2));
}

TEST_F(ControllerRunTest, ALogFileThatStopsTakingLinesIsSaidOnceAndFailsTheBatchRun) {
  WriteList({"PC02/tools"});
  exe.Write("Pelmo.ini", "[Setting]\r\nSaveLog=1\r\n");
  MainController& c = Start();
  fs.FailOn(FsOp::AppendToFile, "Pelmo.log");

  c.Execute(CommandId::Go);

  EXPECT_TRUE(net.Exists("PC02/tools/a.txt"));  // the run itself goes on
  // Once, with the reason, however many lines were lost.
  EXPECT_EQ(std::count_if(view->statusHistory.begin(), view->statusHistory.end(),
                          [](const std::string& t) {
                            return t.rfind("ログファイルに書き込めません: ", 0) == 0 &&
                                   t.ends_with("Pelmo.log (injected fault)");
                          }),
            1);
  EXPECT_EQ(c.BatchExitCode(), 2);
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
