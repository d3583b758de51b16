// The main window's destination tree: building, marks, and the commands on them.
#include <QLabel>
#include <QTreeView>

#include "app/Main.h"
#include "platform/qt/QtPlatform.h"

namespace tolvane {

void TfrmMain::BuildDestinationTree() {
  tree_.AddNode(nullptr, NodeRecord{"", "ネットワーク", "ネットワーク", false}, "ネットワーク",
                NodeIcon::Network, kStateNone);
}

void TfrmMain::FreeNodeRecords() { tree_.Clear(); }

void TfrmMain::UpdateMarkCount() {
  lblHaisinsakisu->setText(QString::number(tree_.CountMarkedNodes()) + QString::fromUtf8("箇所"));
}

void TfrmMain::mnuClearMarkClick() {
  for (int i = 0; i < tree_.NodeCount(); ++i) {
    TreeNode* node = tree_.NodeAt(i);
    if (IsMarkedState(node->StateImage())) tree_.SetStateImage(node, kStateUnmarked);
  }
  UpdateMarkCount();
  RefreshCommands();
}

void TfrmMain::mnuAllCollapseClick() {
  if (TreeNode* root = tree_.Root()) {
    for (int i = 0; i < root->ChildCount(); ++i) tree_.CollapseSubtree(root->Child(i));
  }
}

void TfrmMain::ShowDestination(TreeNode* node) {
  tree_.Select(node);
  if (!state_.run.batchMode) treFolder->setFocus();
}

}  // namespace tolvane
