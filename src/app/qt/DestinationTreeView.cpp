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
  return node && !StatePicture(node->StateImage()).isNull() ? node : nullptr;
}

TreeNode* DestinationTreeView::SelectedNode() const {
  const DestinationTreeModel* treeModel = TreeModel();
  return treeModel ? treeModel->NodeFromIndex(currentIndex()) : nullptr;
}

void DestinationTreeView::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const Qt::MouseButton button = event->button();
  QTreeView::mousePressEvent(event);
  pressSent_ = true;
  emit mousePressed(pos, button);
}

void DestinationTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  // The second press on a box marks or unmarks again, as the first did; opening or closing the
  // node on top of that would move the rows under the user's pointer.
  const Qt::MouseButton button = event->button();
  pressSent_ = false;
  if (StatePictureNodeAt(pos)) {
    event->accept();
  } else {
    QTreeView::mouseDoubleClickEvent(event);  // may take it as a press of its own
  }
  if (!pressSent_) emit mousePressed(pos, button);
}

void DestinationTreeView::keyPressEvent(QKeyEvent* event) {
  const QModelIndex current = currentIndex();
  if (event->key() != Qt::Key_Space || event->modifiers() != Qt::NoModifier || !current.isValid()) {
    QTreeView::keyPressEvent(event);
    return;
  }
  event->accept();
  scrollTo(current);
  const QRect item = visualRect(current);
  emit mousePressed(QPoint(item.left() + kTreePictureSize / 2, item.center().y()), Qt::NoButton);
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
