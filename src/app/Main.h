#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/MainState.h"
#include "engine/DistributionRun.h"
#include "engine/RunFlags.h"
#include "engine/StatusLog.h"
#include "setup/ListFile.h"
#include "setup/SourceEntries.h"
#include "setup/SourceList.h"
#include "tree/DestinationTree.h"
#include "tree/NetworkTree.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class QWidget;

namespace tolvane {

class Clock;
class Cursor;
class Dialogs;
class EventPump;
class FileSystem;
class LogViewer;
class Prompts;
class ShellNamespace;
class SourceListModel;
class DestinationTreeModel;
class DestinationTreeView;

// The platform services the main window works through; tests hand in fakes.
struct MainServices {
  FileSystem& fs;
  Prompts& prompts;
  Dialogs& dialogs;
  EventPump& pump;
  Cursor& cursor;
  Clock& clock;
  LogViewer& logViewer;
  ShellNamespace& shell;
  // Where the network folder is on this system; called at start-up with the NetworkRoot
  // setting before the destination tree is built.
  std::function<void(const std::string&)> setNetworkRoot = [](const std::string&) {};
};

// Where the program is and how it was started.
struct StartupInfo {
  // Where Pelmo.ini and Pelmo.lst live, with its trailing separator: the executable's folder,
  // or the user's configuration folder for an installed program.
  std::string exeFolder;
  std::string currentDir;
  std::vector<std::string> args;  // after the program name
  std::string logFolder;          // where Pelmo.log lives, with its trailing separator
};

// The main window: owns the main-window state and every component. Handlers are thin; the work
// lives in the core.
class TfrmMain : public QMainWindow, private LogSink, public CopyOptions, private RunView {
  Q_OBJECT

