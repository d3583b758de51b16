// The main window's start-up, shutdown, command states, options and log commands.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWidget>
#include <stdexcept>

#include "app/Main.h"
#include "app/Pictures.h"
#include "app/core/CommandLine.h"
#include "app/core/CommandStates.h"
#include "app/core/StartupRules.h"
#include "common/AppInfo.h"
#include "platform/Clock.h"
#include "platform/Cursor.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/LogViewer.h"
#include "platform/Prompts.h"
#include "platform/qt/QtPlatform.h"
#include "setup/Settings.h"

namespace tolvane {
namespace {

bool automaticRunStarted = false;

}  // namespace

bool AutomaticRunStarted() { return automaticRunStarted; }
void ResetAutomaticRunForTests() { automaticRunStarted = false; }

void TfrmMain::FormCreate() {
  const CursorShape savedCursor = services_.cursor.Current();
  state_.settingsPath = state_.exeFolder + kSettingsFileName;
  state_.logPath = state_.logFolder + kLogFileName;
  state_.listPath.clear();

  const CommandLineOptions options = ParseCommandLine(startup_.args, startup_.currentDir);
  if (options.hasListPath) state_.listPath = options.listPath;
  if (options.hasLogPath) state_.logPath = options.logPath;
  state_.saveListAtExit = options.saveListAtExit;
  state_.run.batchMode = options.batchMode;
  log_.SetLogPath(state_.logPath);
  if (options.deleteLog) services_.fs.DeleteFile(state_.logPath);
  if (options.hasLogPath) {
    if (const std::string problem = CheckLogPath(services_.fs, state_.logPath); !problem.empty()) {
      log_.SetLogPath({});
      state_.startupRefused = true;
      throw std::runtime_error(problem);
    }
  }

  log_.AddLogLine(StartLine(services_.clock.Now()));

  try {
    if (!state_.run.batchMode) services_.cursor.Set(CursorShape::Hourglass);
    // The network folder must be known before the tree is built.
    state_.networkRoot = ReadNetworkRoot(services_.fs, state_.settingsPath);
    services_.setNetworkRoot(state_.networkRoot);
    BuildDestinationTree();
    LoadSettings();
    // Loads the -l list or the default list, then brings the mark count and commands up to date.
    NoteListLoad(
        state_, log_,
        listCommands_.LoadAtStartup(state_.listPath, state_.exeFolder + kDefaultListFileName),
        options.hasListPath ? state_.listPath : std::string());
  } catch (...) {
    if (!state_.run.batchMode) services_.cursor.Set(savedCursor);
    state_.startupComplete = true;
    throw;
  }
  if (!state_.run.batchMode) services_.cursor.Set(savedCursor);
  state_.startupComplete = true;
  for (const std::string& error : state_.startupErrors)
    services_.prompts.ShowError(kAppTitle, error);
}

void TfrmMain::FormDestroy() {
  if (SaveSettingsAtExit(state_)) SaveSettings();
  if (SaveListAtExit(state_) && !listFile_.SaveList(state_.exeFolder + kDefaultListFileName)) {
    ReportFailedSave(listFile_.LastSaveError());
  }
  FreeNodeRecords();
  log_.AddLogLine(EndLine(services_.clock.Now()));
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // FormCloseQuery: a run in progress is asked to stop instead.
  if (state_.run.runInProgress) {
    state_.run.stopRequested = true;
    event->ignore();
    return;
  }
  event->accept();
}

void TfrmMain::mnuExitClick() { close(); }

void TfrmMain::Timer1Timer() {
  if (!state_.startupComplete || automaticRunStarted || !state_.run.batchMode) return;
  automaticRunStarted = true;  // first, so ticks during the run do nothing
  if (!MayRunBatch(state_)) {
    // What start-up could not read or find has been said; nothing is run on half a setup.
    batchExitCode_ = 2;
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(2); });
    return;
  }
  services_.pump.SleepThenProcess(10);
  try {
    mnuGoClick();
  } catch (...) {
    // The run could not be made: batch mode still ends, and says so.
    batchExitCode_ = 2;
    QTimer::singleShot(0, this, [] { QCoreApplication::exit(2); });
    throw;
  }
  // Posted for the window, so that it goes with the window: a loop started after the window is
  // gone (a dialog's) must not be ended by it.
  QTimer::singleShot(0, this, [code = batchExitCode_] { QCoreApplication::exit(code); });
}

void TfrmMain::mnuGoClick() {
  if (state_.run.runInProgress) {
    state_.run.stopRequested = true;
    return;
  }
  const CursorShape savedCursor = services_.cursor.Current();
  state_.run.stopRequested = false;
  state_.run.runInProgress = true;
  if (!state_.run.batchMode) services_.cursor.Set(CursorShape::AppStarting);
  struct End {
    TfrmMain& w;
    CursorShape cursor;
    ~End() {
      w.state_.run.runInProgress = false;
      if (!w.state_.run.batchMode) w.services_.cursor.Set(cursor);
      w.RefreshCommands();
    }
  } end{*this, savedCursor};
  DistributionRun run(tree_, sources_, log_, services_.clock, state_.run, *this,
                      [this](const std::string& entry, const std::string& folder) {
                        return CopyEntry(entry, folder);
                      });
  const RunOutcome outcome = run.RunDistribution();
  batchExitCode_ = (outcome.stopped || outcome.anyDestinationFailed) ? 1 : 0;
}

