#include "app/qt/SourceListModel.h"

#include <QTableView>
#include <algorithm>

namespace tolvane {

SourceListModel::SourceListModel(SourceList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
  list_.SetListener(this);
}

SourceListModel::~SourceListModel() { list_.SetListener(nullptr); }

void SourceListModel::AttachView(QTableView* view) {
  view_ = view;
  if (!view) return;
  view->setModel(this);
  view->setTextElideMode(Qt::ElideMiddle);
  connect(this, &QAbstractItemModel::rowsInserted, view,
          [this](const QModelIndex&, int first, int last) { FitColumns(first, last); });
}

void SourceListModel::FitColumns(int first, int last) {
  if (!view_) return;
  for (int column : {1, 2}) {
    int width = view_->columnWidth(column);
    for (int row = first; row <= last; ++row) {
      // One more for the grid line at the column's edge.
      width = std::max(width, view_->sizeHintForIndex(index(row, column)).width() + 1);
    }
    if (width != view_->columnWidth(column)) view_->setColumnWidth(column, width);
  }
}

int SourceListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.Count();
}

int SourceListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant SourceListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list_.Count()) return {};
  const SourceEntry& e = list_.At(index.row());
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    switch (index.column()) {
      case 0:
        return QString::fromStdString(e.path);
      case 1:
        return QString::fromStdString(e.dateText);
      case 2:
        return QString::fromStdString(e.sizeText);
    }
  }
  if (role == Qt::TextAlignmentRole) {
    switch (index.column()) {
      case 1:
        return int(Qt::AlignCenter);
      case 2:
        return int(Qt::AlignRight | Qt::AlignVCenter);
      default:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
  }
  return {};
}

QVariant SourceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) {
    static const char* const kHeadings[] = {"配布ファイル名", "更新日", "サイズ"};
    if (section >= 0 && section < 3) return QString::fromUtf8(kHeadings[section]);
  }
  if (role == Qt::TextAlignmentRole) {
    return section == 1   ? int(Qt::AlignCenter)
           : section == 2 ? int(Qt::AlignRight | Qt::AlignVCenter)
                          : int(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}

void SourceListModel::BeginInsert(int first, int last) { beginInsertRows({}, first, last); }
void SourceListModel::EndInsert() { endInsertRows(); }
void SourceListModel::BeginRemove(int first, int last) { beginRemoveRows({}, first, last); }
void SourceListModel::EndRemove() { endRemoveRows(); }

}  // namespace tolvane
