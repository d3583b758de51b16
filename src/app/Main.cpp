#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/DestinationTreeModel.h"
#include "app/DestinationTreeView.h"
#include "app/Fonts.h"
#include "app/Pictures.h"
#include "app/SourceListModel.h"
#include "common/AppInfo.h"
#include "platform/Prompts.h"
#include "platform/qt/QtPlatform.h"

namespace tolvane {

// How many lines the window's memo keeps; older ones scroll away.
constexpr int kMemoLineLimit = 10000;
namespace {

QAction* AddItem(QMenu* menu, const char* caption, int picture = -1) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  if (picture >= 0) action->setIcon(ToolbarPicture(picture));
  return action;
}

QWidget* Panel(QWidget* parent, QFrame::Shadow shadow = QFrame::Plain) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(shadow == QFrame::Plain ? QFrame::NoFrame : QFrame::Panel);
  frame->setFrameShadow(shadow);
  return frame;
}

}  // namespace

TfrmMain::TfrmMain(MainServices services, StartupInfo startup, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      startup_(std::move(startup)),
      log_(services_.fs, *this),
      listCommands_(
          listFile_, services_.fs, services_.dialogs, services_.prompts,
          ListCommandHooks{[this] { mnuClearMarkClick(); }, [this] { mnuAllCollapseClick(); },
                           [this] { entries_.RemoveAll(); }, [this] { UpdateMarkCount(); },
                           [this] { RefreshCommands(); }}) {
  state_.exeFolder = startup_.exeFolder;
  state_.logFolder = startup_.logFolder;
  log_.SetSaveToFileSource([this] { return SaveLog(); });
  setFont(DesignFont(QString::fromUtf8("ＭＳ Ｐゴシック"), 12));
  setWindowIcon(ApplicationIcon());
  CreateMenus();
  CreateToolBar();
  CreateComponents();
  ApplyOptionButtons();
  setAcceptDrops(true);
  resize(729, 507 + menuBar()->sizeHint().height() + ToolBar->height() + 21);

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, Slot(&TfrmMain::Timer1Timer));
  Timer1->start();
}

TfrmMain::~TfrmMain() {
  // The views go before the tree and the list they show.
  treFolder->setModel(nullptr);
  treeModel_.reset();
  lstFile->setModel(nullptr);
  sourceModel_.reset();
}

