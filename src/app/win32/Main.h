#pragma once

#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/core/MainController.h"
#include "app/core/MainView.h"
#include "app/win32/Win32Controls.h"
#include "setup/SourceList.h"
#include "tree/DestinationTree.h"

namespace tolvane {

// The main window in native Win32: builds its controls from the command table, sends every
// event to the controller and shows what it is told. Command ids are the WM_COMMAND ids.
class TfrmMain : public MainView, private TreeListener, private SourceListListener {
 public:
  TfrmMain(MainServices services, StartupInfo startup);
  ~TfrmMain() override;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  MainController& Controller() { return controller_; }
  HWND Handle() const { return frmMain; }

  // The start-up sequence, right after construction; the shutdown sequence, after the loop.
  void FormCreate();
  void FormDestroy();
  // Shows the window (interactive start).
  void Show();
  // Runs the message loop until EndLoop or an allowed close; returns the exit code.
  int RunMessageLoop();

  // Set by the main entry: what the About command shows.
  void SetAboutHandler(std::function<void()> handler) { aboutHandler_ = std::move(handler); }

  // The tree item of a node (null for a hidden placeholder), and back.
  HTREEITEM ItemOf(const TreeNode* node) const;
  static TreeNode* NodeOf(HWND tree, HTREEITEM item);

  // Components, named as the window's design names them.
  HWND frmMain = nullptr;
  HWND ToolBar = nullptr;
  HWND pnlLeft = nullptr, pnlRight = nullptr, pnlMid = nullptr, Panel2 = nullptr;
  HWND lstFile = nullptr;
  HWND treFolder = nullptr;
  HWND memStatus = nullptr;
  HWND Label2 = nullptr, lblHaisinsakisu = nullptr;
  HWND stbMain = nullptr;
  HMENU MainMenu1 = nullptr, popFile = nullptr, popFolder = nullptr;
  // The result list of the last run (配布結果): a window of its own, made when first shown,
  // hidden when closed.
  HWND dlgResults = nullptr, lstResults = nullptr;
  static constexpr UINT_PTR kTimer1 = 1;
  // A tree click is looked at once the tree has finished with it (its selection is then
  // current).
  static constexpr UINT kTreeClicked = WM_APP + 1;

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

 private:
  // TreeListener: the tree control follows the destination tree.
  void BeginInsertChildren(TreeNode* parent, int first, int last) override;
  void BeginInsertNode(TreeNode* parent, int row, const NodeRecord& record) override;
  void EndInsertChildren() override;
  void BeginRemoveChildren(TreeNode* parent, int first, int last) override;
  void EndRemoveChildren() override;
  void BeginReorder() override {}
  void EndReorder() override;
  void StateImageChanged(TreeNode* node) override;
  void ExpandNode(TreeNode* node) override;
  void CollapseSubtree(TreeNode* node) override;
  void SelectNode(TreeNode* node) override;
  // SourceListListener: the list view follows the source list.
  void BeginInsert(int first, int last) override;
  void EndInsert() override;
  void BeginRemove(int first, int last) override;
  void EndRemove() override;

  void CreateComponents();
  void CreateMenus();
  void CreateToolBar();
  void Layout();
  void UpdateItemChildren(TreeNode* node);
  void FitColumns(int first, int last);
  void SortItems(TreeNode* parent);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(const NMHDR& header);
  // The source list's path column, drawn with the middle of a long path left out.
  LRESULT DrawSourcePath(NMLVCUSTOMDRAW& draw);
  void OnCommand(int id, HWND from);
  void OnDropFiles(HDROP drop);
  void OnContextMenu(HWND from, int x, int y);
  // The splitters: the gaps between the panes.
  bool OnSplitterPress(int x, int y);
  void OnSplitterMove(int x, int y);
  enum class Splitter { None, Vertical, Horizontal };
  Splitter SplitterAt(int x, int y) const;

  static LRESULT CALLBACK ResultsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  // The keyboard's first look at every message of the loop: Tab between the panes.
  static bool PreTranslate(HWND window, MSG& message);
  bool TabToNextPane(bool backwards);

  MainController controller_;
  std::function<void()> aboutHandler_;
  HFONT font_ = nullptr;
  HIMAGELIST toolbarImages_ = nullptr, stateImages_ = nullptr, nodeImages_ = nullptr;
  std::vector<HBITMAP> menuBitmaps_;
  std::map<CommandId, std::string> hints_;
  std::unordered_map<const TreeNode*, HTREEITEM> items_;
  // Insertions in progress: parent and the rows announced; placeholder rows are not shown.
  struct PendingInsert {
    TreeNode* parent;
    int first, last;
    bool placeholder;
  };
  std::vector<PendingInsert> inserting_;
  std::vector<std::pair<TreeNode*, bool>> removing_;
  int sourceFirst_ = 0, sourceLast_ = -1;
  int sourceWidth_ = WindowSettings::kDesignedSourceWidth;
  int logHeight_ = WindowSettings::kDesignedLogHeight;
  int stripHeight_ = 16;  // the strip above the tree: "配布先" and the count
  Splitter dragging_ = Splitter::None;
  bool loopEnded_ = false;
  int exitCode_ = 0;
};

}  // namespace tolvane
