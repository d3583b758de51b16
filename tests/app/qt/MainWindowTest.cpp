#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include "app/qt/DestinationTreeView.h"
#include "app/qt/WindowFixture.h"

namespace tolvane::test {
namespace {

using MainWindowTest = WindowFixture;

TEST_F(MainWindowTest, MenusAndButtonsReachTheirCommandsAndShowTheOptions) {
  TfrmMain& w = Start();
  MainController& c = w.Controller();
  EXPECT_EQ(w.windowTitle(), "Tolvane 1.05");
  EXPECT_EQ(w.mnuGo->text(), QString::fromUtf8("配布開始(&G)"));
  EXPECT_EQ(w.popFolder->actions().size(), 4);  // three items and a separator
  ASSERT_TRUE(c.ConfirmOverWrite());

  // A check-style item has flipped itself before the command runs: both end up in step.
  w.mnuConfirmOverWrite->trigger();
  EXPECT_FALSE(c.ConfirmOverWrite());
  EXPECT_FALSE(w.mnuConfirmOverWrite->isChecked());
  EXPECT_FALSE(w.tbtConfirmOverWrite->isChecked());
  EXPECT_FALSE(w.mnuWriteIfOld->isEnabled());
  EXPECT_FALSE(w.tbtWriteIfOld->isEnabled());
  w.tbtConfirmOverWrite->click();
  EXPECT_TRUE(c.ConfirmOverWrite());
  EXPECT_TRUE(w.mnuConfirmOverWrite->isChecked());
  w.tbtSkipUnchanged->click();
  EXPECT_TRUE(c.SkipUnchanged());
  EXPECT_TRUE(w.mnuSkipUnchanged->isChecked());

  // 同時に配布する数 is a sub-menu of 設定 with one radio choice checked, the one chosen last.
  ASSERT_NE(w.mnuParallel, nullptr);
  EXPECT_TRUE(w.mnuSetting->actions().contains(w.mnuParallel->menuAction()));
  const QList<QAction*> choices = w.mnuParallel->actions();
  ASSERT_EQ(choices.size(), 5);
  QStringList texts;
  for (QAction* a : choices) texts << a->text().remove('&');
  EXPECT_EQ(texts, QStringList({"1", "2", "4", "8", "16"}));
  ASSERT_NE(choices[0]->actionGroup(), nullptr);
  EXPECT_TRUE(choices[2]->isChecked());
  choices[3]->trigger();
  EXPECT_EQ(c.Parallel(), 8);
  choices[3]->trigger();  // the chosen one again stays chosen
  EXPECT_EQ(c.Parallel(), 8);
  for (int i = 0; i < choices.size(); ++i) EXPECT_EQ(choices[i]->isChecked(), i == 3) << i;

  // The preview is a box of its own, read-only, holding the text whole.
  std::string shown;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_TRUE(box);
    auto* text = box->findChild<QPlainTextEdit*>();
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->isReadOnly());
    shown = text->toPlainText().toStdString();
    box->close();
  });
  w.ShowPreview("配布内容の確認", "\\\\PC01\\share\n  新規: /src/a.txt\n");
  EXPECT_EQ(shown, "\\\\PC01\\share\n  新規: /src/a.txt\n");

  // A selection in the list reaches the controller's command states.
  c.Sources().Append({"/a", "", "1"});
  c.RefreshCommands();
  EXPECT_FALSE(w.mnuCancelFile2->isEnabled());
  w.lstFile->selectionModel()->select(w.lstFile->model()->index(0, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_TRUE(w.mnuCancelFile->isEnabled());
  EXPECT_TRUE(w.mnuCancelFile2->isEnabled());
  w.mnuCancelFile2->trigger();
  EXPECT_EQ(c.Sources().Count(), 0);

  // Tool buttons carry their captions, but never as access keys: Alt+G must not start a run.
  for (QToolButton* b :
       {w.tbtOpenFile, w.tbtGo, w.tbtRerunFailed, w.tbtPreview, w.tbtClearMark, w.tbtAllCollapse,
        w.tbtConfirmOverWrite, w.tbtWriteIfOld, w.tbtSkipUnchanged, w.tbtIgnoreError, w.tbtExit}) {
    EXPECT_TRUE(b->shortcut().isEmpty()) << b->toolTip().toStdString();
  }
}

TEST_F(MainWindowTest, TabGoesFromTheSourcesToTheTreeToTheLog) {
  TfrmMain& w = Start();
  w.show();
  QApplication::setActiveWindow(&w);
  w.lstFile->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), w.lstFile);
  for (QWidget* next : {static_cast<QWidget*>(w.treFolder), static_cast<QWidget*>(w.memStatus)}) {
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
}

TEST_F(MainWindowTest, AClickOnADestinationSelectsItsLineInTheMemo) {
  TfrmMain& w = Start();
  w.ClearMemo();
  w.AddMemoLine("ab");
  w.AddMemoLine("表示 \\\\SRV\\share -> 成功");
  w.SelectMemoText({1, 3, 11});
  EXPECT_EQ(w.memStatus->textCursor().selectionStart(), 3 + 3);  // "ab", its break, "表示 "
  EXPECT_EQ(w.memStatus->textCursor().selectedText(), QString("\\\\SRV\\share"));
}

