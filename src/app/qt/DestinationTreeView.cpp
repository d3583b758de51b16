#include "app/qt/DestinationTreeView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/qt/DestinationTreeModel.h"
#include "app/qt/TreePictures.h"

namespace tolvane {

namespace {

// Room kept left of the icon for the state picture.
constexpr int kStateWidth = kTreePictureSize + 2;

QRect StateRect(const QRect& item) {
  return QRect(item.left(), item.top() + (item.height() - kTreePictureSize) / 2, kTreePictureSize,
               kTreePictureSize);
}

class StatePictureDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QPixmap picture = StatePicture(index.data(DestinationTreeModel::kStateImageRole).toInt());
    if (!picture.isNull()) painter->drawPixmap(StateRect(option.rect), picture);
    QStyleOptionViewItem rest(option);
    rest.rect.setLeft(option.rect.left() + kStateWidth);
    QStyledItemDelegate::paint(painter, rest, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += kStateWidth;
    size.setHeight(std::max(size.height(), kTreePictureSize + 2));
    return size;
  }
};

}  // namespace

DestinationTreeView::DestinationTreeView(QWidget* parent) : QTreeView(parent) {
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setAnimated(false);
  setIconSize(QSize(kTreePictureSize, kTreePictureSize));
  setItemDelegate(new StatePictureDelegate(this));
}

DestinationTreeModel* DestinationTreeView::TreeModel() const {
  return qobject_cast<DestinationTreeModel*>(model());
}

TreeNode* DestinationTreeView::StatePictureNodeAt(const QPoint& pos) const {
  const DestinationTreeModel* treeModel = TreeModel();
  const QModelIndex index = indexAt(pos);
  if (!treeModel || !index.isValid()) return nullptr;
  const QRect item = visualRect(index);
  if (pos.x() < item.left() || pos.x() >= item.left() + kStateWidth) return nullptr;
  TreeNode* node = treeModel->NodeFromIndex(index);
  return node && ShowsStatePicture(*node) ? node : nullptr;
}

TreeNode* DestinationTreeView::SelectedNode() const {
  const DestinationTreeModel* treeModel = TreeModel();
  return treeModel ? treeModel->NodeFromIndex(currentIndex()) : nullptr;
}

TreePressAction DestinationTreeView::Pressed(TreeNode* hit, TreePress press) {
  TreePressAction action;
  emit pressed(hit, press, &action);
  return action;
}

void DestinationTreeView::mousePressEvent(QMouseEvent* event) {
  if (inDoublePress_ ||
      Pressed(StatePictureNodeAt(event->position().toPoint()), TreePress::Press).controlHandles) {
    QTreeView::mousePressEvent(event);
  }
}

void DestinationTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  const TreePressAction action =
      Pressed(StatePictureNodeAt(event->position().toPoint()), TreePress::DoublePress);
  if (!action.controlHandles) {
    event->accept();
    return;
  }
  inDoublePress_ = true;
  QTreeView::mouseDoubleClickEvent(event);  // may take it as a press of its own
  inDoublePress_ = false;
}

void DestinationTreeView::keyPressEvent(QKeyEvent* event) {
  const QModelIndex current = currentIndex();
  const DestinationTreeModel* treeModel = TreeModel();
  if (event->key() != Qt::Key_Space || event->modifiers() != Qt::NoModifier || !current.isValid() ||
      !treeModel) {
    QTreeView::keyPressEvent(event);
    return;
  }
  scrollTo(current);
  if (Pressed(treeModel->NodeFromIndex(current), TreePress::SpaceKey).controlHandles) {
    QTreeView::keyPressEvent(event);
  } else {
    event->accept();
  }
}

void DestinationTreeView::mouseReleaseEvent(QMouseEvent* event) {
  const bool left = event->button() == Qt::LeftButton;
  QTreeView::mouseReleaseEvent(event);
  if (left) emit treeClicked();
}

void DestinationTreeView::focusInEvent(QFocusEvent* event) {
  QTreeView::focusInEvent(event);
  emit focusEntered();
}

void DestinationTreeView::focusOutEvent(QFocusEvent* event) {
  QTreeView::focusOutEvent(event);
  emit focusLeft();
}

}  // namespace tolvane