void TfrmMain::ShowRunning(bool running) {
  SetGoPicture(running);
  pnlLeft->setEnabled(!running);
  // Commands that change the sources or the list under a run are refused until it ends.
  for (QAction* a : {mnuAddFile, mnuAddFile2, mnuAddFolder, mnuAddFolder2, mnuOpenList}) {
    a->setEnabled(!running);
  }
  tbtOpenFile->setEnabled(!running);
  if (running) {
    for (QAction* a : {mnuCancelFile, mnuCancelFile2, mnuCancelAllFile, mnuCancelAllFile2}) {
      a->setEnabled(false);
    }
  }
}

void TfrmMain::SetGoPicture(bool running) { tbtGo->setIcon(ToolbarPicture(running ? 14 : 1)); }

void TfrmMain::RefreshCommands() {
  CommandInputs in;
  in.markedCount = tree_.CountMarkedNodes();
  in.entryCount = sources_.Count();
  in.anyEntrySelected = !SelectedRows().empty();
  in.treeHasNodes = tree_.NodeCount() > 0;
  in.logFileExists = services_.fs.Exists(state_.logPath);
  in.listPath = state_.listPath;
  const CommandStates s = ComputeCommandStates(in);
  for (QAction* a : {mnuClearMark, mnuClearMark2}) a->setEnabled(s.clearMark);
  tbtClearMark->setEnabled(s.clearMark);
  mnuGo->setEnabled(s.go);
  tbtGo->setEnabled(s.go);
  for (QAction* a : {mnuAllCollapse, mnuAllCollapse2}) a->setEnabled(s.allCollapse);
  tbtAllCollapse->setEnabled(s.allCollapse);
  for (QAction* a : {mnuCancelAllFile, mnuCancelAllFile2}) a->setEnabled(s.cancelAllFile);
  for (QAction* a : {mnuCancelFile, mnuCancelFile2}) a->setEnabled(s.cancelFile);
  for (QAction* a : {mnuClearLog, mnuRefLog}) a->setEnabled(s.logCommands);
  setWindowTitle(ToQ(s.caption));
}

bool TfrmMain::ConfirmOverWrite() const { return mnuConfirmOverWrite->isChecked(); }
bool TfrmMain::ButOldIsIgnore() const { return mnuWriteIfOld->isChecked(); }
bool TfrmMain::IgnoreError() const { return mnuIgnoreError->isChecked(); }
bool TfrmMain::SaveLog() const { return mnuSaveLog->isChecked(); }

void TfrmMain::ApplyOptionButtons() {
  tbtConfirmOverWrite->setChecked(mnuConfirmOverWrite->isChecked());
  tbtWriteIfOld->setChecked(mnuWriteIfOld->isChecked());
  tbtIgnoreError->setChecked(mnuIgnoreError->isChecked());
  EnableOldFileToggles();
}

void TfrmMain::EnableOldFileToggles() {
  mnuWriteIfOld->setEnabled(mnuConfirmOverWrite->isChecked());
  tbtWriteIfOld->setEnabled(mnuConfirmOverWrite->isChecked());
}

void TfrmMain::mnuConfirmOverWriteClick() {
  mnuConfirmOverWrite->setChecked(!mnuConfirmOverWrite->isChecked());
  tbtConfirmOverWrite->setChecked(mnuConfirmOverWrite->isChecked());
  EnableOldFileToggles();
}

void TfrmMain::tbtConfirmOverWriteClick() {
  mnuConfirmOverWrite->setChecked(tbtConfirmOverWrite->isChecked());
  EnableOldFileToggles();
}

void TfrmMain::mnuWriteIfOldClick() {
  mnuWriteIfOld->setChecked(!mnuWriteIfOld->isChecked());
  tbtWriteIfOld->setChecked(mnuWriteIfOld->isChecked());
}

void TfrmMain::tbtWriteIfOldClick() { mnuWriteIfOld->setChecked(tbtWriteIfOld->isChecked()); }

void TfrmMain::mnuIgnoreErrorClick() {
  mnuIgnoreError->setChecked(!mnuIgnoreError->isChecked());
  tbtIgnoreError->setChecked(mnuIgnoreError->isChecked());
}

void TfrmMain::tbtIgnoreErrorClick() { mnuIgnoreError->setChecked(tbtIgnoreError->isChecked()); }

void TfrmMain::mnuSaveLogClick() { mnuSaveLog->setChecked(!mnuSaveLog->isChecked()); }

void TfrmMain::mnuClearLogClick() {
  services_.fs.DeleteFile(state_.logPath);
  RefreshCommands();
}

void TfrmMain::mnuRefLogClick() {
  if (!services_.fs.Exists(state_.logPath)) {
    RefreshCommands();
    return;
  }
  if (!services_.logViewer.Open(state_.logPath)) {
    services_.prompts.ShowMessage(
        kAppTitle, "テキストファイルに関連づけられたアプリケーションを取得できませんでした。");
  }
}

void TfrmMain::mnuAboutClick() {
  if (aboutHandler_) aboutHandler_();
}

}  // namespace tolvane
