// The main window's commands and the events of its source list and destination tree.
#include "app/core/MainController.h"
#include "app/core/RunTexts.h"
#include "app/core/ViewRules.h"
#include "common/AppInfo.h"
#include "platform/FileSystem.h"
#include "platform/LogViewer.h"
#include "tree/DestinationMarks.h"

namespace tolvane {

void MainController::Execute(CommandId id) {
  switch (id) {
    case CommandId::AddFile:
      return mnuAddFileClick();
    case CommandId::AddFolder:
      return mnuAddFolder2Click();
    case CommandId::CancelFile:
      return mnuCancelFileClick();
    case CommandId::CancelAllFile:
      return mnuCancelAllFileClick();
    case CommandId::Go:
      return mnuGoClick();
    case CommandId::OpenList:
      return mnuOpenListClick();
    case CommandId::SaveList:
      return mnuSaveListClick();
    case CommandId::SaveAsList:
      return mnuSaveAsListClick();
    case CommandId::SaveLog:
      return mnuSaveLogClick();
    case CommandId::ClearLog:
      return mnuClearLogClick();
    case CommandId::RefLog:
      return mnuRefLogClick();
    case CommandId::Exit:
      return mnuExitClick();
    case CommandId::ClearMark:
      return mnuClearMarkClick();
    case CommandId::AllCollapse:
      return mnuAllCollapseClick();
    case CommandId::ConfirmOverWrite:
      return mnuConfirmOverWriteClick();
    case CommandId::WriteIfOld:
      return mnuWriteIfOldClick();
    case CommandId::IgnoreError:
      return mnuIgnoreErrorClick();
    case CommandId::About:
      return mnuAboutClick();
    case CommandId::AddServer:
      return mnuAddServerClick();
    case CommandId::RemoveServer:
      return mnuRemoveServerClick();
    case CommandId::ShowResults:
      return mnuShowResultsClick();
    case CommandId::RerunFailed:
      return mnuRerunFailedClick();
    case CommandId::Refresh:
      return mnuRefreshClick();
    case CommandId::NetworkRoot:
      return mnuNetworkRootClick();
    case CommandId::SkipUnchanged:
      return mnuSkipUnchangedClick();
    case CommandId::Preview:
      return mnuPreviewClick();
    case CommandId::Parallel1:
    case CommandId::Parallel2:
    case CommandId::Parallel4:
    case CommandId::Parallel8:
    case CommandId::Parallel16:
      for (const ParallelChoice& choice : ParallelChoices()) {
        if (choice.id == id) mnuParallelClick(choice.count);
      }
      return;
    case CommandId::None:
      return;
  }
}

void MainController::ToolButtonClicked(CommandId id, bool down) {
  switch (id) {
    case CommandId::ConfirmOverWrite:
      return tbtConfirmOverWriteClick(down);
    case CommandId::WriteIfOld:
      return tbtWriteIfOldClick(down);
    case CommandId::IgnoreError:
      return tbtIgnoreErrorClick(down);
    case CommandId::SkipUnchanged:
      return tbtSkipUnchangedClick(down);
    default:
      return Execute(id);
  }
}

// Every command that changes the sources refreshes the commands afterwards, so that their
// states always follow the list (the Delete key and the folder picker included).

void MainController::mnuAddFileClick() {
  if (state_.run.runInProgress) return;
  if (entries_.AddFilesCommand(services_.dialogs, state_.defaultFolder)) RefreshCommands();
}

void MainController::mnuAddFolder2Click() {
  if (state_.run.runInProgress) return;
  if (entries_.AddFolderCommand(services_.dialogs, startup_.currentDir)) RefreshCommands();
}

void MainController::DropFiles(const std::vector<std::string>& paths) {
  if (state_.run.runInProgress) return;  // the sources stay as they are until the run ends
  entries_.AddDroppedFiles(paths);
  RefreshCommands();
}

void MainController::mnuCancelFileClick() {
  if (state_.run.runInProgress || !view_) return;
  entries_.RemoveSelected(view_->SelectedSourceRows());
  RefreshCommands();
}

void MainController::mnuCancelAllFileClick() {
  if (state_.run.runInProgress) return;
  entries_.RemoveAll();
  RefreshCommands();
}

void MainController::lstFileKeyDown(int key) {
  if (key != kDeleteKey) return;
  mnuCancelFileClick();
}

void MainController::lstFileDblClick() { mnuAddFileClick(); }

void MainController::lstFileSelectItem() { RefreshCommands(); }

void MainController::mnuOpenListClick() {
  if (state_.run.runInProgress) return;  // the list would be replaced under the run
  listCommands_.OpenList(state_.listPath);
}

void MainController::mnuSaveListClick() {
  listCommands_.SaveList(state_.listPath, state_.exeFolder + kDefaultListFileName);
}

void MainController::mnuSaveAsListClick() { listCommands_.SaveAsList(state_.listPath); }

void MainController::mnuExitClick() {
  if (view_) view_->CloseWindow();
}

void MainController::mnuAboutClick() {
  if (view_) view_->ShowAbout();
}

void MainController::mnuConfirmOverWriteClick() { tbtConfirmOverWriteClick(!ConfirmOverWrite()); }

void MainController::tbtConfirmOverWriteClick(bool down) {
  // Turning it off leaves the old-file option as it is: it only matters while this is on.
  options_.confirmOverWrite = down;
  ShowOptions();
}

void MainController::mnuWriteIfOldClick() { tbtWriteIfOldClick(!ButOldIsIgnore()); }

void MainController::tbtWriteIfOldClick(bool down) {
  options_.butOldIsIgnore = down;
  ShowOptions();
}

void MainController::mnuIgnoreErrorClick() { tbtIgnoreErrorClick(!IgnoreError()); }

void MainController::tbtIgnoreErrorClick(bool down) {
  options_.ignoreError = down;
  ShowOptions();
}

void MainController::mnuSkipUnchangedClick() { tbtSkipUnchangedClick(!SkipUnchanged()); }

void MainController::tbtSkipUnchangedClick(bool down) {
  options_.skipUnchanged = down;
  ShowOptions();
}

void MainController::mnuParallelClick(int count) {
  options_.parallel = count;
  ShowOptions();
}

void MainController::mnuSaveLogClick() {
  options_.saveLog = !options_.saveLog;
  ShowOptions();
}

void MainController::mnuClearLogClick() {
  // A run holds the file open; the next line makes it anew.
  log_.ReleaseFile();
  services_.fs.DeleteFile(state_.logPath);
  RefreshCommands();
}

void MainController::mnuRefLogClick() {
  if (!services_.fs.Exists(state_.logPath)) {
    RefreshCommands();
    return;
  }
  if (!services_.logViewer.Open(state_.logPath)) {
    prompts_.ShowMessage(
        kAppTitle, "テキストファイルに関連づけられたアプリケーションを取得できませんでした。");
  }
}

void MainController::UpdateMarkCount() {
  if (view_) view_->SetMarkCount(MarkCountCaption(tree_.CountMarkedNodes()));
}

void MainController::mnuClearMarkClick() {
  ClearMarks(tree_);
  UpdateMarkCount();
  RefreshCommands();
}

void MainController::mnuAllCollapseClick() { CollapseBelowRoot(tree_); }

bool MainController::treFolderExpanding(TreeNode* node) {
  // Expanding a server's node by hand tries it again at once, and asks for its logon again.
  if (node && state_.startupComplete && !node->Record().folderPath.empty()) {
    services_.fs.ForgetFailures(node->Record().folderPath);
  }
  return network_.NodeExpanding(node);
}

TreePressAction MainController::treFolderPress(TreeNode* hit, TreePress press) {
  const TreePressAction action = DestinationTreePress(hit, press);
  if (action.toggleMark) treFolderMouseDown(hit);
  return action;
}

void MainController::treFolderMouseDown(TreeNode* statePictureNode) {
  if (!state_.startupComplete) return;
  std::string why;
  const bool toggled = ToggleMark(tree_, statePictureNode, &why);
  if (toggled) {
    UpdateMarkCount();
    RefreshCommands();
  }
  if (statePictureNode) {
    // A press on the state picture is a press on the node: it is selected and shown too.
    tree_.Select(statePictureNode);
    ShowFolder(statePictureNode);
  }
  if (!toggled && !why.empty() && view_) {
    // A mark the list file could not give back: refused, and the status bar says why.
    view_->SetStatusText(why);
  }
}

void MainController::treFolderClick() {
  if (view_) ShowFolder(view_->SelectedNode());
}

void MainController::ShowFolder(const TreeNode* node) {
  if (!view_) return;
  ShowFolderStatus(node);
  if (!node) return;
  if (const auto selection = FindFolderPathInMemo(view_->MemoLines(), node->Record().folderPath)) {
    view_->SelectMemoText(*selection);
  }
}

void MainController::treFolderEnter() {
  if (view_) ShowFolderStatus(view_->SelectedNode());
}

void MainController::treFolderChange() {
  if (view_) ShowFolderStatus(view_->SelectedNode());
}

void MainController::ShowFolderStatus(const TreeNode* node) {
  if (!view_) return;
  std::string text = FolderStatusText(node);
  // Nothing to choose from at all: the status bar says what to do.
  if (text.empty() && (!tree_.Root() || tree_.Root()->ChildCount() == 0)) {
    text = EmptyNetworkHint(state_.networkRoot);
  }
  view_->SetStatusText(ElideMiddle(text, kStatusPathLength * 2));
}

void MainController::mnuRefreshClick() {
  if (state_.run.runInProgress || !state_.startupComplete || !tree_.Root()) return;
  TreeNode* node = view_ ? view_->SelectedNode() : nullptr;
  if (!node) node = tree_.Root();
  KeepLostMarks(network_.Refresh(node));
  if (node == tree_.Root()) {
    // The named servers are the program's, not the network folder's: they come back too.
    for (const std::string& name : RoutedServers().servers) {
      if (!HasServerName(RootNames(), name)) network_.AddServerNode("\\\\" + name);
    }
  }
  // Unless the node could not be listed: that would only ask the absent server again.
  if (!NetworkTree::HasDummyChild(node)) RestoreUnrestoredBelow(node);
  UpdateMarkCount();
  RefreshCommands();
  ShowFolderStatus(view_ ? view_->SelectedNode() : nullptr);
}

void MainController::mnuNetworkRootClick() {
  if (state_.run.runInProgress || !state_.startupComplete) return;
  const auto chosen =
      services_.dialogs.ChooseFolder("ネットワークフォルダを選んでください", state_.networkRoot);
  if (!chosen || chosen->empty()) return;
  state_.networkRoot = *chosen;
  services_.setNetworkRoot(state_.networkRoot);
  // The whole tree comes from the new folder; the marks go back where their nodes are.
  const std::vector<NetworkTree::Mark> marks = NetworkTree::MarksBelow(tree_.Root(), true);
  network_.FreeNodeRecords();
  network_.AddNetworkRoot();
  for (const std::string& name : RoutedServers().servers) {
    if (!HasServerName(RootNames(), name)) network_.AddServerNode("\\\\" + name);
  }
  network_.ExpandRootAndSort();
  KeepLostMarks(network_.RestoreMarks(marks));
  RestoreUnrestoredBelow(tree_.Root());
  UpdateMarkCount();
  RefreshCommands();
  ShowFolderStatus(nullptr);
}

void MainController::KeepLostMarks(const std::vector<NetworkTree::Mark>& lost) {
  for (const NetworkTree::Mark& mark : lost) {
    // As a list's destination that is not found: the next run fails it, a save keeps it.
    log_.AddLogLine("ノードを再現できませんでした。(" +
                    LogName(mark.folderPath.empty() ? mark.nodePath : mark.folderPath));
    tree_.AddUnrestored({mark.folderPath, mark.nodePath});
  }
}

void MainController::RestoreUnrestoredBelow(const TreeNode* node) {
  if (!node || tree_.Unrestored().empty()) return;
  const std::string below = node->Record().nodePath + '\t';
  std::vector<NetworkTree::Mark> found;
  std::vector<UnrestoredDestination> others;
  for (const UnrestoredDestination& d : tree_.Unrestored()) {
    if (d.nodePath.rfind(below, 0) == 0) {
      found.push_back({d.folderPath, d.nodePath, kStateMarked, false});
    } else {
      others.push_back(d);
    }
  }
  if (found.empty()) return;
  tree_.ClearUnrestored();
  for (UnrestoredDestination& d : others) tree_.AddUnrestored(std::move(d));
  for (const NetworkTree::Mark& mark : network_.RestoreMarks(found)) {
    tree_.AddUnrestored({mark.folderPath, mark.nodePath});
  }
}

void MainController::treFolderExit() {
  // Empty, unless it says what to do about a network folder without servers.
  ShowFolderStatus(nullptr);
}

}  // namespace tolvane

