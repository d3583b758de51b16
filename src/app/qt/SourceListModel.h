#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class QTableView;

#include "setup/SourceList.h"

namespace tolvane {

// Shows the source entries as the three columns of the list: path, date, size.
class SourceListModel : public QAbstractTableModel, private SourceListListener {
  Q_OBJECT

 public:
  explicit SourceListModel(SourceList& list, QObject* parent = nullptr);
  ~SourceListModel() override;

  // Shows the model in view: paths lose their middle when they do not fit, so the file name
  // stays in sight, and the date and size columns widen to the texts added (never narrower than
  // they are: the widths of the settings stay as minimums).
  void AttachView(QTableView* view);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void BeginInsert(int first, int last) override;
  void EndInsert() override;
  void BeginRemove(int first, int last) override;
  void EndRemove() override;

  void FitColumns(int first, int last);

  SourceList& list_;
  QPointer<QTableView> view_;
};

}  // namespace tolvane
