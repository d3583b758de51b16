#include "app/ControllerFixture.h"
#include "app/core/RunTexts.h"
#include "common/AppInfo.h"

namespace tolvane::test {
namespace {

using MainControllerTest = ControllerFixture;
using C = CommandId;

TEST_F(MainControllerTest, OptionTogglesKeepMenuAndButtonInStep) {
  MainController& c = Start();
  ASSERT_TRUE(c.ConfirmOverWrite());
  ASSERT_TRUE(c.ButOldIsIgnore());

  // Off from the menu greys both old-file controls and leaves their check alone.
  c.Execute(C::ConfirmOverWrite);
  EXPECT_FALSE(c.ConfirmOverWrite());
  EXPECT_FALSE(view->checked[C::ConfirmOverWrite]);
  EXPECT_FALSE(view->Enabled(C::WriteIfOld));
  EXPECT_TRUE(c.ButOldIsIgnore());
  EXPECT_TRUE(view->checked[C::WriteIfOld]);

  // On again from the button, which has flipped itself.
  c.ToolButtonClicked(C::ConfirmOverWrite, true);
  EXPECT_TRUE(c.ConfirmOverWrite());
  EXPECT_TRUE(view->Enabled(C::WriteIfOld));

  c.ToolButtonClicked(C::IgnoreError, true);
  EXPECT_TRUE(c.IgnoreError());
  c.Execute(C::IgnoreError);
  EXPECT_FALSE(c.IgnoreError());
  EXPECT_FALSE(view->checked[C::IgnoreError]);

  c.Execute(C::WriteIfOld);
  EXPECT_FALSE(c.ButOldIsIgnore());
  EXPECT_FALSE(view->checked[C::WriteIfOld]);

  c.Execute(C::SaveLog);
  EXPECT_FALSE(c.SaveLog());
  EXPECT_FALSE(view->checked[C::SaveLog]);

  // 同時に配布する数: one choice checked, the one chosen, and kept in the settings.
  EXPECT_EQ(c.Parallel(), 4);
  EXPECT_TRUE(view->checked[C::Parallel4]);
  c.Execute(C::Parallel16);
  EXPECT_EQ(c.Parallel(), 16);
  for (const ParallelChoice& choice : ParallelChoices()) {
    EXPECT_EQ(view->checked[choice.id], choice.count == 16) << choice.count;
  }
  c.FormDestroy();
  EXPECT_NE(exe.Read("Pelmo.ini").find("\r\nParallel=16\r\n"), std::string::npos);
}

TEST_F(MainControllerTest, CommandStatesFollowSourcesSelectionMarksRunAndTheLogFile) {
  AddNetworkFolder("PC01/share");
  MainController& c = Start();
  EXPECT_FALSE(view->Enabled(C::Go));
  EXPECT_FALSE(view->Enabled(C::CancelAllFile));
  EXPECT_FALSE(view->Enabled(C::ClearMark));
  EXPECT_TRUE(view->Enabled(C::AllCollapse));  // the tree has its root
  EXPECT_TRUE(view->Enabled(C::ClearLog));     // the start line made the log file
  EXPECT_EQ(view->caption, "Tolvane 1.05");
  EXPECT_TRUE(view->acceptsDrops);

  const std::string a = cwd.Write("a.txt", "A");
  const std::string b = cwd.Write("b.txt", "B");
  c.DropFiles({a, b});
  EXPECT_TRUE(view->Enabled(C::CancelAllFile));
  EXPECT_FALSE(view->Enabled(C::CancelFile));
  EXPECT_FALSE(view->Enabled(C::Go));  // no mark yet

  view->selectedRows = {1};
  c.lstFileSelectItem();
  EXPECT_TRUE(view->Enabled(C::CancelFile));
  c.Execute(C::CancelFile);
  ASSERT_EQ(c.Sources().Count(), 1);
  EXPECT_EQ(c.Sources().At(0).path, a);
  view->selectedRows = {};
  c.lstFileSelectItem();
  EXPECT_FALSE(view->Enabled(C::CancelFile));

  TreeNode* share = nullptr;
  c.treFolderExpanding(c.Tree().NodeAt(1));
  for (int i = 0; i < c.Tree().NodeCount(); ++i) {
    if (c.Tree().NodeAt(i)->Record().folderPath == R"(\\PC01\share)") share = c.Tree().NodeAt(i);
  }
  ASSERT_NE(share, nullptr);
  // A double press on the box marks as a press does, and keeps it from the tree control.
  const TreePressAction action = c.treFolderPress(share, TreePress::DoublePress);
  EXPECT_TRUE(action.toggleMark);
  EXPECT_FALSE(action.controlHandles);
  EXPECT_TRUE(c.treFolderPress(nullptr, TreePress::Press).controlHandles);
  EXPECT_EQ(view->markCount, "1箇所");
  EXPECT_EQ(view->statusText, R"(\\PC01\share)");  // the press selects the node too
  EXPECT_TRUE(view->Enabled(C::Go));
  EXPECT_TRUE(view->Enabled(C::ClearMark));

  // The Delete key refreshes too: removing the last row disables Go at once.
  view->selectedRows = {0};
  c.lstFileKeyDown(MainController::kDeleteKey);
  EXPECT_EQ(c.Sources().Count(), 0);
  EXPECT_FALSE(view->Enabled(C::Go));
  EXPECT_FALSE(view->Enabled(C::CancelAllFile));

  // So does the folder picker.
  dialogs.folderResults.push_back(cwd.Path() + kSeparator);
  c.Execute(C::AddFolder);
  EXPECT_EQ(c.Sources().Count(), 1);
  EXPECT_TRUE(view->Enabled(C::Go));
  EXPECT_TRUE(view->Enabled(C::CancelAllFile));

  c.Execute(C::ClearMark);
  EXPECT_EQ(view->markCount, "0箇所");
  EXPECT_FALSE(view->Enabled(C::Go));

  c.Execute(C::ClearLog);
  EXPECT_FALSE(exe.Exists("Pelmo.log"));
  EXPECT_FALSE(view->Enabled(C::ClearLog));
  EXPECT_FALSE(view->Enabled(C::RefLog));
}

TEST_F(MainControllerTest, ViewingTheLogOpensItOrSaysNoViewerIsThere) {
  MainController& c = Start();
  c.Execute(C::RefLog);
  EXPECT_EQ(viewer.opened, std::vector<std::string>{exe / "Pelmo.log"});

  viewer.available = false;
  c.Execute(C::RefLog);
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].kind, "Message");
  EXPECT_EQ(prompts.asked[0].caption, "Tolvane 1.05");
  EXPECT_EQ(prompts.asked[0].text,
            "テキストファイルに関連づけられたアプリケーションを取得できませんでした。");
}

