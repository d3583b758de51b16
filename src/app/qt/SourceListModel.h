#pragma once

#include <QAbstractTableModel>

#include "setup/SourceList.h"

namespace tolvane {

// Shows the source entries as the three columns of the list: path, date, size.
class SourceListModel : public QAbstractTableModel, private SourceListListener {
  Q_OBJECT

 public:
  explicit SourceListModel(SourceList& list, QObject* parent = nullptr);
  ~SourceListModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void BeginInsert(int first, int last) override;
  void EndInsert() override;
  void BeginRemove(int first, int last) override;
  void EndRemove() override;

  SourceList& list_;
};

}  // namespace tolvane
