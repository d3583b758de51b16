#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/core/MainController.h"
#include "app/core/MainView.h"

class QAction;
class QDialog;
class QTableWidget;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;

namespace tolvane {

class SourceListModel;
class DestinationTreeModel;
class DestinationTreeView;

// The main window in Qt: builds the widgets from the command table, sends every event to the
// controller and shows what it is told.
class TfrmMain : public QMainWindow, public MainView {
  Q_OBJECT

 public:
  TfrmMain(MainServices services, StartupInfo startup, QWidget* parent = nullptr);
  ~TfrmMain() override;

  MainController& Controller() { return controller_; }

  // The start-up sequence; the main entry runs it right after construction.
  void FormCreate() { controller_.FormCreate(); }
  // The shutdown sequence, run after the message loop has ended.
  void FormDestroy() { controller_.FormDestroy(); }

  // Set by the main entry: what the About command shows.
  void SetAboutHandler(std::function<void()> handler) { aboutHandler_ = std::move(handler); }

  // The items of a command: menu and pop-up items, and its tool button.
  const std::vector<QAction*>& ActionsOf(CommandId id) { return actions_[id]; }

  // Components, named as the window's design names them.
  QToolBar* ToolBar = nullptr;
  QToolButton *tbtOpenFile = nullptr, *tbtGo = nullptr, *tbtClearMark = nullptr,
              *tbtAllCollapse = nullptr, *tbtConfirmOverWrite = nullptr, *tbtWriteIfOld = nullptr,
              *tbtIgnoreError = nullptr, *tbtExit = nullptr, *tbtRerunFailed = nullptr,
              *tbtPreview = nullptr, *tbtSkipUnchanged = nullptr;
  QMenu *mnuFile = nullptr, *mnuDestination = nullptr, *mnuSetting = nullptr, *mnuHelp = nullptr;
  QMenu* mnuParallel = nullptr;  // 同時に配布する数, in mnuSetting
  QAction *mnuAddFile = nullptr, *mnuAddFolder = nullptr, *mnuCancelFile = nullptr,
          *mnuCancelAllFile = nullptr, *mnuGo = nullptr, *mnuOpenList = nullptr,
          *mnuSaveList = nullptr, *mnuSaveAsList = nullptr, *mnuSaveLog = nullptr,
          *mnuClearLog = nullptr, *mnuRefLog = nullptr, *mnuExit = nullptr, *mnuClearMark = nullptr,
          *mnuAllCollapse = nullptr, *mnuConfirmOverWrite = nullptr, *mnuWriteIfOld = nullptr,
          *mnuIgnoreError = nullptr, *mnuAbout = nullptr, *mnuRefresh = nullptr,
          *mnuRerunFailed = nullptr, *mnuShowResults = nullptr, *mnuNetworkRoot = nullptr,
          *mnuPreview = nullptr, *mnuSkipUnchanged = nullptr;
  QMenu *popFile = nullptr, *popFolder = nullptr;
  QAction *mnuAddFile2 = nullptr, *mnuAddFolder2 = nullptr, *mnuCancelFile2 = nullptr,
          *mnuCancelAllFile2 = nullptr, *mnuClearMark2 = nullptr, *mnuAllCollapse2 = nullptr,
          *mnuRefresh2 = nullptr;
  QWidget *pnlClient1 = nullptr, *pnlMid = nullptr, *pnlClient2 = nullptr, *pnlLeft = nullptr,
          *pnlRight = nullptr, *Panel2 = nullptr, *Panel1 = nullptr;
  QSplitter *splH = nullptr, *splV = nullptr;
  QPlainTextEdit* memStatus = nullptr;
  QTableView* lstFile = nullptr;
  DestinationTreeView* treFolder = nullptr;
  QLabel *Label2 = nullptr, *lblHaisinsakisu = nullptr, *stbMain = nullptr;
  QLabel* lblProgress = nullptr;  // a run's progress and summary, beside stbMain
  QTimer* Timer1 = nullptr;
  // The result list of the last run (配布結果), made when first shown.
  QDialog* dlgResults = nullptr;
  QTableWidget* lstResults = nullptr;

  // MainView.
  void AddMemoLine(const std::string& line) override;
  void ClearMemo() override;
  void SetCaption(const std::string& caption) override;
  void SetCommandEnabled(CommandId id, bool enabled) override;
  void SetCommandChecked(CommandId id, bool checked) override;
  void SetButtonPicture(CommandId id, int picture) override;
  void SetSourcePaneEnabled(bool enabled) override;
  void SetMarkCount(const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void SetProgressText(const std::string& text) override;
  std::vector<std::string> MemoLines() const override;
  void SelectMemoText(const MemoSelection& selection) override;
  std::vector<int> SelectedSourceRows() const override;
  TreeNode* SelectedNode() const override;
  void FocusTree() override;
  WindowLayout CurrentLayout() const override;
  void ApplyLayout(const WindowLayout& layout) override;
  std::vector<ScreenRect> ScreenAreas() const override;
  void AcceptDroppedFiles() override;
  void CloseWindow() override;
  void EndLoop(int exitCode) override;
  void ShowAbout() override;
  void ShowResults(const ResultList& results, bool bringUp) override;
  void ShowPreview(const std::string& title, const std::string& text) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateMenus();
  void CreateToolBar();
  void CreateComponents();
  // Gives the left pane and the log pane their widths, whatever the splitters hold before the
  // window is first laid out.
  void ApplyPaneSizes();
  // The menu bar lies inside a Qt window but outside the client area the settings keep.
  int MenuBarHeight() const;
  // Runs a handler inside the controller's error-box rule.
  std::function<void()> Slot(std::function<void()> handler);

  MainController controller_;
  std::map<CommandId, std::vector<QAction*>> actions_;
  std::map<CommandId, QToolButton*> buttons_;
  std::unique_ptr<SourceListModel> sourceModel_;
  std::unique_ptr<DestinationTreeModel> treeModel_;
  std::function<void()> aboutHandler_;
  // The pane sizes: kept here, since the splitters know them only once the window is shown.
  int sourceWidth_ = WindowSettings::kDesignedSourceWidth;
  int logHeight_ = WindowSettings::kDesignedLogHeight;
};

}  // namespace tolvane