 public:
  TfrmMain(MainServices services, StartupInfo startup, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The start-up sequence; the main entry runs it right after construction.
  void FormCreate();
  // The shutdown sequence, run after the message loop has ended.
  void FormDestroy();

  // What batch mode tells a scheduler: 0 the run ended normally with no failed destination,
  // 1 a destination failed or the run was stopped, 2 the run could not be made.
  int BatchExitCode() const { return batchExitCode_; }

  MainState& State() { return state_; }
  StatusLog& Log() { return log_; }
  SourceList& Sources() { return sources_; }
  DestinationTree& Tree() { return tree_; }

  // The standard error box, for exceptions that escape a handler.
  void ShowException(const std::string& message);

  // Commands (menu handlers and their twins).
  void mnuAddFileClick();
  void mnuAddFolder2Click();
  void mnuCancelFileClick();
  void mnuCancelAllFileClick();
  void mnuGoClick();
  void mnuOpenListClick();
  void mnuSaveListClick();
  void mnuSaveAsListClick();
  void mnuSaveLogClick();
  void mnuClearLogClick();
  void mnuRefLogClick();
  void mnuExitClick();
  void mnuClearMarkClick();
  void mnuAllCollapseClick();
  void mnuConfirmOverWriteClick();
  void mnuWriteIfOldClick();
  void mnuIgnoreErrorClick();
  void mnuAboutClick();
  void tbtConfirmOverWriteClick();
  void tbtWriteIfOldClick();
  void tbtIgnoreErrorClick();
  void Timer1Timer();
  void RefreshCommands();
  void UpdateMarkCount();
  void LoadSettings();
  void SaveSettings();
  void LoadList(const std::string& path);
  void SaveList(const std::string& path);
  // Files dropped on the window, in the order of the drop.
  void DropFiles(const std::vector<std::string>& paths);
  void lstFileKeyDown(int key);
  // Tree events.
  void treFolderExpanding(TreeNode* node, bool* allowExpansion);
  void treFolderMouseDown(const QPoint& pos, Qt::MouseButton button);
  void treFolderClick();
  void treFolderEnter();
  void treFolderExit();
  void ShowDestinationInLog(const std::string& folderPath);

  // Set by the main entry: what the About command shows.
  void SetAboutHandler(std::function<void()> handler) { aboutHandler_ = std::move(handler); }

  // Option states: the check marks of their menu items.
  bool ConfirmOverWrite() const override;
  bool ButOldIsIgnore() const override;
  bool IgnoreError() const override;
  bool SaveLog() const;

  // Components, named as the window's design names them.
  QToolBar* ToolBar = nullptr;
  QToolButton *tbtOpenFile = nullptr, *tbtGo = nullptr, *tbtClearMark = nullptr,
              *tbtAllCollapse = nullptr, *tbtConfirmOverWrite = nullptr, *tbtWriteIfOld = nullptr,
              *tbtIgnoreError = nullptr, *tbtExit = nullptr;
  QMenu *mnuFile = nullptr, *mnuDestination = nullptr, *mnuSetting = nullptr, *mnuHelp = nullptr;
  QAction *mnuAddFile = nullptr, *mnuAddFolder = nullptr, *mnuCancelFile = nullptr,
          *mnuCancelAllFile = nullptr, *mnuGo = nullptr, *mnuOpenList = nullptr,
          *mnuSaveList = nullptr, *mnuSaveAsList = nullptr, *mnuSaveLog = nullptr,
          *mnuClearLog = nullptr, *mnuRefLog = nullptr, *mnuExit = nullptr, *mnuClearMark = nullptr,
          *mnuAllCollapse = nullptr, *mnuConfirmOverWrite = nullptr, *mnuWriteIfOld = nullptr,
          *mnuIgnoreError = nullptr, *mnuAbout = nullptr;
  QMenu *popFile = nullptr, *popFolder = nullptr;
  QAction *mnuAddFile2 = nullptr, *mnuAddFolder2 = nullptr, *mnuCancelFile2 = nullptr,
          *mnuCancelAllFile2 = nullptr, *mnuClearMark2 = nullptr, *mnuAllCollapse2 = nullptr;
  QWidget *pnlClient1 = nullptr, *pnlMid = nullptr, *pnlClient2 = nullptr, *pnlLeft = nullptr,
          *pnlRight = nullptr, *Panel2 = nullptr, *Panel1 = nullptr;
  QSplitter *splH = nullptr, *splV = nullptr;
  QPlainTextEdit* memStatus = nullptr;
  QTableView* lstFile = nullptr;
  DestinationTreeView* treFolder = nullptr;
  QLabel *Label2 = nullptr, *lblHaisinsakisu = nullptr, *stbMain = nullptr;
  QTimer* Timer1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // LogSink: the memo.
  void AddMemoLine(const std::string& line) override;
  void ClearMemo() override;

  // RunView: what a run shows.
  void ShowRunning(bool running) override;
  void ShowDestination(TreeNode* node) override;
  // Copies one entry into one destination for the run.
  bool CopyEntry(const std::string& entry, const std::string& folder);

  // A save that failed: the error box (standard error in batch mode, which ends with 2).
  void ReportFailedSave(const std::string& message);
  void BuildDestinationTree();
  void FreeNodeRecords();

  // Gives the left pane and the log pane their widths, whatever the splitters hold before the
  // window is first laid out.
  void ApplyPaneSizes();

  void CreateComponents();
  void CreateMenus();
  void CreateToolBar();
  void ApplyOptionButtons();
  void SetGoPicture(bool running);
  // Runs a handler inside the guard that shows the standard error box.
  void Guarded(const std::function<void()>& handler);
  // A slot that runs the handler inside that guard.
  std::function<void()> Slot(void (TfrmMain::*handler)());
  // The old-file toggles are usable exactly while overwriting is confirmed.
  void EnableOldFileToggles();
  std::vector<int> SelectedRows() const;

  MainServices services_;
  StartupInfo startup_;
  MainState state_;
  StatusLog log_;
  SourceList sources_;
  SourceEntries entries_{services_.fs, log_, sources_};
  DestinationTree tree_;
  NetworkTree network_{tree_, services_.shell, services_.pump, services_.cursor,
                       [this] { return state_.startupComplete; }};
  ListFile listFile_{services_.fs, log_, entries_, sources_, tree_, network_};
  ListCommands listCommands_;
  std::unique_ptr<SourceListModel> sourceModel_;
  std::unique_ptr<DestinationTreeModel> treeModel_;
  std::function<void()> aboutHandler_;
  int batchExitCode_ = 0;
  // The pane sizes: kept here, since the splitters know them only once the window is shown.
  int sourceWidth_ = 361;
  int logHeight_ = 83;
};

// Whether an automatic run was started in the life of this process.
bool AutomaticRunStarted();
void ResetAutomaticRunForTests();

}  // namespace tolvane