namespace tolvane {
namespace {

constexpr char kAddServerTitle[] = "サーバーを追加";
constexpr char kAddServerLabel[] = "SMB サーバーの名前またはアドレス:";

int CountMarkedBelow(const TreeNode* node) {
  int count = IsMarkedState(node->StateImage()) ? 1 : 0;
  for (int i = 0; i < node->ChildCount(); ++i) count += CountMarkedBelow(node->Child(i));
  return count;
}

// What the user typed, without blanks at either end or the "\\\\" of a network path.
std::string ServerNameTyped(std::string text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  while (!text.empty() && text.front() == '\\') text.erase(0, 1);
  while (!text.empty() && text.back() == '\\') text.pop_back();
  return text;
}

}  // namespace

void MainController::mnuAddServerClick() {
  if (state_.run.runInProgress || !services_.setServers || !tree_.Root()) return;
  const auto typed = services_.dialogs.AskText(kAddServerTitle, kAddServerLabel);
  if (!typed) return;
  const std::string name = ServerNameTyped(*typed);
  if (const std::string problem = ServerNameProblem(name); !problem.empty()) {
    prompts_.ShowMessage(kAppTitle, problem);
    return;
  }
  if (HasServerName(RootNames(), name)) {
    prompts_.ShowMessage(kAppTitle, "サーバー " + name + " はもうあります");
    return;
  }
  servers_.servers.push_back(name);
  services_.setServers(RoutedServers());
  if (TreeNode* node = network_.AddServerNode("\\\\" + name)) {
    tree_.Select(node);
    ShowFolderStatus(node);
  }
  RefreshCommands();
}

void MainController::mnuRemoveServerClick() {
  if (state_.run.runInProgress || !services_.setServers) return;
  TreeNode* node = view_ ? view_->SelectedNode() : nullptr;
  if (!node || node->Parent() != tree_.Root() || !IsRoutedServer(node->Text())) {
    prompts_.ShowMessage(kAppTitle, "削除するサーバーを配布先のツリーで選んでください");
    return;
  }
  const std::string name = node->Text();
  if (const int marked = CountMarkedBelow(node); marked > 0) {
    const std::string question = "サーバー " + name + " の配布先 " + std::to_string(marked) +
                                 " 件のマークも消えます。サーバーを削除しますか?";
    if (prompts_.AskYesNo(kAppTitle, question) != PromptAnswer::Yes) return;
  }
  std::erase_if(servers_.servers, [&](const std::string& s) { return SameServerName(s, name); });
  services_.setServers(RoutedServers());
  tree_.RemoveNode(node);
  UpdateMarkCount();
  RefreshCommands();
  // The path of the server that went is no longer shown.
  ShowFolderStatus(view_ ? view_->SelectedNode() : nullptr);
}

}  // namespace tolvane
