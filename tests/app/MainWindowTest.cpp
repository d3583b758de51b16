#include <QAction>
#include <QCloseEvent>
#include <QItemSelectionModel>
#include <QTableView>
#include <QToolButton>

#include "app/WindowFixture.h"

namespace tolvane::test {
namespace {

using MainWindowTest = WindowFixture;

TEST_F(MainWindowTest, OptionTogglesKeepMenuAndButtonInStep) {
  TfrmMain& w = Start();
  w.mnuConfirmOverWrite->setChecked(true);
  w.mnuWriteIfOld->setChecked(true);

  // Off from the menu greys both old-file controls and leaves their check alone.
  w.mnuConfirmOverWriteClick();
  EXPECT_FALSE(w.ConfirmOverWrite());
  EXPECT_FALSE(w.tbtConfirmOverWrite->isChecked());
  EXPECT_FALSE(w.mnuWriteIfOld->isEnabled());
  EXPECT_FALSE(w.tbtWriteIfOld->isEnabled());
  EXPECT_TRUE(w.ButOldIsIgnore());

  // On again from the button.
  w.tbtConfirmOverWrite->click();
  EXPECT_TRUE(w.ConfirmOverWrite());
  EXPECT_TRUE(w.mnuWriteIfOld->isEnabled());
  EXPECT_TRUE(w.tbtWriteIfOld->isEnabled());

  w.tbtIgnoreError->click();
  EXPECT_TRUE(w.IgnoreError());
  w.mnuIgnoreErrorClick();
  EXPECT_FALSE(w.IgnoreError());
  EXPECT_FALSE(w.tbtIgnoreError->isChecked());

  w.mnuWriteIfOld->trigger();  // through Qt, as a menu click arrives
  EXPECT_FALSE(w.ButOldIsIgnore());
  EXPECT_FALSE(w.tbtWriteIfOld->isChecked());

  const bool saving = w.SaveLog();
  w.mnuSaveLog->trigger();
  EXPECT_NE(w.SaveLog(), saving);
}

TEST_F(MainWindowTest, CommandStatesFollowEntriesSelectionAndTheLogFile) {
  TfrmMain& w = Start();
  EXPECT_FALSE(w.mnuGo->isEnabled());
  EXPECT_FALSE(w.mnuCancelAllFile->isEnabled());
  EXPECT_TRUE(w.mnuAllCollapse->isEnabled());  // the tree has its root
  EXPECT_TRUE(w.mnuClearLog->isEnabled());     // the start line made the log file
  EXPECT_EQ(w.windowTitle().toStdString(), "Tolvane 1.05");

  w.Sources().Append({"/a", "", "1"});
  w.Sources().Append({"/b", "", "2"});
  w.RefreshCommands();
  EXPECT_TRUE(w.mnuCancelAllFile->isEnabled());
  EXPECT_FALSE(w.mnuCancelFile->isEnabled());

  w.lstFile->selectionModel()->select(w.lstFile->model()->index(1, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_TRUE(w.mnuCancelFile->isEnabled());
  EXPECT_TRUE(w.mnuCancelFile2->isEnabled());
  w.mnuCancelFileClick();
  ASSERT_EQ(w.Sources().Count(), 1);
  EXPECT_EQ(w.Sources().At(0).path, "/a");
  EXPECT_FALSE(w.mnuCancelFile->isEnabled());

  // The Delete key removes without refreshing: remove-all stays enabled until the next refresh.
  w.lstFile->selectAll();
  w.lstFileKeyDown(46);
  EXPECT_EQ(w.Sources().Count(), 0);
  EXPECT_TRUE(w.mnuCancelAllFile->isEnabled());
  w.mnuCancelAllFileClick();
  EXPECT_FALSE(w.mnuCancelAllFile->isEnabled());

  w.mnuClearLogClick();
  EXPECT_FALSE(exe.Exists("Pelmo.log"));
  EXPECT_FALSE(w.mnuClearLog->isEnabled());
  EXPECT_FALSE(w.mnuRefLog->isEnabled());
}

TEST_F(MainWindowTest, ViewingTheLogOpensItOrSaysNoViewerIsThere) {
  TfrmMain& w = Start();
  w.mnuRefLogClick();
  EXPECT_EQ(viewer.opened, std::vector<std::string>{exe.Path() + "/Pelmo.log"});

  viewer.available = false;
  w.mnuRefLogClick();
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].kind, "Message");
  EXPECT_EQ(prompts.asked[0].caption, "Tolvane 1.05");
  EXPECT_EQ(prompts.asked[0].text,
            "テキストファイルに関連づけられたアプリケーションを取得できませんでした。");
}

TEST_F(MainWindowTest, CloseDuringARunOnlyAsksTheRunToStop) {
  TfrmMain& w = Start();
  w.show();
  w.State().run.runInProgress = true;
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.State().run.stopRequested);

