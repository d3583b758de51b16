#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/core/BatchPrompts.h"
#include "app/core/CommandStates.h"
#include "app/core/Commands.h"
#include "app/core/MainState.h"
#include "app/core/MainView.h"
#include "app/core/ViewRules.h"
#include "engine/DistributionRun.h"
#include "engine/RunFlags.h"
#include "engine/RunPlan.h"
#include "engine/RunProgress.h"
#include "log/StatusLog.h"
#include "setup/ListFile.h"
#include "setup/Settings.h"
#include "setup/SourceEntries.h"
#include "setup/SourceList.h"
#include "tree/DestinationTree.h"
#include "tree/NetworkTree.h"

namespace tolvane {

class Clock;
class Cursor;
class Dialogs;
class EventPump;
class FileSystem;
class LogViewer;
class Prompts;
class ShellNamespace;

// The platform services the main window works through; tests hand in fakes.
struct MainServices {
  FileSystem& fs;
  Prompts& prompts;
  Dialogs& dialogs;
  EventPump& pump;
  Cursor& cursor;
  Clock& clock;
  LogViewer& logViewer;
  ShellNamespace& shell;
  // Where the network folder is on this system; called at start-up with the NetworkRoot
  // setting before the destination tree is built.
  std::function<void(const std::string&)> setNetworkRoot = [](const std::string&) {};
  // The SMB servers the network folder reaches without mounting, with how to reach them:
  // called at start-up before the tree is built, and whenever the user adds or removes one.
  // Empty where the system's own network folder reaches every server.
  std::function<void(const ServerSettings&)> setServers = nullptr;
  // Where batch mode prints the run's summary line: standard output.
  std::function<void(const std::string&)> printLine = PrintLine;

  static void PrintLine(const std::string& line);
};

// Where the program is and how it was started.
struct StartupInfo {
  // Where Pelmo.ini and Pelmo.lst live, with its trailing separator: the executable's folder,
  // or the user's configuration folder for an installed program.
  std::string exeFolder;
  std::string currentDir;
  std::vector<std::string> args;  // after the program name
  // Where Pelmo.log lives, with its trailing separator; empty means beside Pelmo.ini.
  std::string logFolder;
};

// The option toggles of the setting menu and log saving.
struct MainOptions {
  // As the menu items are designed; the settings decide at start-up.
  bool confirmOverWrite = false;
  bool butOldIsIgnore = false;
  bool ignoreError = false;
  bool saveLog = true;
  bool skipUnchanged = false;
  // How many destinations a run serves at once: the menu's choices, or what the file holds.
  int parallel = WindowSettings::kDefaultParallel;
};

// The main window's behaviour, shared by every window layer: start-up and shutdown, the
// commands, the options and the command states. The layer implements MainView and sends its
// events here; it shows Sources() and Tree() itself.
class MainController : public CopyOptions, private RunView {
 public:
  MainController(MainServices services, StartupInfo startup);
  ~MainController() override;
  MainController(const MainController&) = delete;
  MainController& operator=(const MainController&) = delete;

  // The window; set once, before FormCreate.
  void AttachView(MainView& view);

  // The start-up sequence, run right after the window is built.
  void FormCreate();
  // The shutdown sequence, run after the message loop has ended.
  void FormDestroy();
  // The window asks to close: false refuses (a run in progress is asked to stop instead).
  bool FormCloseQuery();
  // The window is shown.
  void FormShow();
  // Timer1 ticked (every second, for the life of the window).
  void Timer1Timer();

  // What an entry does once FormCreate has returned: show the window and run its loop, or
  // (batch mode, and a start that was refused) call RunBatch and go on to FormDestroy.
  bool ShowsWindow() const { return !state_.startupRefused && !state_.run.batchMode; }
  // Batch mode's run, made at once: it needs no window, no timer and no message loop. After a
  // start-up that did not complete nothing runs, and the exit code is 2. Outside batch mode it
  // does nothing.
  void RunBatch();
  // The process's exit code after FormDestroy: batch mode's, 0 for the window.
  int ExitCode() const { return state_.run.batchMode ? BatchExitCode() : 0; }

