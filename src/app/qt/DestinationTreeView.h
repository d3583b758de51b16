#pragma once

#include <QPoint>
#include <QTreeView>

#include "tree/DestinationTree.h"

namespace tolvane {

class DestinationTreeModel;

// The destination tree view: draws each node's state picture left of its icon and tells which
// node's state picture a press hit. Mouse presses, left clicks and focus changes come out as
// signals for the main window's handlers. Every press is one press, the second of a double-click
// too, and a double-click on a state picture does not open the node. Space presses the current
// node's state picture, so that marks can be set from the keyboard.
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
  void mousePressed(QPoint pos, Qt::MouseButton button);
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

  bool pressSent_ = false;  // mousePressed went out for the event being handled
};

}  // namespace tolvane
