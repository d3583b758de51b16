// The main window's destination tree: building, marks, and the commands and events on them.
#include <QLabel>
#include <QPlainTextEdit>

#include "app/DestinationTreeView.h"
#include "app/LogMemoSearch.h"
#include "app/Main.h"
#include "platform/qt/QtPlatform.h"
#include "tree/DestinationMarks.h"

namespace tolvane {

void TfrmMain::BuildDestinationTree() {
  network_.AddNetworkRoot();
  network_.ExpandRootAndSort();
}

void TfrmMain::FreeNodeRecords() { network_.FreeNodeRecords(); }

void TfrmMain::UpdateMarkCount() {
  lblHaisinsakisu->setText(ToQ(MarkCountCaption(tree_.CountMarkedNodes())));
}

void TfrmMain::mnuClearMarkClick() {
  ClearMarks(tree_);
  UpdateMarkCount();
  RefreshCommands();
}

void TfrmMain::mnuAllCollapseClick() { CollapseBelowRoot(tree_); }

void TfrmMain::treFolderExpanding(TreeNode* node, bool* allowExpansion) {
  *allowExpansion = network_.NodeExpanding(node);
}

void TfrmMain::treFolderMouseDown(const QPoint& pos, Qt::MouseButton) {
  if (!state_.startupComplete) return;
  std::string why;
  if (ToggleMark(tree_, treFolder->StatePictureNodeAt(pos), &why)) {
    UpdateMarkCount();
    RefreshCommands();
  } else if (!why.empty()) {
    stbMain->setText(ToQ(why));
  }
}

void TfrmMain::treFolderClick() {
  const TreeNode* node = treFolder->SelectedNode();
  stbMain->setText(ToQ(FolderStatusText(node)));
  if (node) ShowDestinationInLog(node->Record().folderPath);
}

void TfrmMain::treFolderEnter() {
  stbMain->setText(ToQ(FolderStatusText(treFolder->SelectedNode())));
}

void TfrmMain::treFolderExit() { stbMain->clear(); }

void TfrmMain::ShowDestinationInLog(const std::string& folderPath) {
  SelectFolderPathInMemo(*memStatus, folderPath);
}

void TfrmMain::ShowDestination(TreeNode* node) {
  tree_.Select(node);
  if (!state_.run.batchMode) treFolder->setFocus();
}

}  // namespace tolvane