  // A menu or pop-up item was chosen.
  void Execute(CommandId id);
  // A tool button was clicked; down is its state afterwards (check-style buttons flip
  // themselves).
  void ToolButtonClicked(CommandId id, bool down);

  // The commands (menu handlers; their twins run the same).
  void mnuAddFileClick();
  void mnuAddFolder2Click();
  void mnuCancelFileClick();
  void mnuCancelAllFileClick();
  void mnuGoClick();
  void mnuOpenListClick();
  void mnuSaveListClick();
  void mnuSaveAsListClick();
  void mnuSaveLogClick();
  void mnuClearLogClick();
  void mnuRefLogClick();
  void mnuExitClick();
  void mnuClearMarkClick();
  void mnuAllCollapseClick();
  void mnuConfirmOverWriteClick();
  void mnuWriteIfOldClick();
  void mnuIgnoreErrorClick();
  void mnuSkipUnchangedClick();
  // One of the choices of 同時に配布する数.
  void mnuParallelClick(int count);
  // Shows what a run would do, writing nothing anywhere.
  void mnuPreviewClick();
  void mnuAboutClick();
  void mnuAddServerClick();
  void mnuRemoveServerClick();
  void mnuShowResultsClick();
  // A run to exactly the destinations that failed in the last run, with its sources; the
  // marks stay as they are.
  void mnuRerunFailedClick();
  // Lists the selected node again (the root when none is selected), keeping the marks below.
  void mnuRefreshClick();
  // Chooses the network folder with the folder picker; the tree is built again from it.
  void mnuNetworkRootClick();
  void tbtConfirmOverWriteClick(bool down);
  void tbtWriteIfOldClick(bool down);
  void tbtIgnoreErrorClick(bool down);
  void tbtSkipUnchangedClick(bool down);

  // Source list events.
  void DropFiles(const std::vector<std::string>& paths);
  static constexpr int kDeleteKey = 46;
  void lstFileKeyDown(int key);
  void lstFileDblClick();
  void lstFileSelectItem();

  // Destination tree events. A node not yet listed is opening: false keeps it closed.
  bool treFolderExpanding(TreeNode* node);
  // A press on the tree (a mouse button, the second press of a double-click, or Space): hit is
  // the node whose state picture it landed on (for Space, the selected node), or null. Marks
  // as the press calls for, and answers whether the tree control takes the press as its own.
  TreePressAction treFolderPress(TreeNode* hit, TreePress press);
  // A press on a node's state picture: its mark is toggled, and it is selected and shown.
  void treFolderMouseDown(TreeNode* statePictureNode);
  void treFolderClick();
  void treFolderEnter();
  void treFolderExit();
  // The tree's selected node changed (by mouse, keyboard, or a run serving it).
  void treFolderChange();

  void RefreshCommands();
  void UpdateMarkCount();

  // A named server could not be reached or logged on to: the log says so (once per failure).
  void ReportServerFailure(const std::string& reason);

  // The error-box rule for an exception that escaped a handler, start-up or shutdown: the
  // standard error box with the message (in batch mode, the standard error stream).
  void ShowException(const std::string& message);
  // Runs a handler inside that rule.
  void Guarded(const std::function<void()>& handler);

  // What batch mode tells a scheduler: 0 the run ended normally with no failed destination,
  // 1 a destination failed or the run was stopped, 2 the run could not be made or its log
  // could not be written.
  int BatchExitCode() const { return log_.AnyWriteFailed() ? 2 : batchExitCode_; }
  bool BatchMode() const { return state_.run.batchMode; }

  // What the last run did at each destination, the failed ones first.
  const std::vector<DestinationResult>& LastResults() const { return lastResults_; }

  // Option states.
  bool ConfirmOverWrite() const override { return options_.confirmOverWrite; }
  bool ButOldIsIgnore() const override { return options_.butOldIsIgnore; }
  bool IgnoreError() const override { return options_.ignoreError; }
  bool SkipUnchanged() const override { return options_.skipUnchanged; }
  bool SaveLog() const { return options_.saveLog; }
  // How many destinations a run serves at once.
  int Parallel() const { return options_.parallel; }