void TfrmMain::CreateMenus() {
  mnuFile = menuBar()->addMenu(QString::fromUtf8("ファイル(&F)"));
  mnuAddFile = AddItem(mnuFile, "配布ファイルを追加(&A)", 0);
  mnuAddFolder = AddItem(mnuFile, "配布元フォルダを追加(&F)");
  mnuFile->addSeparator();  // N3
  mnuCancelFile = AddItem(mnuFile, "配布ファイルを取消(&D)");
  mnuCancelAllFile = AddItem(mnuFile, "配布ファイルを全て取消(&C)");
  mnuFile->addSeparator();  // N1
  mnuGo = AddItem(mnuFile, "配布開始(&G)", 1);
  mnuFile->addSeparator();  // N2
  mnuOpenList = AddItem(mnuFile, "配布情報を開く(&O)");
  mnuSaveList = AddItem(mnuFile, "配布情報を上書保存(&O)");
  mnuSaveAsList = AddItem(mnuFile, "配布情報に名前を付けて保存(&S)");
  mnuFile->addSeparator();  // N5
  mnuSaveLog = AddItem(mnuFile, "ログに保存(&W)");
  mnuClearLog = AddItem(mnuFile, "ログ消去(&I)");
  mnuRefLog = AddItem(mnuFile, "ログ参照(&L)");
  mnuFile->addSeparator();  // N4
  mnuExit = AddItem(mnuFile, "終了(&X)", 5);

  mnuDestination = menuBar()->addMenu(QString::fromUtf8("配布先(&D)"));
  mnuClearMark = AddItem(mnuDestination, "全取消(&C)", 6);
  mnuDestination->addSeparator();  // N8
  mnuAllCollapse = AddItem(mnuDestination, "全ノードを縮小(&M)", 7);

  mnuSetting = menuBar()->addMenu(QString::fromUtf8("設定(&S)"));
  mnuConfirmOverWrite = AddItem(mnuSetting, "上書前に確認(&O)", 8);
  mnuWriteIfOld = AddItem(mnuSetting, "古いファイルは確認しない(&C)", 11);
  mnuSetting->addSeparator();  // N7
  mnuIgnoreError = AddItem(mnuSetting, "配布エラーを無視して続行(&I)", 12);

  mnuHelp = menuBar()->addMenu(QString::fromUtf8("ヘルプ(&H)"));
  mnuAbout = AddItem(mnuHelp, "Tolvaneについて(&A)");

  for (QAction* a : {mnuConfirmOverWrite, mnuWriteIfOld, mnuIgnoreError, mnuSaveLog}) {
    a->setCheckable(true);
  }
  // As designed: only saving the log starts checked; the settings decide the rest.
  mnuSaveLog->setChecked(true);

  popFile = new QMenu(this);
  mnuAddFile2 = AddItem(popFile, "ファイル追加(&A)", 0);
  mnuAddFolder2 = AddItem(popFile, "フォルダ追加(&F)");
  popFile->addSeparator();  // N6
  mnuCancelFile2 = AddItem(popFile, "取消(&D)");
  mnuCancelAllFile2 = AddItem(popFile, "全て取消(&C)");

  popFolder = new QMenu(this);
  mnuClearMark2 = AddItem(popFolder, "全取消(&C)", 6);
  popFolder->addSeparator();  // N10
  mnuAllCollapse2 = AddItem(popFolder, "全ノードを縮小(&M)", 7);

  const auto bind = [this](QAction* action, void (TfrmMain::*handler)()) {
    connect(action, &QAction::triggered, this, Slot(handler));
  };
  bind(mnuAddFile, &TfrmMain::mnuAddFileClick);
  bind(mnuAddFile2, &TfrmMain::mnuAddFileClick);
  bind(mnuAddFolder, &TfrmMain::mnuAddFolder2Click);
  bind(mnuAddFolder2, &TfrmMain::mnuAddFolder2Click);
  bind(mnuCancelFile, &TfrmMain::mnuCancelFileClick);
  bind(mnuCancelFile2, &TfrmMain::mnuCancelFileClick);
  bind(mnuCancelAllFile, &TfrmMain::mnuCancelAllFileClick);
  bind(mnuCancelAllFile2, &TfrmMain::mnuCancelAllFileClick);
  bind(mnuGo, &TfrmMain::mnuGoClick);
  bind(mnuOpenList, &TfrmMain::mnuOpenListClick);
  bind(mnuSaveList, &TfrmMain::mnuSaveListClick);
  bind(mnuSaveAsList, &TfrmMain::mnuSaveAsListClick);
  bind(mnuClearLog, &TfrmMain::mnuClearLogClick);
  bind(mnuRefLog, &TfrmMain::mnuRefLogClick);
  bind(mnuExit, &TfrmMain::mnuExitClick);
  bind(mnuClearMark, &TfrmMain::mnuClearMarkClick);
  bind(mnuClearMark2, &TfrmMain::mnuClearMarkClick);
  bind(mnuAllCollapse, &TfrmMain::mnuAllCollapseClick);
  bind(mnuAllCollapse2, &TfrmMain::mnuAllCollapseClick);
  bind(mnuAbout, &TfrmMain::mnuAboutClick);
  // Checkable items flip their own check mark when triggered; the handlers flip it themselves,
  // so they are bound to the click before Qt's toggle is kept.
  const auto bindToggle = [this](QAction* action, void (TfrmMain::*handler)()) {
    connect(action, &QAction::triggered, this, [this, action, handler] {
      action->setChecked(!action->isChecked());  // undo Qt's own flip
      Guarded([=, this] { (this->*handler)(); });
    });
  };
  bindToggle(mnuConfirmOverWrite, &TfrmMain::mnuConfirmOverWriteClick);
  bindToggle(mnuWriteIfOld, &TfrmMain::mnuWriteIfOldClick);
  bindToggle(mnuIgnoreError, &TfrmMain::mnuIgnoreErrorClick);
  bindToggle(mnuSaveLog, &TfrmMain::mnuSaveLogClick);
}

