#include <gtest/gtest.h>

#include <QTableView>

#include "app/qt/SourceListModel.h"

namespace tolvane {
namespace {

TEST(SourceListModelTest, DateAndSizeColumnsWidenToTheirTextAndNeverNarrow) {
  SourceList list;
  SourceListModel model(list);
  QTableView view;
  model.AttachView(&view);
  view.setColumnWidth(1, 70);
  view.setColumnWidth(2, 300);  // wider than any size: a width the user chose stays

  // The text with the delegate's margins.
  const auto needed = [&](int row, int column) {
    return view.sizeHintForIndex(model.index(row, column)).width();
  };
  list.Append({"/srv/deploy/tools/setup.exe", "12/08 05:32", "Folder"});
  list.Append({"/srv/deploy/tools/image.iso", "12/08", "12,345,678,901"});
  EXPECT_GT(view.columnWidth(1), needed(0, 1));
  EXPECT_EQ(view.columnWidth(2), 300);
  view.setColumnWidth(2, 80);
  list.Append({"/x", "", "12,345,678,901"});
  EXPECT_GT(view.columnWidth(2), needed(2, 2));
  // A long path keeps its file name in sight.
  EXPECT_EQ(view.textElideMode(), Qt::ElideMiddle);
}

}  // namespace
}  // namespace tolvane