  MainState& State() { return state_; }
  const MainState& State() const { return state_; }
  StatusLog& Log() { return log_; }
  SourceList& Sources() { return sources_; }
  DestinationTree& Tree() { return tree_; }
  // The prompts as every command asks them (batch mode never waits for an answer).
  Prompts& Ask() { return prompts_; }

 private:
  // RunView.
  void ShowRunning(bool running) override;
  void ShowDestination(TreeNode* node) override;
  void RunDistribution(bool failedOnly);
  // Progress in the status bar, in the window's words.
  void ShowProgress(const std::string& text);
  // The selected node's folder in the status bar, or what to do while no server is listed.
  void ShowFolderStatus(const TreeNode* node);
  // Marks whose nodes a listing did not find again: kept as destinations not found, and said.
  void KeepLostMarks(const std::vector<NetworkTree::Mark>& lost);
  // Gives back the marks of destinations not found so far that lie below node.
  void RestoreUnrestoredBelow(const TreeNode* node);
  // The plan of a run over sources and the destinations marked now (or those that failed in
  // the last run), in tree order.
  RunPlan PlanNow(const SourceList& sources, bool failedOnly = false);
  PlanDecision Decision() const;
  // The preview's text; allReachable tells whether every destination can be reached.
  std::string PreviewText(bool* allReachable);
  // --dry-run: prints the preview and ends, with 1 when a destination cannot be reached.
  void DryRun();

  // The automatic run of batch mode, once in the life of the process.
  void StartAutomaticRun();
  // The node's folder path in the status bar and, where the log names it, selected there.
  void ShowFolder(const TreeNode* node);
  void LoadSettings();
  void SaveSettings();
  // A save that failed: the error box (standard error in batch mode, which then ends with 2).
  void ReportFailedSave(const std::string& message);
  void PlaceWindow(const WindowSettings& settings);
  // Start-up: the named servers beside the network folder's own. A name the folder already
  // lists is said once and left to the folder.
  void AddNamedServers();
  // The named servers that go over SMB: all but those the network folder has itself.
  ServerSettings RoutedServers() const;
  bool IsRoutedServer(const std::string& name) const;
  // The texts of the network folder's own items, named servers included.
  std::vector<std::string> RootNames() const;
  // Shows the options: check marks, button states, and the old-file toggles usable exactly
  // while overwriting is confirmed.
  void ShowOptions();

  // The memo, once the window is there.
  struct Memo : LogSink {
    MainView* view = nullptr;
    const bool* batchMode = nullptr;
    void AddMemoLine(const std::string& line) override {
      // Nobody sees the memo of a batch run; the log file keeps every line.
      if (view && !(batchMode && *batchMode)) view->AddMemoLine(line);
    }
    void ClearMemo() override {
      if (view) view->ClearMemo();
    }
  };

  MainServices services_;
  StartupInfo startup_;
  BatchPrompts prompts_;
  MainView* view_ = nullptr;
  MainState state_;
  MainOptions options_;
  Memo memo_;
  StatusLog log_;
  SourceList sources_;
  SourceEntries entries_{services_.fs, log_, sources_};
  DestinationTree tree_;
  NetworkTree network_;
  ListFile listFile_{services_.fs, log_, entries_, sources_, tree_, network_};
  ListCommands listCommands_;
  // What start-up read, written back as it was by batch mode (nobody moved the window).
  WindowSettings loadedSettings_;
  int batchExitCode_ = 0;
  // The last run: its results, and the sources it copied (a re-run copies the same).
  std::vector<DestinationResult> lastResults_;
  bool hasResults_ = false;
  std::vector<SourceEntry> lastSources_;
  // --dry-run: the batch run only shows its plan, and nothing is written anywhere.
  bool dryRun_ = false;
  // The [Servers] of the settings as the user keeps them, and those the network folder has.
  ServerSettings servers_;
  std::vector<std::string> shadowedServers_;
  // Counts what a run does and shows it in the view.
  RunProgress progress_{services_.clock, [this](const std::string& text) { ShowProgress(text); }};
};

// Whether an automatic run was started in the life of this process.
bool AutomaticRunStarted();
void ResetAutomaticRunForTests();

}  // namespace tolvane