void TfrmMain::CreateToolBar() {
  ToolBar = addToolBar(QStringLiteral("ToolBar"));
  ToolBar->setObjectName("ToolBar");
  ToolBar->setMovable(false);
  ToolBar->setFixedHeight(28);
  ToolBar->setIconSize(QSize(16, 16));
  ToolBar->setContentsMargins(10, 0, 0, 0);
  const auto button = [this](const char* caption, const char* hint, int picture, bool check) {
    auto* b = new QToolButton(ToolBar);
    b->setText(QString::fromUtf8(caption));  // carried, not shown
    b->setToolTip(QString::fromUtf8(hint));
    b->setIcon(ToolbarPicture(picture));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setCheckable(check);
    b->setAutoRaise(true);
    ToolBar->addWidget(b);
    return b;
  };
  tbtOpenFile = button("配布ファイルを追加", "配布ファイルを追加", 0, false);
  ToolBar->addSeparator();  // ToolButton1
  tbtGo = button("配布開始(&G)", "配布開始", 1, false);
  ToolBar->addSeparator();  // ToolButton3
  tbtClearMark = button("配布先全取消", "配布先全取消", 6, false);
  tbtAllCollapse = button("全ノードを縮小", "全ノードを縮小", 7, false);
  ToolBar->addSeparator();  // ToolButton6
  tbtConfirmOverWrite = button("上書前に確認", "上書前に確認", 8, true);
  tbtWriteIfOld = button("古いファイルは確認しない", "古いファイルは確認しない", 11, true);
  ToolBar->addSeparator();  // ToolButton9
  tbtIgnoreError = button("配布エラーを無視して続行", "エラーを無視して配布続行", 12, true);
  ToolBar->addSeparator();  // ToolButton2
  tbtExit = button("終了", "終了", 5, false);
  ToolBar->addSeparator();  // ToolButton4

  const auto bind = [this](QToolButton* b, void (TfrmMain::*handler)()) {
    connect(b, &QToolButton::clicked, this, Slot(handler));
  };
  bind(tbtOpenFile, &TfrmMain::mnuAddFileClick);
  bind(tbtGo, &TfrmMain::mnuGoClick);
  bind(tbtClearMark, &TfrmMain::mnuClearMarkClick);
  bind(tbtAllCollapse, &TfrmMain::mnuAllCollapseClick);
  bind(tbtConfirmOverWrite, &TfrmMain::tbtConfirmOverWriteClick);
  bind(tbtWriteIfOld, &TfrmMain::tbtWriteIfOldClick);
  bind(tbtIgnoreError, &TfrmMain::tbtIgnoreErrorClick);
  bind(tbtExit, &TfrmMain::mnuExitClick);
}