  w.State().run.runInProgress = false;
  EXPECT_TRUE(w.close());
}

TEST_F(MainWindowTest, SwitchesNameTheLogAndDeleteItBeforeTheStartLine) {
  cwd.Write("run.log", "old contents\r\n");
  exe.Write("Pelmo.log", "kept\r\n");
  clock.now = {2005, 4, 1, 0, 0, 0};
  Start({"-x", "-grun.log", "-o"});
  const std::string start = "\r\n▼起動 2005/04/01\r\n";
  EXPECT_EQ(cwd.Read("run.log").substr(0, start.size()), start);
  EXPECT_EQ(exe.Read("Pelmo.log"), "kept\r\n");
}

TEST_F(MainWindowTest, ShutdownSavesTheListBeforeTheEndLineAndHonoursSaveLog) {
  TfrmMain& w = Start();
  clock.now = {2005, 4, 1, 9, 20, 2};
  w.FormDestroy();
  const std::string log = LogFile();
  const auto saved = log.find("配布リスト保存 " + exe.Path() + "/Pelmo.lst");
  const auto end = log.find("▲終了 2005/04/01 09:20:02\r\n\r\n");
  ASSERT_NE(saved, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LT(saved, end);
  EXPECT_EQ(log.size(), end + std::string("▲終了 2005/04/01 09:20:02\r\n\r\n").size());

  // With -o nothing is saved to the list; with SaveLog off the end line stays out of the file.
  exe.Write("Pelmo.log", "");
  TfrmMain& w2 = Start({"-o"});
  w2.mnuSaveLogClick();
  exe.Write("Pelmo.log", "");
  w2.FormDestroy();
  EXPECT_EQ(LogFile(), "");
}

TEST_F(MainWindowTest, BatchModeRunsOnceAfterStartUpAndNeverAgain) {
  TfrmMain& w = Start({"-b", "-o"});
  EXPECT_TRUE(w.State().run.batchMode);
  EXPECT_TRUE(w.State().startupComplete);
  EXPECT_TRUE(cursor.history.empty());  // batch mode never touches the cursor

  w.Timer1Timer();
  EXPECT_TRUE(AutomaticRunStarted());
  EXPECT_EQ(pump.sleeps, 1);
  const std::string afterFirst = LogFile();
  EXPECT_NE(afterFirst.find("配布開始"), std::string::npos);
  EXPECT_NE(afterFirst.find("配布終了"), std::string::npos);
  w.Timer1Timer();
  EXPECT_EQ(LogFile(), afterFirst);
  EXPECT_EQ(w.BatchExitCode(), 0);
}

TEST_F(MainWindowTest, TheTimerDoesNothingOutsideBatchMode) {
  TfrmMain& w = Start();
  w.Timer1Timer();
  EXPECT_FALSE(AutomaticRunStarted());
  EXPECT_EQ(LogFile().find("配布開始"), std::string::npos);
}

}  // namespace
}  // namespace tolvane::test
