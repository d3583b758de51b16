// The main window's start-up and shutdown, the automatic run, the run itself, the settings and
// the command states.
#include "app/core/MainController.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <optional>
#include <stdexcept>

#include "app/core/CommandLine.h"
#include "app/core/StartupRules.h"
#include "common/AppInfo.h"
#include "engine/CopyEngine.h"
#include "platform/Clock.h"
#include "platform/Cursor.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"

namespace tolvane {
namespace {

bool automaticRunStarted = false;

}  // namespace

bool AutomaticRunStarted() { return automaticRunStarted; }
void ResetAutomaticRunForTests() { automaticRunStarted = false; }

MainController::MainController(MainServices services, StartupInfo startup)
    : services_(std::move(services)),
      startup_(std::move(startup)),
      prompts_(services_.prompts),
      log_(services_.fs, memo_),
      network_(tree_, services_.shell, services_.pump, services_.cursor,
               [this] { return state_.startupComplete; }),
      listCommands_(
          listFile_, services_.fs, services_.dialogs, prompts_,
          ListCommandHooks{[this] { mnuClearMarkClick(); }, [this] { mnuAllCollapseClick(); },
                           [this] { entries_.RemoveAll(); }, [this] { UpdateMarkCount(); },
                           [this] { RefreshCommands(); }}) {
  state_.exeFolder = startup_.exeFolder;
  state_.logFolder = startup_.logFolder.empty() ? startup_.exeFolder : startup_.logFolder;
  // Agrees with the command line about batch mode, and holds from the first moment on: an
  // error before the command line is read must not wait for an answer either.
  prompts_.SetUnattended(HasBatchSwitch(startup_.args));
  // Servers are listed ahead of a restore as many at once as destinations are served.
  network_.SetParallel([this] { return options_.parallel; });
  log_.SetSaveToFileSource([this] { return options_.saveLog; });
  // A log that stops taking lines is said once: on standard error in batch mode (which then
  // ends with 2), in the status bar in the window.
  log_.SetWriteFailureReport([this](const std::string& reason) {
    const std::string text = "ログファイルに書き込めません: " + LogName(state_.logPath) +
                             (reason.empty() ? "" : " (" + reason + ")");
    if (HasBatchSwitch(startup_.args)) {
      prompts_.ShowError(kAppTitle, text);
    } else if (view_) {
      view_->SetStatusText(text);
    }
  });
}

MainController::~MainController() = default;

void MainController::AttachView(MainView& view) {
  view_ = &view;
  memo_.view = &view;
  memo_.batchMode = &state_.run.batchMode;
  ShowOptions();
}

void MainController::FormCreate() {
  const CursorShape savedCursor = services_.cursor.Current();
  state_.settingsPath = state_.exeFolder + kSettingsFileName;
  state_.logPath = state_.logFolder + kLogFileName;
  state_.listPath.clear();

  const CommandLineOptions options = ParseCommandLine(startup_.args, startup_.currentDir);
  if (options.hasListPath) state_.listPath = options.listPath;
  if (options.hasLogPath) state_.logPath = options.logPath;
  state_.saveListAtExit = options.saveListAtExit;
  state_.run.batchMode = options.batchMode;
  dryRun_ = options.dryRun;
  prompts_.SetUnattended(options.batchMode);
  // A dry run writes nothing anywhere: not a line of the log either.
  log_.SetLogPath(dryRun_ ? std::string() : state_.logPath);
  if (options.deleteLog && !dryRun_) services_.fs.DeleteFile(state_.logPath);
  if (options.hasLogPath) {
    // A log that is a folder, a pipe or a device would lose every line or hang: refused.
    if (const std::string problem = CheckLogPath(services_.fs, state_.logPath); !problem.empty()) {
      log_.SetLogPath({});
      state_.startupRefused = true;
      throw std::runtime_error(problem);
    }
  }

  log_.AddLogLine(StartLine(services_.clock.Now()));

  struct GuardedEnd {
    MainController& c;
    CursorShape cursor;
    ~GuardedEnd() {
      if (!c.state_.run.batchMode) c.services_.cursor.Set(cursor);
      c.state_.startupComplete = true;
    }
  } end{*this, savedCursor};
  if (!state_.run.batchMode) services_.cursor.Set(CursorShape::Hourglass);
  // The network folder must be known before the tree is built.
  state_.networkRoot = ReadNetworkRoot(services_.fs, state_.settingsPath);
  services_.setNetworkRoot(state_.networkRoot);
  // So is the pause the listing makes after each network item.
  services_.pump.SetPause(ReadWait(services_.fs, state_.settingsPath));
  network_.AddNetworkRoot();
  AddNamedServers();
  network_.ExpandRootAndSort();
  LoadSettings();
  // Loads the -l list or the default list, then brings the mark count and commands up to date.
  NoteListLoad(
      state_, log_,
      listCommands_.LoadAtStartup(state_.listPath, state_.exeFolder + kDefaultListFileName),
      options.hasListPath ? state_.listPath : std::string());
  if (view_) view_->AcceptDroppedFiles();
  if (!state_.run.batchMode) ShowFolderStatus(nullptr);
  for (const std::string& error : state_.startupErrors) prompts_.ShowError(kAppTitle, error);
}

void MainController::FormShow() {
  if (view_) view_->AcceptDroppedFiles();
}

void MainController::FormDestroy() {
  // Nothing is saved over a file that could not be read, nor after a batch start that failed,
  // nor after a dry run.
  if (!dryRun_ && SaveSettingsAtExit(state_)) SaveSettings();
  if (!dryRun_ && SaveListAtExit(state_) &&
      !listFile_.SaveList(state_.exeFolder + kDefaultListFileName)) {
    ReportFailedSave(listFile_.LastSaveError());
  }
  network_.FreeNodeRecords();
  log_.AddLogLine(EndLine(services_.clock.Now()));
}

bool MainController::FormCloseQuery() {
  if (!state_.run.runInProgress) return true;
  state_.run.stopRequested = true;
  return false;
}

void MainServices::PrintLine(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void MainController::Timer1Timer() { StartAutomaticRun(); }

void MainController::RunBatch() {
  if (!state_.run.batchMode) return;
  if (!state_.startupComplete) {
    // Start-up failed before it was complete (it has said why): an unattended program ends.
    automaticRunStarted = true;
    batchExitCode_ = 2;
    return;
  }
  Guarded([this] { StartAutomaticRun(); });
}

void MainController::StartAutomaticRun() {
  if (!state_.startupComplete || automaticRunStarted || !state_.run.batchMode) return;
  automaticRunStarted = true;  // first, so ticks during the run do nothing
  if (!MayRunBatch(state_)) {
    // What start-up could not read or find has been said; nothing runs on half a setup.
    batchExitCode_ = 2;
    if (view_) view_->EndLoop(batchExitCode_);
    return;
  }
  if (dryRun_) {
    DryRun();
    if (view_) view_->EndLoop(batchExitCode_);
    return;
  }
  // A run with nothing to send ends normally, but a scheduler's mail should say why.
  if (sources_.Count() == 0) {
    prompts_.ShowMessage(kAppTitle, "配布するファイルがリストにないため、何も配布しません");
  } else if (tree_.CountMarkedNodes() == 0 && tree_.Unrestored().empty()) {
    prompts_.ShowMessage(kAppTitle, "配布先がリストにないため、何も配布しません");
  }
  services_.pump.Pause();
  try {
    mnuGoClick();
  } catch (...) {
    // The run could not be made: batch mode still ends, and says so.
    batchExitCode_ = 2;
    if (view_) view_->EndLoop(batchExitCode_);
    throw;
  }
  // One line for whoever started the run; errors went to the standard error stream.
  if (!progress_.Summary().empty()) services_.printLine(progress_.Summary());
  if (view_) view_->EndLoop(batchExitCode_);
}

void MainController::mnuGoClick() {
  if (state_.run.runInProgress) {
    state_.run.stopRequested = true;
    return;
  }
  RunDistribution(false);
}

void MainController::mnuRerunFailedClick() {
  if (state_.run.runInProgress || tree_.FailedInLastRun().empty() || lastSources_.empty()) return;
  RunDistribution(true);
}

void MainController::RunDistribution(bool failedOnly) {
  const CursorShape savedCursor = services_.cursor.Current();
  state_.run.stopRequested = false;
  state_.run.runInProgress = true;
  // Each run tries every server afresh: one that failed lately, or whose login was cancelled.
  services_.fs.ForgetFailures({});
  if (!state_.run.batchMode) services_.cursor.Set(CursorShape::AppStarting);
  struct End {
    MainController& c;
    CursorShape cursor;
    ~End() {
      c.state_.run.runInProgress = false;
      if (!c.state_.run.batchMode) c.services_.cursor.Set(cursor);
      c.RefreshCommands();
    }
  } end{*this, savedCursor};
  // A re-run copies what the last run copied, whatever the list holds now.
  SourceList rerunSources;
  if (failedOnly) {
    for (const SourceEntry& entry : lastSources_) rerunSources.Append(entry);
  } else {
    lastSources_ = sources_.Entries();
  }
  const SourceList& sources = failedOnly ? rerunSources : sources_;
  // Each source entry is walked once and every destination looked at before anything is
  // copied; the copy follows what was found.
  const RunPlan plan = PlanNow(sources, failedOnly);
  DistributionRun run(tree_, sources, log_, services_.clock, state_.run, *this,
                      {services_.fs, prompts_, services_.pump, *this});
  run.SetPlan(&plan);
  run.SetParallel(options_.parallel);
  run.SetProgress(&progress_);
  // Each entry is counted once a run, however many destinations nothing reaches.
  std::map<std::string, int> fileCounts;
  run.SetFileCounter([this, &fileCounts](const std::string& entry) {
    auto it = fileCounts.find(entry);
    if (it == fileCounts.end()) {
      it = fileCounts.emplace(entry, CountEntryFiles(services_.fs, entry)).first;
    }
    return it->second;
  });
  if (failedOnly) run.SetDestinations([](const TreeNode& node) { return node.FailedInLastRun(); });
  const PlanTotals totals = TotalsOf(plan, Decision());
  run.SetPlannedTotals(totals.files, totals.bytes);
  RunOutcome outcome = run.RunDistribution();
  batchExitCode_ = (outcome.stopped || outcome.anyDestinationFailed) ? 1 : 0;
  lastResults_ = std::move(outcome.results);
  hasResults_ = true;
  // A run with failures shows its results at once; otherwise a list on screen is brought up
  // to date.
  if (view_ && !state_.run.batchMode) {
    view_->ShowResults(MakeResultList(lastResults_), outcome.anyDestinationFailed);
  }
}

void MainController::mnuShowResultsClick() {
  if (view_ && hasResults_) view_->ShowResults(MakeResultList(lastResults_), true);
}

void MainController::ShowProgress(const std::string& text) {
  if (!view_) return;
  // The window speaks Japanese; batch mode's summary line keeps its form for scripts.
  const bool summary = !progress_.Summary().empty() && text == progress_.Summary();
  view_->SetProgressText(summary ? WindowSummaryText(progress_.Counts())
                                 : WindowProgressText(progress_.Counts()));
}

RunPlan MainController::PlanNow(const SourceList& sources, bool failedOnly) {
  std::vector<std::string> entries;
  for (int i = 0; i < sources.Count(); ++i) entries.push_back(sources.At(i).path);
  std::vector<std::string> folders;
  for (TreeNode* node = tree_.Root(); node; node = NextInTreeOrder(tree_, node)) {
    if (failedOnly ? node->FailedInLastRun() : IsMarkedState(node->StateImage())) {
      folders.push_back(node->Record().folderPath);
    }
  }
  return PlanRun(services_.fs, entries, folders);
}

PlanDecision MainController::Decision() const {
  return {options_.confirmOverWrite, options_.butOldIsIgnore, options_.skipUnchanged,
          state_.run.batchMode};
}

std::string MainController::PreviewText(bool* allReachable) {
  const RunPlan plan = PlanNow(sources_);
  const PlanDecision decision = Decision();
  std::string text;
  bool reachable = true;
  for (const DestinationPlan& d : plan.destinations) {
    for (const std::string& line : PreviewLines(plan.walk, d, decision)) text += line + "\n";
    reachable = reachable && d.reachable;
  }
  for (const UnrestoredDestination& d : tree_.Unrestored()) {
    text += LogName(d.folderPath.empty() ? d.nodePath : d.folderPath) + "\n";
    text += "  配布先をツリーに再現できなかったため配布できません\n";
    reachable = false;
  }
  const PlanTotals t = TotalsOf(plan, decision);
  text += "合計 " + std::to_string(t.files) + " ファイル " + FormatBytes(t.bytes) + "、変更なし " +
          std::to_string(t.unchanged) + "、配布先 " + std::to_string(plan.destinations.size()) +
          "\n";
  if (allReachable) *allReachable = reachable;
  return text;
}

void MainController::mnuPreviewClick() {
  if (state_.run.runInProgress || !view_) return;
  view_->ShowPreview("配布内容の確認", PreviewText(nullptr));
}

void MainController::DryRun() {
  bool reachable = true;
  std::string text = PreviewText(&reachable);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  services_.printLine(text);
  batchExitCode_ = reachable ? 0 : 1;
}

void MainController::ShowRunning(bool running) {
  if (!view_) return;
  view_->SetButtonPicture(CommandId::Go, running ? kGoRunningPicture : kGoPicture);
  view_->SetSourcePaneEnabled(!running);
  RefreshCommands();
}

void MainController::ShowDestination(TreeNode* node) {
  tree_.Select(node);
  ShowFolderStatus(node);
  if (!state_.run.batchMode && view_) view_->FocusTree();
}

void MainController::RefreshCommands() {
  if (!view_) return;
  CommandInputs in;
  in.markedCount = tree_.CountMarkedNodes();
  in.entryCount = sources_.Count();
  in.anyEntrySelected = !view_->SelectedSourceRows().empty();
  in.treeHasNodes = tree_.NodeCount() > 0;
  in.logFileExists = services_.fs.Exists(state_.logPath);
  in.runInProgress = state_.run.runInProgress;
  in.listPath = state_.listPath;
  const CommandStates s = ComputeCommandStates(in);
  const bool idle = !in.runInProgress;
  view_->SetCommandEnabled(CommandId::RerunFailed,
                           idle && !lastSources_.empty() && !tree_.FailedInLastRun().empty());
  view_->SetCommandEnabled(CommandId::ShowResults, hasResults_);
  view_->SetCommandEnabled(CommandId::Refresh, idle && tree_.Root() != nullptr);
  view_->SetCommandEnabled(CommandId::NetworkRoot, idle);
  view_->SetCommandEnabled(CommandId::ClearMark, s.clearMark);
  view_->SetCommandEnabled(CommandId::Go, s.go);
  view_->SetCommandEnabled(CommandId::Preview, s.preview);
  view_->SetCommandEnabled(CommandId::AllCollapse, s.allCollapse);
  view_->SetCommandEnabled(CommandId::CancelAllFile, s.cancelAllFile);
  view_->SetCommandEnabled(CommandId::CancelFile, s.cancelFile);
  view_->SetCommandEnabled(CommandId::ClearLog, s.logCommands);
  view_->SetCommandEnabled(CommandId::RefLog, s.logCommands);
  view_->SetCommandEnabled(CommandId::AddFile, s.addSources);
  view_->SetCommandEnabled(CommandId::AddFolder, s.addSources);
  view_->SetCommandEnabled(CommandId::OpenList, s.openList);
  // The named servers change the tree, which a run is walking.
  const bool servers = services_.setServers && !in.runInProgress;
  view_->SetCommandEnabled(CommandId::AddServer, servers);
  view_->SetCommandEnabled(CommandId::RemoveServer, servers && !RoutedServers().servers.empty());
  view_->SetCaption(s.caption);
}

void MainController::ShowOptions() {
  if (!view_) return;
  view_->SetCommandChecked(CommandId::ConfirmOverWrite, options_.confirmOverWrite);
  view_->SetCommandChecked(CommandId::WriteIfOld, options_.butOldIsIgnore);
  view_->SetCommandChecked(CommandId::IgnoreError, options_.ignoreError);
  view_->SetCommandChecked(CommandId::SaveLog, options_.saveLog);
  view_->SetCommandChecked(CommandId::SkipUnchanged, options_.skipUnchanged);
  // A number from the file that the menu does not offer checks none of its choices.
  for (const ParallelChoice& choice : ParallelChoices()) {
    view_->SetCommandChecked(choice.id, choice.count == options_.parallel);
  }
  view_->SetCommandEnabled(CommandId::WriteIfOld, options_.confirmOverWrite);
}

void MainController::LoadSettings() {
  std::optional<DamagedFile> damaged;
  const WindowSettings s = tolvane::LoadSettings(services_.fs, state_.settingsPath, &damaged);
  NoteSettingsLoad(state_, log_, damaged);
  loadedSettings_ = s;
  PlaceWindow(s);
  options_.confirmOverWrite = s.confirmOverWrite;
  options_.butOldIsIgnore = s.butOldIsIgnore;
  options_.ignoreError = s.ignoreError;
  options_.saveLog = s.saveLog;
  options_.skipUnchanged = s.skipUnchanged;
  options_.parallel = s.parallel;
  ShowOptions();
  state_.defaultFolder = s.defaultFolder;
}

void MainController::PlaceWindow(const WindowSettings& s) {
  if (!view_) return;
  WindowLayout layout;
  layout.geometry = {s.left, s.top, s.clientWidth, s.clientHeight};
  layout.sourceWidth = s.sourceWidth;
  layout.logHeight = s.logHeight;
  layout.columnWidths = s.columnWidths;
  const std::vector<ScreenRect> screens = view_->ScreenAreas();
  if (s.centred) {
    // Centred on the primary screen; where there is none, the position stays as read.
    if (!screens.empty()) {
      const ScreenRect& area = screens.front();
      layout.geometry.left = area.left + area.width / 2 - s.clientWidth / 2;
      layout.geometry.top = area.top + area.height / 2 - s.clientHeight / 2;
    }
  } else {
    layout.geometry = PlaceOnScreens(layout.geometry, screens);
  }
  view_->ApplyLayout(layout);
}

void MainController::SaveSettings() {
  WindowSettings s = loadedSettings_;
  // Batch mode shows no window, so nobody can have moved it: what was read goes back as it
  // was, whatever the placement made of it on a screen that is not the user's.
  if (view_ && !state_.run.batchMode) {
    const WindowLayout layout = view_->CurrentLayout();
    s.left = layout.geometry.left;
    s.top = layout.geometry.top;
    s.clientWidth = layout.geometry.width;
    s.clientHeight = layout.geometry.height;
    s.sourceWidth = layout.sourceWidth;
    s.logHeight = layout.logHeight;
    s.columnWidths = layout.columnWidths;
  }
  s.confirmOverWrite = options_.confirmOverWrite;
  s.butOldIsIgnore = options_.butOldIsIgnore;
  s.ignoreError = options_.ignoreError;
  s.saveLog = options_.saveLog;
  s.skipUnchanged = options_.skipUnchanged;
  s.parallel = options_.parallel;
  s.defaultFolder = state_.defaultFolder;
  s.networkRoot = state_.networkRoot;
  s.smb = servers_;
  if (!tolvane::SaveSettings(services_.fs, state_.settingsPath, s)) {
    const std::string message = SaveFailureMessage(state_.settingsPath, services_.fs.LastError());
    log_.AddLogLine(message);
    ReportFailedSave(message);
  }
}

void MainController::ReportFailedSave(const std::string& message) {
  // The error box, or standard error in batch mode, which then ends with 2.
  prompts_.ShowError(kAppTitle, message);
  batchExitCode_ = 2;
}

void MainController::ShowException(const std::string& message) {
  prompts_.ShowError(kAppTitle, message);
}

void MainController::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("不明なエラー");
  }
}