TEST_F(MainWindowTest, APressOnAStatePictureReachesTheMarks) {
  TempDir net;
  net.MakeDir("PC01");
  UseNetwork(net);
  TfrmMain& w = Start();
  w.show();
  const QModelIndex root = w.treFolder->model()->index(0, 0);
  const QRect server = w.treFolder->visualRect(w.treFolder->model()->index(0, 0, root));
  ASSERT_TRUE(server.isValid());
  const QPoint onPicture(server.left() + 4, server.center().y());
  QMouseEvent press(QEvent::MouseButtonPress, onPicture,
                    w.treFolder->viewport()->mapToGlobal(onPicture), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(w.treFolder->viewport(), &press);
  EXPECT_EQ(w.lblHaisinsakisu->text(), QString::fromUtf8("1箇所"));
  EXPECT_TRUE(w.mnuClearMark2->isEnabled());
  // The press is the mark's alone, yet the node ends up selected all the same.
  EXPECT_EQ(w.treFolder->currentIndex(), w.treFolder->model()->index(0, 0, root));
}

TEST_F(MainWindowTest, AFailedRunShowsItsResultsAndSendsAgainToTheFailedDestination) {
  TempDir net, src;
  net.MakeDir("PC01");
  net.MakeDir("PC02");
  const std::string file = src.Write("a.txt", "A");
  UseNetwork(net);
  TfrmMain& w = Start();
  w.show();
  MainController& c = w.Controller();
  c.DropFiles({file});
  TreeNode* pc01 = c.Tree().Root()->Child(0);
  TreeNode* pc02 = c.Tree().Root()->Child(1);
  c.treFolderMouseDown(pc01);
  c.treFolderMouseDown(pc02);
  c.tbtIgnoreErrorClick(true);
  EXPECT_FALSE(w.tbtRerunFailed->isEnabled());
  EXPECT_FALSE(w.mnuShowResults->isEnabled());
  fs.FailOn(FsOp::CopyFile, "PC01");

  w.tbtGo->click();
  ASSERT_NE(w.dlgResults, nullptr);
  EXPECT_TRUE(w.dlgResults->isVisible());
  ASSERT_EQ(w.lstResults->rowCount(), 2);
  EXPECT_EQ(w.lstResults->item(0, 0)->text(), QString("\\\\PC01"));
  EXPECT_EQ(w.lstResults->item(1, 1)->text(), QString("1"));
  // The tree tells this run's failure apart, and the status bar speaks Japanese.
  const QModelIndex failed = w.treFolder->model()->index(0, 0, w.treFolder->model()->index(0, 0));
  EXPECT_TRUE(w.treFolder->model()->data(failed, Qt::FontRole).value<QFont>().bold());
  EXPECT_TRUE(w.lblProgress->text().startsWith(QString::fromUtf8("配布終了: 成功 1")));

  fs.ClearFaults();
  w.dlgResults->close();
  ASSERT_TRUE(w.tbtRerunFailed->isEnabled());
  w.tbtRerunFailed->click();
  EXPECT_EQ(net.Read("PC01/a.txt"), "A");
  EXPECT_EQ(w.lstResults->rowCount(), 1);
  EXPECT_FALSE(w.dlgResults->isVisible());  // nothing failed: kept, not brought up
  EXPECT_FALSE(w.tbtRerunFailed->isEnabled());
  w.mnuShowResults->trigger();
  EXPECT_TRUE(w.dlgResults->isVisible());

  // F5 lists the selected node again; the status bar follows the keyboard's selection.
  EXPECT_EQ(w.mnuRefresh->shortcut(), QKeySequence(Qt::Key_F5));
  EXPECT_TRUE(w.popFolder->actions().contains(w.mnuRefresh2));
  w.treFolder->selectionModel()->setCurrentIndex(
      w.treFolder->model()->index(1, 0, w.treFolder->model()->index(0, 0)),
      QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(w.stbMain->text(), QString("\\\\PC02"));
  net.MakeDir("PC03");
  w.treFolder->selectionModel()->setCurrentIndex(w.treFolder->model()->index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect);
  w.mnuRefresh->trigger();
  EXPECT_EQ(c.Tree().Root()->ChildCount(), 3);
  EXPECT_EQ(c.Tree().CountMarkedNodes(), 2);
}

TEST_F(MainWindowTest, AnEmptyNetworkFolderSaysWhatToDoAndAnotherCanBeChosen) {
  TempDir empty, net;
  net.MakeDir("PC01");
  UseNetwork(empty);
  TfrmMain& w = Start();
  EXPECT_TRUE(w.stbMain->text().contains(QString::fromUtf8("設定 > ネットワークフォルダ...")));
  ASSERT_NE(w.mnuNetworkRoot, nullptr);
  EXPECT_TRUE(w.mnuSetting->actions().contains(w.mnuNetworkRoot));
  dialogs.folderResults.push_back(net.Path());
  w.mnuNetworkRoot->trigger();
  EXPECT_EQ(networkRoot, net.Path());
  const QModelIndex root = w.treFolder->model()->index(0, 0);
  EXPECT_EQ(w.treFolder->model()->rowCount(root), 1);
  EXPECT_EQ(w.stbMain->text(), QString());
}

TEST_F(MainWindowTest, CloseDuringARunOnlyAsksTheRunToStop) {
  TfrmMain& w = Start();
  w.show();
  w.Controller().State().run.runInProgress = true;
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.Controller().State().run.stopRequested);
  w.Controller().State().run.runInProgress = false;
  w.mnuExit->trigger();
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace tolvane::test
