#include "app/qt/SourceListModel.h"

#include <QTableView>
#include <array>

#include "app/core/ViewRules.h"

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
  std::array<int, kSourceColumnCount> widths{};
  for (int column = 0; column < kSourceColumnCount; ++column) {
    widths[column] = view_->columnWidth(column);
  }
  // The size hint holds the delegate's margins already.
  const auto fitted = FitSourceColumns(
      widths, first, last, list_.Count(),
      [this](int row, int column) { return view_->sizeHintForIndex(index(row, column)).width(); },
      0);
  for (int column = 0; column < kSourceColumnCount; ++column) {
    if (fitted[column] != widths[column]) view_->setColumnWidth(column, fitted[column]);
  }
}

int SourceListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.Count();
}

int SourceListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kSourceColumnCount;
}

QVariant SourceListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list_.Count()) return {};
  const SourceEntry& e = list_.At(index.row());
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    return QString::fromStdString(SourceColumnText(e, index.column()));
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