void MainController::AddNamedServers() {
  servers_ = ReadServerSettings(services_.fs, state_.settingsPath);
  if (!services_.setServers) return;
  shadowedServers_.clear();
  const std::vector<std::string> listed = RootNames();
  for (const std::string& name : servers_.servers) {
    if (HasServerName(listed, name)) shadowedServers_.push_back(name);
  }
  if (!shadowedServers_.empty()) {
    std::string names;
    for (const std::string& name : shadowedServers_) names += (names.empty() ? "" : ", ") + name;
    const std::string message = "ネットワークフォルダ " + state_.networkRoot +
                                " にも同じ名前のサーバーがあるため、そちらを使います: " + names;
    log_.AddLogLine(message);
    prompts_.ShowError(kAppTitle, message);
  }
  const ServerSettings routed = RoutedServers();
  services_.setServers(routed);
  for (const std::string& name : routed.servers) network_.AddServerNode("\\\\" + name);
}

ServerSettings MainController::RoutedServers() const {
  ServerSettings routed = servers_;
  std::erase_if(routed.servers,
                [this](const std::string& name) { return HasServerName(shadowedServers_, name); });
  return routed;
}

bool MainController::IsRoutedServer(const std::string& name) const {
  return HasServerName(RoutedServers().servers, name);
}

std::vector<std::string> MainController::RootNames() const {
  std::vector<std::string> names;
  if (const TreeNode* root = tree_.Root()) {
    for (int i = 0; i < root->ChildCount(); ++i) names.push_back(root->Child(i)->Text());
  }
  return names;
}

void MainController::ReportServerFailure(const std::string& reason) {
  log_.AddLogLine("サーバーに接続できません: " + reason);
}

}  // namespace tolvane
