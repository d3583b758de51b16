// What the controller tells the Qt main window to show, and what it asks of it.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/qt/DestinationTreeView.h"
#include "app/qt/Main.h"
#include "app/qt/Pictures.h"
#include "platform/qt/QtPlatform.h"

namespace tolvane {

void TfrmMain::AddMemoLine(const std::string& line) { memStatus->appendPlainText(ToQ(line)); }

void TfrmMain::ClearMemo() { memStatus->clear(); }

void TfrmMain::SetCaption(const std::string& caption) { setWindowTitle(ToQ(caption)); }

void TfrmMain::SetCommandEnabled(CommandId id, bool enabled) {
  for (QAction* a : actions_[id]) a->setEnabled(enabled);
  if (auto b = buttons_.find(id); b != buttons_.end()) b->second->setEnabled(enabled);
}

void TfrmMain::SetCommandChecked(CommandId id, bool checked) {
  for (QAction* a : actions_[id]) a->setChecked(checked);
  if (auto b = buttons_.find(id); b != buttons_.end()) b->second->setChecked(checked);
}

void TfrmMain::SetButtonPicture(CommandId id, int picture) {
  if (auto b = buttons_.find(id); b != buttons_.end()) b->second->setIcon(ToolbarPicture(picture));
}

void TfrmMain::SetSourcePaneEnabled(bool enabled) { pnlLeft->setEnabled(enabled); }

void TfrmMain::SetMarkCount(const std::string& text) { lblHaisinsakisu->setText(ToQ(text)); }

void TfrmMain::SetStatusText(const std::string& text) { stbMain->setText(ToQ(text)); }

void TfrmMain::SetProgressText(const std::string& text) {
  lblProgress->setText(ToQ(text));
  lblProgress->setToolTip(lblProgress->text());
}

std::vector<std::string> TfrmMain::MemoLines() const {
  std::vector<std::string> lines;
  const QTextDocument* document = memStatus->document();
  lines.reserve(static_cast<std::size_t>(document->blockCount()));
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    lines.push_back(FromQ(block.text()));
  }
  return lines;
}

void TfrmMain::SelectMemoText(const MemoSelection& selection) {
  const QTextBlock block = memStatus->document()->findBlockByNumber(selection.line);
  if (!block.isValid()) return;
  const int start = block.position() + selection.column;
  memStatus->setFocus();
  QTextCursor cursor(memStatus->document());
  cursor.setPosition(start);
  cursor.setPosition(start + selection.length, QTextCursor::KeepAnchor);
  memStatus->setTextCursor(cursor);
}

std::vector<int> TfrmMain::SelectedSourceRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : lstFile->selectionModel()->selectedRows())
    rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

TreeNode* TfrmMain::SelectedNode() const { return treFolder->SelectedNode(); }

void TfrmMain::FocusTree() { treFolder->setFocus(); }

int TfrmMain::MenuBarHeight() const { return menuBar()->sizeHint().height(); }

WindowLayout TfrmMain::CurrentLayout() const {
  WindowLayout layout;
  layout.geometry = {x(), y(), width(), height() - MenuBarHeight()};
  layout.sourceWidth = sourceWidth_;
  layout.logHeight = logHeight_;
  for (int i = 0; i < 3; ++i)
    layout.columnWidths[static_cast<std::size_t>(i)] = lstFile->columnWidth(i);
  return layout;
}

void TfrmMain::ApplyLayout(const WindowLayout& layout) {
  resize(layout.geometry.width, layout.geometry.height + MenuBarHeight());
  move(layout.geometry.left, layout.geometry.top);
  sourceWidth_ = layout.sourceWidth;
  logHeight_ = layout.logHeight;
  ApplyPaneSizes();
  for (int i = 0; i < 3; ++i)
    lstFile->setColumnWidth(i, layout.columnWidths[static_cast<std::size_t>(i)]);
}

std::vector<ScreenRect> TfrmMain::ScreenAreas() const {
  std::vector<ScreenRect> areas;
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary) {
    const QRect g = primary->availableGeometry();
    areas.push_back({g.x(), g.y(), g.width(), g.height()});
  }
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen == primary) continue;
    const QRect g = screen->availableGeometry();
    areas.push_back({g.x(), g.y(), g.width(), g.height()});
  }
  return areas;
}

void TfrmMain::AcceptDroppedFiles() { setAcceptDrops(true); }

void TfrmMain::CloseWindow() { close(); }

void TfrmMain::EndLoop(int exitCode) {
  // Posted for the window, so that it goes with the window: a loop started after the window is
  // gone (a dialog's) must not be ended by it.
  QTimer::singleShot(0, this, [exitCode] { QCoreApplication::exit(exitCode); });
}

void TfrmMain::ShowAbout() {
  if (aboutHandler_) aboutHandler_();
}

void TfrmMain::ShowResults(const ResultList& results, bool bringUp) {
  if (!dlgResults) {
    if (!bringUp) return;
    dlgResults = new QDialog(this);
    dlgResults->setObjectName("dlgResults");
    dlgResults->setWindowTitle(ToQ(kResultsTitle));
    dlgResults->resize(720, 300);
    auto* layout = new QVBoxLayout(dlgResults);
    lstResults = new QTableWidget(dlgResults);
    lstResults->setObjectName("lstResults");
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstResults->verticalHeader()->hide();
    lstResults->setWordWrap(false);
    lstResults->setColumnCount(static_cast<int>(ResultList::kColumns));
    QStringList headers;
    for (const std::string& h : ResultList::Headers()) headers << ToQ(h);
    lstResults->setHorizontalHeaderLabels(headers);
    lstResults->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(lstResults);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dlgResults);
    connect(buttons, &QDialogButtonBox::rejected, dlgResults, &QDialog::close);
    layout->addWidget(buttons);
  }
  lstResults->setRowCount(static_cast<int>(results.rows.size()));
  for (std::size_t r = 0; r < results.rows.size(); ++r) {
    for (std::size_t c = 0; c < ResultList::kColumns; ++c) {
      auto* item = new QTableWidgetItem(ToQ(results.rows[r][c]));
      // The counts line up on the right; a failed destination is red.
      if (c > 0 && c < ResultList::kColumns - 1) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      }
      if (results.failed[r]) item->setForeground(QColor(0xD0, 0x20, 0x20));
      lstResults->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
  }
  lstResults->resizeColumnsToContents();
  if (bringUp) {
    dlgResults->show();
    dlgResults->raise();
    dlgResults->activateWindow();
  }
}

void TfrmMain::ShowPreview(const std::string& title, const std::string& text) {
  QDialog box(this);
  box.setObjectName("dlgPreview");
  box.setWindowTitle(ToQ(title));
  auto* layout = new QVBoxLayout(&box);
  auto* lines = new QPlainTextEdit(&box);
  lines->setReadOnly(true);
  lines->setLineWrapMode(QPlainTextEdit::NoWrap);
  lines->setPlainText(ToQ(text));
  layout->addWidget(lines);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &box);
  connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  layout->addWidget(buttons);
  box.resize(640, 420);
  box.exec();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  bool allowed = false;
  controller_.Guarded([&] { allowed = controller_.FormCloseQuery(); });
  if (allowed) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace tolvane
