#include "app/qt/Main.h"

#include <QAction>
#include <QActionGroup>
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

#include "app/core/ViewRules.h"
#include "app/qt/DestinationTreeModel.h"
#include "app/qt/DestinationTreeView.h"
#include "app/qt/Fonts.h"
#include "app/qt/Pictures.h"
#include "app/qt/SourceListModel.h"
#include "common/AppInfo.h"
#include "platform/qt/QtPlatform.h"

namespace tolvane {

namespace {

// Qt makes "&X" in a tool button's text a shortcut; tool buttons have no access keys.
QString LiteralText(const char* caption) { return QString::fromUtf8(caption).replace("&", "&&"); }

QWidget* Panel(QWidget* parent, QFrame::Shadow shadow = QFrame::Plain) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(shadow == QFrame::Plain ? QFrame::NoFrame : QFrame::Panel);
  frame->setFrameShadow(shadow);
  return frame;
}

}  // namespace

TfrmMain::TfrmMain(MainServices services, StartupInfo startup, QWidget* parent)
    : QMainWindow(parent), controller_(std::move(services), std::move(startup)) {
  setFont(DesignFont(QString::fromUtf8("ＭＳ Ｐゴシック"), 12));
  setWindowIcon(ApplicationIcon());
  CreateMenus();
  CreateToolBar();
  CreateComponents();
  resize(WindowSettings::kDesignedClientWidth,
         WindowSettings::kDesignedClientHeight + MenuBarHeight());
  controller_.AttachView(*this);

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, Slot([this] { controller_.Timer1Timer(); }));
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
  std::map<std::string, QAction*> named;
  std::function<void(QMenu*, CommandPlace)> fill = [&](QMenu* menu, CommandPlace place) {
    // The choices of one menu show radio marks; the controller checks at most one of them.
    QActionGroup* choices = nullptr;
    for (const CommandItem* item : CommandItemsOf(place)) {
      if (item->IsSeparator()) {
        menu->addSeparator();
        continue;
      }
      if (item->submenu) {
        QMenu* sub = menu->addMenu(QString::fromUtf8(item->caption));
        if (*item->submenu == CommandPlace::ParallelMenu) mnuParallel = sub;
        fill(sub, *item->submenu);
        continue;
      }
      QAction* action = menu->addAction(QString::fromUtf8(item->caption));
      if (item->picture >= 0) action->setIcon(ToolbarPicture(item->picture));
      // The key works through the main menu's item; a pop-up item only shows it.
      if (*CommandShortcut(item->id)) {
        const QKeySequence key(QString::fromUtf8(CommandShortcut(item->id)));
        if (qobject_cast<QMenuBar*>(menu->parentWidget())) action->setShortcut(key);
      }
      action->setCheckable(item->check);
      if (item->radio) {
        if (!choices) {
          choices = new QActionGroup(menu);
          choices->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        }
        choices->addAction(action);
      }
      const CommandId id = item->id;
      // A checkable item has flipped itself already; the controller sets every check mark.
      connect(action, &QAction::triggered, this, Slot([this, id] { controller_.Execute(id); }));
      actions_[id].push_back(action);
      named[item->name] = action;
    }
  };
  for (const MainMenuInfo& info : MainMenus()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(info.caption));
    fill(menu, info.place);
    if (info.place == CommandPlace::FileMenu) mnuFile = menu;
    if (info.place == CommandPlace::DestinationMenu) mnuDestination = menu;
    if (info.place == CommandPlace::SettingMenu) mnuSetting = menu;
    if (info.place == CommandPlace::HelpMenu) mnuHelp = menu;
  }
  popFile = new QMenu(this);
  fill(popFile, CommandPlace::FilePopup);
  popFolder = new QMenu(this);
  fill(popFolder, CommandPlace::FolderPopup);

  const std::pair<QAction**, const char*> members[] = {
      {&mnuAddFile, "mnuAddFile"},
      {&mnuAddFolder, "mnuAddFolder"},
      {&mnuCancelFile, "mnuCancelFile"},
      {&mnuCancelAllFile, "mnuCancelAllFile"},
      {&mnuGo, "mnuGo"},
      {&mnuOpenList, "mnuOpenList"},
      {&mnuSaveList, "mnuSaveList"},
      {&mnuSaveAsList, "mnuSaveAsList"},
      {&mnuSaveLog, "mnuSaveLog"},
      {&mnuClearLog, "mnuClearLog"},
      {&mnuRefLog, "mnuRefLog"},
      {&mnuExit, "mnuExit"},
      {&mnuClearMark, "mnuClearMark"},
      {&mnuAllCollapse, "mnuAllCollapse"},
      {&mnuConfirmOverWrite, "mnuConfirmOverWrite"},
      {&mnuWriteIfOld, "mnuWriteIfOld"},
      {&mnuIgnoreError, "mnuIgnoreError"},
      {&mnuAbout, "mnuAbout"},
      {&mnuPreview, "mnuPreview"},
      {&mnuSkipUnchanged, "mnuSkipUnchanged"},
      {&mnuAddFile2, "mnuAddFile2"},
      {&mnuAddFolder2, "mnuAddFolder2"},
      {&mnuCancelFile2, "mnuCancelFile2"},
      {&mnuCancelAllFile2, "mnuCancelAllFile2"},
      {&mnuClearMark2, "mnuClearMark2"},
      {&mnuAllCollapse2, "mnuAllCollapse2"},
      {&mnuRefresh, "mnuRefresh"},
      {&mnuRerunFailed, "mnuRerunFailed"},
      {&mnuShowResults, "mnuShowResults"},
      {&mnuNetworkRoot, "mnuNetworkRoot"},
      {&mnuRefresh2, "mnuRefresh2"},
  };
  for (const auto& [member, name] : members) *member = named.at(name);
}