void TfrmMain::CreateComponents() {
  pnlClient1 = Panel(this);
  setCentralWidget(pnlClient1);
  auto* clientLayout = new QVBoxLayout(pnlClient1);
  clientLayout->setContentsMargins(0, 0, 0, 0);

  splH = new QSplitter(Qt::Vertical, pnlClient1);
  splH->setHandleWidth(3);
  splH->setChildrenCollapsible(false);
  clientLayout->addWidget(splH);

  pnlClient2 = Panel(splH);
  auto* client2Layout = new QHBoxLayout(pnlClient2);
  client2Layout->setContentsMargins(0, 0, 0, 0);
  splV = new QSplitter(Qt::Horizontal, pnlClient2);
  splV->setHandleWidth(2);
  splV->setChildrenCollapsible(false);
  client2Layout->addWidget(splV);

  pnlLeft = Panel(splV, QFrame::Raised);
  auto* leftLayout = new QVBoxLayout(pnlLeft);
  leftLayout->setContentsMargins(1, 1, 1, 1);
  lstFile = new QTableView(pnlLeft);
  sourceModel_ = std::make_unique<SourceListModel>(sources_);
  sourceModel_->AttachView(lstFile);
  lstFile->setFrameShape(QFrame::NoFrame);
  lstFile->setShowGrid(true);
  lstFile->setSelectionBehavior(QAbstractItemView::SelectRows);
  lstFile->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstFile->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstFile->setWordWrap(false);
  lstFile->verticalHeader()->hide();
  lstFile->verticalHeader()->setDefaultSectionSize(lstFile->fontMetrics().height() + 4);
  lstFile->horizontalHeader()->setSectionsClickable(false);
  lstFile->horizontalHeader()->setHighlightSections(false);
  lstFile->setColumnWidth(0, 200);
  lstFile->setColumnWidth(1, 70);
  lstFile->setColumnWidth(2, 80);
  lstFile->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lstFile, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { popFile->exec(lstFile->viewport()->mapToGlobal(p)); });
  connect(lstFile->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          Slot(&TfrmMain::RefreshCommands));  // lstFileSelectItem
  lstFile->installEventFilter(this);
  lstFile->viewport()->installEventFilter(this);
  leftLayout->addWidget(lstFile);

  pnlRight = Panel(splV, QFrame::Raised);
  auto* rightLayout = new QVBoxLayout(pnlRight);
  rightLayout->setContentsMargins(1, 1, 1, 1);
  rightLayout->setSpacing(0);
  Panel2 = Panel(pnlRight, QFrame::Raised);
  Panel2->setFixedHeight(16);
  auto* strip = new QHBoxLayout(Panel2);
  strip->setContentsMargins(0, 0, 0, 0);
  strip->addStretch(1);
  Panel1 = Panel(Panel2);
  Panel1->setFixedWidth(96);
  auto* countLayout = new QHBoxLayout(Panel1);
  countLayout->setContentsMargins(0, 0, 0, 0);
  Label2 = new QLabel(QString::fromUtf8("配布先"), Panel1);
  lblHaisinsakisu = new QLabel(Panel1);
  lblHaisinsakisu->setFixedWidth(47);
  countLayout->addWidget(Label2);
  countLayout->addWidget(lblHaisinsakisu);
  strip->addWidget(Panel1);
  rightLayout->addWidget(Panel2);
  treFolder = new DestinationTreeView(pnlRight);
  treFolder->setFrameShape(QFrame::NoFrame);
  treFolder->setHeaderHidden(true);
  treFolder->setIndentation(19);
  treFolder->setEditTriggers(QAbstractItemView::NoEditTriggers);
  treFolder->setContextMenuPolicy(Qt::CustomContextMenu);
  treeModel_ = std::make_unique<DestinationTreeModel>(tree_);
  treeModel_->AttachView(treFolder);
  connect(
      treeModel_.get(), &DestinationTreeModel::nodeExpanding, this,
      [this](TreeNode* node, bool* allow) { Guarded([&] { treFolderExpanding(node, allow); }); });
  connect(treFolder, &DestinationTreeView::mousePressed, this,
          [this](QPoint pos, Qt::MouseButton button) {
            Guarded([&] { treFolderMouseDown(pos, button); });
          });
  connect(treFolder, &DestinationTreeView::treeClicked, this, Slot(&TfrmMain::treFolderClick));
  connect(treFolder, &DestinationTreeView::focusEntered, this, Slot(&TfrmMain::treFolderEnter));
  connect(treFolder, &DestinationTreeView::focusLeft, this, Slot(&TfrmMain::treFolderExit));
  connect(treFolder, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { popFolder->exec(treFolder->viewport()->mapToGlobal(p)); });
  rightLayout->addWidget(treFolder, 1);

  pnlMid = Panel(splH, QFrame::Sunken);
  auto* midLayout = new QVBoxLayout(pnlMid);
  midLayout->setContentsMargins(1, 1, 1, 1);
  memStatus = new QPlainTextEdit(pnlMid);
  memStatus->setReadOnly(true);
  // A bounded memo, however long a run: the log file keeps every line.
  memStatus->setMaximumBlockCount(kMemoLineLimit);
  memStatus->setFrameShape(QFrame::NoFrame);
  memStatus->setLineWrapMode(QPlainTextEdit::NoWrap);
  memStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  midLayout->addWidget(memStatus);

  splV->addWidget(pnlLeft);
  splV->addWidget(pnlRight);
  splV->setStretchFactor(1, 1);
  connect(splV, &QSplitter::splitterMoved, this, [this] { sourceWidth_ = splV->sizes().value(0); });
  splH->addWidget(pnlClient2);
  splH->addWidget(pnlMid);
  splH->setStretchFactor(0, 1);
  connect(splH, &QSplitter::splitterMoved, this, [this] { logHeight_ = splH->sizes().value(1); });
  ApplyPaneSizes();

  statusBar()->setFixedHeight(21);
  stbMain = new QLabel(statusBar());
  statusBar()->addWidget(stbMain, 1);
}

void TfrmMain::ApplyPaneSizes() {
  const int width = std::max(splV->width(), sourceWidth_ + 1);
  splV->setSizes({sourceWidth_, width - sourceWidth_});
  const int height = std::max(splH->height(), logHeight_ + 1);
  splH->setSizes({height - logHeight_, logHeight_});
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) ApplyPaneSizes();
}

void TfrmMain::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e.what());
  }
}

std::function<void()> TfrmMain::Slot(void (TfrmMain::*handler)()) {
  return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
}

void TfrmMain::ShowException(const std::string& message) {
  services_.prompts.ShowError(kAppTitle, message);
}

void TfrmMain::AddMemoLine(const std::string& line) {
  // Nobody sees the memo of a batch run; the log file keeps every line.
  if (state_.run.batchMode) return;
  memStatus->appendPlainText(ToQ(line));
}

void TfrmMain::ClearMemo() { memStatus->clear(); }

std::vector<int> TfrmMain::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : lstFile->selectionModel()->selectedRows())
    rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstFile && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete) {
      Guarded([this] { lstFileKeyDown(46); });
      return true;  // the list must not act on the key again
    }
  }
  if (watched == lstFile->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    Guarded([this] { mnuAddFileClick(); });  // lstFileDblClick, anywhere in the list
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(FromQ(url.toLocalFile()));
  }
  event->acceptProposedAction();
  activateWindow();
  raise();
  Guarded([&] { DropFiles(paths); });
}

}  // namespace tolvane