TEST_F(MainControllerTest, ExitAndCloseDuringARunOnlyAskTheRunToStop) {
  MainController& c = Start();
  c.Execute(C::Exit);
  EXPECT_EQ(view->closeRequests, 1);
  c.Execute(C::About);
  EXPECT_EQ(view->aboutShown, 1);

  c.State().run.runInProgress = true;
  EXPECT_FALSE(c.FormCloseQuery());
  EXPECT_TRUE(c.State().run.stopRequested);
  c.State().run.runInProgress = false;
  EXPECT_TRUE(c.FormCloseQuery());
}

TEST_F(MainControllerTest, SwitchesNameTheLogAndDeleteItBeforeTheStartLine) {
  cwd.Write("run.log", "old contents\r\n");
  exe.Write("Pelmo.log", "kept\r\n");
  clock.now = {2005, 4, 1, 0, 0, 0};
  Start({"-x", "-grun.log", "-o"});
  const std::string start = "\r\n▼起動 2005/04/01\r\n";
  EXPECT_EQ(Text(cwd.Read("run.log")).substr(0, start.size()), start);
  EXPECT_EQ(exe.Read("Pelmo.log"), "kept\r\n");
}

TEST_F(MainControllerTest, ShutdownSavesTheListBeforeTheEndLineAndHonoursSaveLog) {
  MainController& c = Start();
  clock.now = {2005, 4, 1, 9, 20, 2};
  c.FormDestroy();
  const std::string log = LogFile();
  const auto saved = log.find("配布リスト保存 " + (exe / "Pelmo.lst"));
  const std::string endLine = "▲終了 2005/04/01 09:20:02\r\n\r\n";
  const auto end = log.find(endLine);
  ASSERT_NE(saved, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LT(saved, end);
  EXPECT_EQ(log.size(), end + endLine.size());

  // With -o nothing is saved to the list; with SaveLog off the end line stays out of the file.
  exe.Write("Pelmo.log", "");
  MainController& c2 = Start({"-o"});
  c2.mnuSaveLogClick();
  exe.Write("Pelmo.log", "");
  c2.FormDestroy();
  EXPECT_EQ(LogFile(), "");
}

TEST_F(MainControllerTest, BatchModeRunsOnceAfterStartUpThenEndsTheLoop) {
  MainController& c = Start({"-b", "-o"});
  EXPECT_TRUE(c.BatchMode());
  EXPECT_TRUE(c.State().startupComplete);
  EXPECT_TRUE(cursor.history.empty());  // batch mode never touches the cursor

  EXPECT_FALSE(c.ShowsWindow());
  // Made at once after start-up: no window, timer or loop is needed.
  c.RunBatch();
  EXPECT_TRUE(AutomaticRunStarted());
  EXPECT_EQ(pump.sleeps, 1);
  EXPECT_EQ(view->endedWith, 0);
  EXPECT_EQ(printed, std::vector<std::string>{
                         "done: 0 copied, 0 skipped, 0 unchanged, 0 failed at 0 destinations, 0 B, "
                         "0.0 s"});
  const std::string afterFirst = LogFile();
  EXPECT_NE(afterFirst.find("配布開始"), std::string::npos);
  EXPECT_NE(afterFirst.find("配布終了"), std::string::npos);
  c.Timer1Timer();
  EXPECT_EQ(LogFile(), afterFirst);

  // Nobody can answer in batch mode: errors go to the standard error stream, never to a box.
  c.ShowException("broken");
  EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(MainControllerTest, TheTimerDoesNothingOutsideBatchMode) {
  MainController& c = Start();
  EXPECT_TRUE(c.ShowsWindow());
  c.Timer1Timer();
  c.RunBatch();
  EXPECT_FALSE(AutomaticRunStarted());
  EXPECT_FALSE(view->endedWith);
  EXPECT_EQ(LogFile().find("配布開始"), std::string::npos);
}

std::string SettingsFile(const std::string& options) {
  std::string text =
      "[Setting]\r\nLeft=10\r\nTop=20\r\nClientWidth=800\r\nClientHeight=600\r\n"
      "SourceWidth=300\r\nLogHeight=100\r\nColumn0Width=210\r\nColumn1Width=71\r\n"
      "Column2Width=81\r\n\r\n" +
      options + "SaveLog=1\r\nDefaultFolder=/home/u/dist/\r\n";
#ifndef _WIN32
  text += "NetworkRoot=/srv/net\r\n";
#endif
  text += "Wait=0\r\n";
#ifndef _WIN32
  text += "SmbPort=1445\r\nSmbTimeout=2\r\nSmbCredentials=/home/u/.cred\r\n";
#endif
  text += "SkipUnchanged=1\r\nParallel=3\r\n";
  // Servers are kept, also where nothing reaches them by name (as in this test).
  text += "\r\n[Servers]\r\nCount=1\r\nServer0=nas01\r\n";
  return text + "\r\n";
}

TEST_F(MainControllerTest, TheWindowWritesBackWhatItReadAndTheOptionsFollowTheFile) {
  exe.Write("Pelmo.ini",
            SettingsFile("ConfirmOverWrite=0\r\nButOldIsIgnore=1\r\nIgnoreError=5\r\n"));
  MainController& c = Start();
#ifndef _WIN32
  EXPECT_EQ(networkRoot, "/srv/net");
#endif
  EXPECT_FALSE(c.ConfirmOverWrite());
  EXPECT_FALSE(view->Enabled(C::WriteIfOld));
  EXPECT_TRUE(view->checked[C::WriteIfOld]);
  EXPECT_TRUE(c.IgnoreError());
  EXPECT_TRUE(view->checked[C::IgnoreError]);
  EXPECT_TRUE(c.SkipUnchanged());
  EXPECT_TRUE(view->checked[C::SkipUnchanged]);
  // A number the menu does not offer checks none of its choices, and goes back as it was.
  EXPECT_EQ(c.Parallel(), 3);
  for (const ParallelChoice& choice : ParallelChoices()) EXPECT_FALSE(view->checked[choice.id]);
  EXPECT_EQ(c.State().defaultFolder, "/home/u/dist/");
  EXPECT_EQ(pump.PauseMs(), 0);
  const WindowLayout read{{10, 20, 800, 600}, 300, 100, {210, 71, 81}};
  EXPECT_EQ(view->layout, read);

  c.FormDestroy();
  EXPECT_EQ(exe.Read("Pelmo.ini"),
            SettingsFile("ConfirmOverWrite=0\r\nButOldIsIgnore=1\r\nIgnoreError=1\r\n"));
}

TEST_F(MainControllerTest, NamedServersJoinTheTreeAndTheUserAddsAndRemovesThem) {
  AddNetworkFolder("PC01/share");
  exe.Write("Pelmo.ini", "[Setting]\r\nSmbPort=1445\r\n[Servers]\r\nCount=2\r\n"
                         "Server0=pc01\r\nServer1=nas01\r\n");
  namedServers = true;
  MainController& c = Start();
  // pc01 is the network folder's own PC01: said once, and only nas01 goes over SMB.
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_NE(prompts.asked[0].text.find("pc01"), std::string::npos);
  ASSERT_FALSE(serverCalls.empty());
  EXPECT_EQ(serverCalls.back().servers, (std::vector<std::string>{"nas01"}));
  EXPECT_EQ(serverCalls.back().port, 1445);
  auto rootTexts = [&] {
    std::vector<std::string> texts;
    for (int i = 0; i < c.Tree().Root()->ChildCount(); ++i) {
      texts.push_back(c.Tree().Root()->Child(i)->Text());
    }
    return texts;
  };
  EXPECT_EQ(rootTexts(), (std::vector<std::string>{"nas01", "PC01"}));
  EXPECT_TRUE(view->Enabled(C::AddServer));
  EXPECT_TRUE(view->Enabled(C::RemoveServer));

  // Typed as a network path; then a name already there, and one that cannot be a name.
  dialogs.textResults = {" \\\\nas02 ", "NAS01", "a/b"};
  for (int i = 0; i < 3; ++i) c.Execute(C::AddServer);
  EXPECT_EQ(rootTexts(), (std::vector<std::string>{"nas01", "nas02", "PC01"}));
  EXPECT_EQ(serverCalls.back().servers, (std::vector<std::string>{"nas01", "nas02"}));
  EXPECT_EQ(view->statusText, "\\\\nas02");  // the new server is selected
  EXPECT_EQ(prompts.asked.size(), 3u);

  // Only a named server can be removed; one with marks below it is asked about.
  view->selectedNode = c.Tree().Root()->Child(2);
  c.Execute(C::RemoveServer);
  EXPECT_EQ(rootTexts().size(), 3u);
  TreeNode* nas01 = c.Tree().Root()->Child(0);
  c.Tree().SetStateImage(nas01, kStateMarked);
  view->selectedNode = nas01;
  prompts.answers = {PromptAnswer::No, PromptAnswer::Yes};
  c.Execute(C::RemoveServer);
  EXPECT_EQ(rootTexts().size(), 3u);
  c.Execute(C::RemoveServer);
  EXPECT_EQ(rootTexts(), (std::vector<std::string>{"nas02", "PC01"}));
  EXPECT_EQ(serverCalls.back().servers, (std::vector<std::string>{"nas02"}));
  EXPECT_EQ(c.Tree().CountMarkedNodes(), 0);

  c.FormDestroy();
  EXPECT_NE(exe.Read("Pelmo.ini").find("[Servers]\r\nCount=2\r\nServer0=pc01\r\n"
                                       "Server1=nas02\r\n"),
            std::string::npos);
}

TEST_F(MainControllerTest, PlacementCentresMovesOntoAScreenAndBatchModeWritesBackWhatItRead) {
  struct Case {
    std::vector<std::string> args;
    std::string left, top;  // as stored
    std::vector<ScreenRect> screens;
    ScreenRect placed;                    // where the window goes
    std::string writtenLeft, writtenTop;  // what the next start reads
  } cases[] = {
      // Top=0 means never placed: centred on the primary screen.
      {{}, "", "0", {{0, 0, 1000, 800}, {1000, 0, 1000, 800}}, {100, 100, 800, 600}, "", ""},
      // Off every screen: moved onto the nearest.
      {{}, "2500", "900", {{0, 0, 1000, 800}}, {200, 200, 800, 600}, "", ""},
      // Batch mode shows nothing: a second monitor's place survives a small offscreen screen.
      {{"-b", "-o"}, "2500", "900", {{0, 0, 1000, 800}}, {200, 200, 800, 600}, "2500", "900"},
  };
  for (const Case& k : cases) {
    exe.Write("Pelmo.ini", "[Setting]\r\nLeft=" + k.left + "\r\nTop=" + k.top +
                               "\r\nClientWidth=800\r\nClientHeight=600\r\n");
    screens = k.screens;
    Start(k.args);
    EXPECT_EQ(view->layout.geometry, k.placed) << k.left << "," << k.top;
    view->layout.geometry = {123, 45, 640, 480};  // the user moved it
    controller->FormDestroy();
    const std::string ini = exe.Read("Pelmo.ini");
    const std::string left = k.writtenLeft.empty() ? "123" : k.writtenLeft;
    const std::string top = k.writtenTop.empty() ? "45" : k.writtenTop;
    EXPECT_NE(ini.find("Left=" + left + "\r\nTop=" + top + "\r\n"), std::string::npos) << ini;
  }
}

TEST_F(MainControllerTest, AFirstRunAsksBeforeOverwritingAndTheStartLineIgnoresSaveLog) {
  MainController& c = Start();
  EXPECT_TRUE(c.ConfirmOverWrite());
  EXPECT_TRUE(c.ButOldIsIgnore());
  EXPECT_FALSE(c.IgnoreError());
  EXPECT_TRUE(c.SaveLog());
  EXPECT_TRUE(view->checked[C::ConfirmOverWrite]);
  EXPECT_TRUE(view->Enabled(C::WriteIfOld));

  // Saving the log stored as off: the start line still reaches the file, nothing after it.
  exe.Write("Pelmo.ini", "[Setting]\r\nSaveLog=0\r\n");
  exe.Write("Pelmo.log", "");
  MainController& c2 = Start();
  EXPECT_FALSE(c2.SaveLog());
  const std::string log = LogFile();
  EXPECT_EQ(log.rfind("\r\n▼起動 ", 0), 0u);
  EXPECT_EQ(log.find("配布リスト読込"), std::string::npos);
}

#ifndef _WIN32
TEST_F(MainControllerTest, WithoutServersTheStatusBarSaysHowToChooseTheNetworkFolder) {
  MainController& c = Start();  // nothing in the network folder
  EXPECT_NE(view->statusText.find("設定 > ネットワークフォルダ..."), std::string::npos);
  EXPECT_NE(view->statusText.find(networkRoot), std::string::npos);

  // Another folder, with a server: applied at once, and saved at exit.
  AddNetworkFolder("PC01/share");
  dialogs.folderResults.push_back("/srv/other");
  ASSERT_TRUE(view->Enabled(C::NetworkRoot));
  c.Execute(C::NetworkRoot);
  EXPECT_EQ(networkRoot, "/srv/other");
  EXPECT_EQ(c.Tree().Root()->ChildCount(), 1);
  EXPECT_EQ(view->statusText, "");
  controller->FormDestroy();
  EXPECT_NE(exe.Read("Pelmo.ini").find("NetworkRoot=/srv/other\r\n"), std::string::npos);
}
#endif

// The texts the windows show of a run, and the log's result line.
TEST(RunTextsTest, WindowTextsAreJapaneseAndLongPathsLoseTheirMiddle) {
  EXPECT_EQ(ElideMiddle("abcdefghij", 5), "ab…ij");
  EXPECT_EQ(ElideMiddle("あいうえおかきくけこ", 5), "あい…けこ");
  EXPECT_EQ(ElideMiddle("短い", 5), "短い");

  RunCounts counts;
  counts.destination = 2;
  counts.destinations = 5;
  counts.copied = 372;
  counts.failed = 1;
  counts.bytes = 2048;
  counts.currentFile = "/home/user/" + std::string(80, 'x') + "/last.txt";
  const std::string progress = WindowProgressText(counts);
  EXPECT_EQ(
      progress.rfind("配布先 2/5: 成功 372, スキップ 0, 失敗 1, 2.0 KiB, 0 B/s, /home/user/", 0),
      0u);
  EXPECT_TRUE(progress.ends_with("…" + std::string(21, 'x') + "/last.txt")) << progress;
  counts.unchanged = 4;
  counts.stopped = true;
  counts.elapsed = std::chrono::milliseconds(62000);
  EXPECT_EQ(WindowSummaryText(counts),
            "配布中止: 成功 372, スキップ 0, 変更なし 4, 失敗 1 (配布先 2 箇所), 2.0 KiB, 1:02");

  DestinationResult result{
      "\\\\PC01\\share",          3,   1, 0, 2, 1536, std::chrono::milliseconds(4200),
      "a.txt -> 失敗 (injected)", true};
  EXPECT_EQ(ResultLogLine(result),
            "結果 \\\\PC01\\share: 成功 3, スキップ 1, 変更なし 0, 失敗 2, 1.5 KiB, 4.2 s");
  const ResultList list = MakeResultList({result});
  EXPECT_EQ(list.rows.at(0), (ResultList::Row{"\\\\PC01\\share", "3", "1", "0", "2", "1.5 KiB",
                                              "4.2 s", "a.txt -> 失敗 (injected)"}));
  EXPECT_EQ(ResultList::Headers()[7], "最初の失敗");
}

}  // namespace
}  // namespace tolvane::test