void TfrmMain::CreateToolBar() {
  ToolBar = addToolBar(QStringLiteral("ToolBar"));
  ToolBar->setObjectName("ToolBar");
  ToolBar->setMovable(false);
  ToolBar->setFixedHeight(28);
  ToolBar->setIconSize(QSize(16, 16));
  ToolBar->setContentsMargins(10, 0, 0, 0);
  std::map<std::string, QToolButton*> named;
  for (const CommandItem* item : CommandItemsOf(CommandPlace::ToolBar)) {
    if (item->IsSeparator()) {
      ToolBar->addSeparator();
      continue;
    }
    auto* b = new QToolButton(ToolBar);
    b->setText(LiteralText(item->caption));  // carried, not shown
    b->setToolTip(QString::fromUtf8(item->hint));
    b->setIcon(ToolbarPicture(item->picture));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setCheckable(item->check);
    b->setAutoRaise(true);
    ToolBar->addWidget(b);
    const CommandId id = item->id;
    connect(b, &QToolButton::clicked, this,
            Slot([this, id, b] { controller_.ToolButtonClicked(id, b->isChecked()); }));
    buttons_[id] = b;
    named[item->name] = b;
  }
  tbtOpenFile = named.at("tbtOpenFile");
  tbtGo = named.at("tbtGo");
  tbtClearMark = named.at("tbtClearMark");
  tbtAllCollapse = named.at("tbtAllCollapse");
  tbtConfirmOverWrite = named.at("tbtConfirmOverWrite");
  tbtWriteIfOld = named.at("tbtWriteIfOld");
  tbtIgnoreError = named.at("tbtIgnoreError");
  tbtExit = named.at("tbtExit");
  tbtRerunFailed = named.at("tbtRerunFailed");
  tbtPreview = named.at("tbtPreview");
  tbtSkipUnchanged = named.at("tbtSkipUnchanged");
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
  sourceModel_ = std::make_unique<SourceListModel>(controller_.Sources());
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
          Slot([this] { controller_.lstFileSelectItem(); }));
  // Tab moves on to the tree instead of from cell to cell.
  lstFile->setTabKeyNavigation(false);
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
  treeModel_ = std::make_unique<DestinationTreeModel>(controller_.Tree());
  treeModel_->AttachView(treFolder);
  connect(treeModel_.get(), &DestinationTreeModel::nodeExpanding, this,
          [this](TreeNode* node, bool* allow) {
            controller_.Guarded([&] { *allow = controller_.treFolderExpanding(node); });
          });
  connect(treFolder, &DestinationTreeView::pressed, this,
          [this](TreeNode* hit, TreePress press, TreePressAction* action) {
            controller_.Guarded([&] { *action = controller_.treFolderPress(hit, press); });
          });
  // The status bar follows the selected node, however it was chosen.
  connect(treFolder->selectionModel(), &QItemSelectionModel::currentChanged, this,
          Slot([this] { controller_.treFolderChange(); }));
  connect(treFolder, &DestinationTreeView::treeClicked, this,
          Slot([this] { controller_.treFolderClick(); }));
  connect(treFolder, &DestinationTreeView::focusEntered, this,
          Slot([this] { controller_.treFolderEnter(); }));
  connect(treFolder, &DestinationTreeView::focusLeft, this,
          Slot([this] { controller_.treFolderExit(); }));
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
  memStatus->setTabChangesFocus(true);
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
  // Where a run stands, then its summary. A long current file is cut off rather than widen
  // the window; the whole text is the tool tip.
  lblProgress = new QLabel(statusBar());
  lblProgress->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusBar()->addWidget(lblProgress, 2);

  // The keyboard goes from the sources to the destinations and on to the log.
  setTabOrder(lstFile, treFolder);
  setTabOrder(treFolder, memStatus);
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

std::function<void()> TfrmMain::Slot(std::function<void()> handler) {
  return [this, handler = std::move(handler)] { controller_.Guarded(handler); };
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstFile && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete) {
      controller_.Guarded([this] { controller_.lstFileKeyDown(MainController::kDeleteKey); });
      return true;  // the list must not act on the key again
    }
  }
  if (watched == lstFile->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    controller_.Guarded([this] { controller_.lstFileDblClick(); });  // anywhere in the list
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
  controller_.Guarded([&] { controller_.DropFiles(paths); });
}

}  // namespace tolvane
