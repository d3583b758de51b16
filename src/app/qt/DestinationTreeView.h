#pragma once

#include <QPoint>
#include <QTreeView>

#include "app/core/ViewRules.h"
#include "tree/DestinationTree.h"

namespace tolvane {

class DestinationTreeModel;

// The destination tree view: draws each node's state picture left of its icon and tells which
// node's state picture a press hit. Presses, left clicks and focus changes come out as signals
// for the main window's handlers. Every press is one press, the second of a double-click too;
// what it does is the answer to pressed. Space presses the current node's state picture, so that
// marks can be set from the keyboard.
class DestinationTreeView : public QTreeView {
  Q_OBJECT

 public:
  explicit DestinationTreeView(QWidget* parent = nullptr);

  // The node whose state picture lies at pos (viewport coordinates); null when pos is
  // elsewhere or the node shows no state picture.
  TreeNode* StatePictureNodeAt(const QPoint& pos) const;
  // The current (selected) node, or null.
  TreeNode* SelectedNode() const;

 signals:
  // A press (any button), the second press of a double-click, or Space on the current node:
  // hit is the node whose state picture it landed on (for Space, the current node), or null.
  // The handler sets action; left alone, the view takes every press as its own.
  void pressed(TreeNode* hit, TreePress press, TreePressAction* action);
  void treeClicked();
  void focusEntered();
  void focusLeft();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  DestinationTreeModel* TreeModel() const;
  TreePressAction Pressed(TreeNode* hit, TreePress press);

  // The view is handling a double-click as its own: a press it makes of it has been counted.
  bool inDoublePress_ = false;
};

}  // namespace tolvane
