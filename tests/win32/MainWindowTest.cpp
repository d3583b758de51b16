#include <shlobj.h>

#include <cstring>

#include "WindowFixture.h"
#include "app/core/ViewRules.h"
#include "app/win32/Win32Window.h"
#include "common/AppInfo.h"
#include "platform/win32/WideText.h"

namespace tolvane::test {
namespace {

using Lines = std::vector<std::string>;

// Files as the shell drops them: a DROPFILES block with wide, NUL-separated paths.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& p : paths) names += Widen(p) + L'\0';
  names += L'\0';
  const std::size_t size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
              names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

bool HasLineEndingWith(const Lines& lines, const std::string& end) {
  for (const std::string& l : lines) {
    if (l.size() >= end.size() && l.compare(l.size() - end.size(), end.size(), end) == 0)
      return true;
  }
  return false;
}

class MainWindowTest : public WindowFixture {};

TEST_F(MainWindowTest, CommandsFollowSourcesMarksAndOptionsFromEveryKindOfInput) {
  AddNetworkFolder("PC01/share");
  AddNetworkFolder("PC02/tools");
  TfrmMain& w = Start();
  EXPECT_EQ(WindowText(w.Handle()), kAppTitle);
  EXPECT_EQ(WindowText(w.lblHaisinsakisu), "0箇所");
  // Nothing to copy and nowhere to copy it: Go and the removal commands are off; collapse is
  // on as soon as the tree has its root.
  EXPECT_FALSE(MenuEnabled(CommandId::Go));
  EXPECT_FALSE(ButtonEnabled(CommandId::Go));
  EXPECT_FALSE(MenuEnabled(CommandId::CancelAllFile));
  EXPECT_FALSE(MenuEnabled(CommandId::ClearMark));
  EXPECT_TRUE(MenuEnabled(CommandId::AllCollapse));
  EXPECT_TRUE(ButtonEnabled(CommandId::AllCollapse));

  // Files dropped from the shell become rows; Go still waits for a destination.
  const std::string file = cwd.Write("a.txt", "A");
  SendMessageW(w.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file})), 0);
  Pump();
  ASSERT_EQ(ListCount(), 1);
  EXPECT_EQ(ListRow(0)[0], file);
  EXPECT_TRUE(MenuEnabled(CommandId::CancelAllFile));
  EXPECT_FALSE(MenuEnabled(CommandId::Go));

  // A real press on a server's state picture marks it; the tree control never sees the press,
  // but the node is selected and its path shown all the same.
  TreeNode* pc01 = NodeOf("\\\\PC01");
  TreeNode* pc02 = NodeOf("\\\\PC02");
  ASSERT_TRUE(pc01 && pc02);
  TreeView_SelectItem(w.treFolder, w.ItemOf(pc02));
  const POINT at = StatePicturePoint(pc01);
  ASSERT_GE(at.x, 0);
  Click(w.treFolder, at);
  ASSERT_TRUE(PumpUntil([&] { return StateOf(pc01) == kStateMarked; }));
  EXPECT_EQ(TreeView_GetSelection(w.treFolder), w.ItemOf(pc01));
  EXPECT_EQ(WindowText(w.lblHaisinsakisu), "1箇所");
  EXPECT_TRUE(MenuEnabled(CommandId::Go));
  EXPECT_TRUE(ButtonEnabled(CommandId::Go));
  EXPECT_TRUE(MenuEnabled(CommandId::ClearMark));

  // A double click on the box marks and unmarks, and leaves the node closed.
  SendMessageW(w.treFolder, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  EXPECT_EQ(StateOf(pc01), kStateUnmarked);
  EXPECT_FALSE(TreeView_GetItemState(w.treFolder, w.ItemOf(pc01), TVIS_EXPANDED) & TVIS_EXPANDED);
  Click(w.treFolder, at);
  ASSERT_TRUE(PumpUntil([&] { return StateOf(pc01) == kStateMarked; }));

  // Space marks the selected node.
  TreeView_SelectItem(w.treFolder, w.ItemOf(pc02));
  SetFocus(w.treFolder);
  Keys({VK_SPACE});
  ASSERT_TRUE(PumpUntil([&] { return StateOf(pc02) == kStateMarked; }));
  EXPECT_EQ(WindowText(w.lblHaisinsakisu), "2箇所");
  // Tab goes from the source list to the tree to the memo.
  SetFocus(w.lstFile);
  Keys({VK_TAB});
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == w.treFolder; }));
  Keys({VK_TAB});
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == w.memStatus; }));

  // The pop-up menus come up over the list and the tree (from the keyboard here: Shift+F10 and
  // the menu key give no position); a timer closes each from inside its loop.
  for (HWND control : {w.lstFile, w.treFolder}) {
    static bool menuSeen;
    menuSeen = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
      if (FindWindowW(L"#32768", nullptr)) menuSeen = true;
      EndMenu();
    });
    SendMessageW(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(-1, -1));
    KillTimer(nullptr, timer);
    EXPECT_TRUE(menuSeen) << (control == w.lstFile ? "list" : "tree");
  }

  // The option toggles: menu and button show one state, and the old-file toggles are usable
  // exactly while overwriting is confirmed; from the menu, the button, and an access key.
  ASSERT_TRUE(MenuChecked(CommandId::ConfirmOverWrite));
  Command(CommandId::ConfirmOverWrite);
  EXPECT_FALSE(MenuChecked(CommandId::ConfirmOverWrite));
  EXPECT_FALSE(ButtonChecked(CommandId::ConfirmOverWrite));
  EXPECT_FALSE(MenuEnabled(CommandId::WriteIfOld));
  EXPECT_FALSE(ButtonEnabled(CommandId::WriteIfOld));
  ClickButton(CommandId::ConfirmOverWrite);
  EXPECT_TRUE(MenuChecked(CommandId::ConfirmOverWrite));
  EXPECT_TRUE(MenuEnabled(CommandId::WriteIfOld));
  ClickButton(CommandId::IgnoreError);
  EXPECT_TRUE(MenuChecked(CommandId::IgnoreError));
  // Alt+S opens 設定(&S), I chooses 配布エラーを無視して続行(&I).
  SetForegroundWindow(w.Handle());
  Keys({VK_MENU, 'S'});
  Keys({'I'});
  ASSERT_TRUE(PumpUntil([&] { return !MenuChecked(CommandId::IgnoreError); }));
  EXPECT_FALSE(ButtonChecked(CommandId::IgnoreError));
  // 同時に配布する数(&P) is a sub-menu of 設定 whose radio choices are reached by their keys.
  EXPECT_TRUE(MenuChecked(CommandId::Parallel4));
  Keys({VK_MENU, 'S'});
  Keys({'P'});
  Keys({'8'});
  ASSERT_TRUE(PumpUntil([&] { return w.Controller().Parallel() == 8; }));
  EXPECT_TRUE(MenuChecked(CommandId::Parallel8));
  EXPECT_FALSE(MenuChecked(CommandId::Parallel4));

  // Clearing the marks from the tree's pop-up twin turns Go off again.
  Command(CommandId::ClearMark);
  EXPECT_EQ(StateOf(pc01), kStateUnmarked);
  EXPECT_FALSE(MenuEnabled(CommandId::Go));

  // The About command shows the box, captioned with the product name.
  BoxAnswerer answerer;
  answerer.Press(IDOK);
  Command(CommandId::About);
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].caption, kProductName);
}

TEST_F(MainWindowTest, ExpandingANodeListsItThroughTheTreeControl) {
  AddNetworkFolder("PC01/share/apps");
  TfrmMain& w = Start();
  TreeNode* pc01 = NodeOf("\\\\PC01");
  ASSERT_NE(pc01, nullptr);
  // Not listed yet: an expand button, no child items, no listing made.
  EXPECT_EQ(TreeView_GetChild(w.treFolder, w.ItemOf(pc01)), nullptr);
  TVITEMW item{};
  item.mask = TVIF_CHILDREN | TVIF_HANDLE;
  item.hItem = w.ItemOf(pc01);
  TreeView_GetItem(w.treFolder, &item);
  EXPECT_EQ(item.cChildren, 1);
  const int listings = shell.enumerations[shell.IdOf(*shell.ParsePath("\\\\PC01"))];

  TreeView_Expand(w.treFolder, w.ItemOf(pc01), TVE_EXPAND);
  Pump();
  TreeNode* share = NodeOf("\\\\PC01\\share");
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(TreeView_GetChild(w.treFolder, w.ItemOf(pc01)), w.ItemOf(share));
  EXPECT_EQ(shell.enumerations[shell.IdOf(*shell.ParsePath("\\\\PC01"))], listings + 1);
  // Collapsing everything keeps the listing.
  Command(CommandId::AllCollapse);
  EXPECT_FALSE(TreeView_GetItemState(w.treFolder, w.ItemOf(pc01), TVIS_EXPANDED) & TVIS_EXPANDED);
  EXPECT_EQ(NodeOf("\\\\PC01\\share"), share);

  // The status bar follows the selection; F5 lists the selected node again.
  TreeView_SelectItem(w.treFolder, w.ItemOf(pc01));
  wchar_t status[64] = {};
  SendMessageW(w.stbMain, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
  EXPECT_EQ(std::wstring(status), L"\\\\PC01");
  AddNetworkFolder("PC01/new");
  SetForegroundWindow(w.Handle());
  SetFocus(w.treFolder);
  Keys({VK_F5});
  EXPECT_TRUE(PumpUntil([&] { return NodeOf("\\\\PC01\\new") != nullptr; }));
}

TEST_F(MainWindowTest, ARunAsksBeforeOverwritingAndFollowsEachAnswer) {
  AddNetworkFolder("PC01/share");
  const std::string source = cwd.Write("a.txt", "new");
  net.Write("PC01/share/a.txt", "old");
  SetMTime(source, 1700000000);
  SetMTime(net / "PC01/share/a.txt", 1700000000);
  exe.Write("Pelmo.ini", "[Setting]\r\nConfirmOverWrite=1\r\nButOldIsIgnore=0\r\nSaveLog=1\r\n");
  WriteList({source}, {"PC01/share"});
  TfrmMain& w = Start();
  ASSERT_TRUE(MenuEnabled(CommandId::Go));

  BoxAnswerer answerer;
  answerer.Press(IDNO);
  Command(CommandId::Go);
  EXPECT_EQ(net.Read("PC01/share/a.txt"), "old");
  EXPECT_TRUE(HasLineEndingWith(w.MemoLines(), " -> スキップ"));

  answerer.Press(IDYES);
  Command(CommandId::Go);
  EXPECT_EQ(net.Read("PC01/share/a.txt"), "new");
  EXPECT_TRUE(HasLineEndingWith(w.MemoLines(), " -> 成功"));
  EXPECT_TRUE(HasLineEndingWith(w.MemoLines(), " 配布終了"));

  const std::vector<SeenBox> seen = answerer.Seen();
  ASSERT_EQ(seen.size(), 2u);
  for (const SeenBox& box : seen) {
    EXPECT_EQ(box.caption, kAppTitle);
    EXPECT_EQ(box.buttons,
              (Lines{"はい(&Y)", "いいえ(&N)", "キャンセル", "すべて上書き", "すべてスキップ"}));
    EXPECT_FALSE(box.hasIcon);
  }
  EXPECT_EQ(answerer.Unexpected(), 0);
}

TEST_F(MainWindowTest, AFailedCopyOffersRetryThenGetsTheRedMark) {
  AddNetworkFolder("PC01/share");
  const std::string source = cwd.Write("a.txt", "A");
  exe.Write("Pelmo.ini", "[Setting]\r\nConfirmOverWrite=0\r\nSaveLog=1\r\n");
  WriteList({source}, {"PC01/share"});
  TfrmMain& w = Start();
  fs.FailOn(FsOp::CopyFile, "a.txt");

  BoxAnswerer answerer;
  answerer.Press(IDRETRY);
  answerer.Press(IDIGNORE);
  Command(CommandId::Go);
  const std::vector<SeenBox> seen = answerer.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].buttons, (Lines{"中止(&A)", "再試行(&R)", "無視(&I)"}));
  EXPECT_EQ(StateOf(NodeOf("\\\\PC01\\share")), kStateFailed);
  EXPECT_TRUE(HasLineEndingWith(w.MemoLines(), " -> 失敗"));
  // A failed mark still counts as marked.
  EXPECT_TRUE(MenuEnabled(CommandId::Go));
  EXPECT_FALSE(net.Exists("PC01/share/a.txt"));

  // The result list comes up with the failed destination, which the tree shows in bold.
  ASSERT_NE(w.dlgResults, nullptr);
  EXPECT_TRUE(IsWindowVisible(w.dlgResults));
  EXPECT_EQ(ListView_GetItemCount(w.lstResults), 1);
  EXPECT_TRUE(TreeView_GetItemState(w.treFolder, w.ItemOf(NodeOf("\\\\PC01\\share")), TVIS_BOLD) &
              TVIS_BOLD);
  // Sent again to it: it arrives, and nothing is left to send again.
  fs.ClearFaults();
  ASSERT_TRUE(ButtonEnabled(CommandId::RerunFailed));
  ClickButton(CommandId::RerunFailed);
  EXPECT_EQ(net.Read("PC01/share/a.txt"), "A");
  EXPECT_FALSE(ButtonEnabled(CommandId::RerunFailed));
  EXPECT_FALSE(TreeView_GetItemState(w.treFolder, w.ItemOf(NodeOf("\\\\PC01\\share")), TVIS_BOLD) &
               TVIS_BOLD);
  EXPECT_EQ(answerer.Unexpected(), 0);
}

TEST_F(MainWindowTest, ANamedServerJoinsTheRootAndAListedShareOfItIsFoundByItsPath) {
  // The Network folder shows PC01 only; SRV1 is named in the settings, and its shares cannot be
  // enumerated (as under Wine). The list was saved where the folder showed a workgroup level.
  AddNetworkFolder("PC01/share");
  net.MakeDir("SRV1/share/sub");
  namedServers = true;
  const std::string source = cwd.Write("a.txt", "A");
  exe.Write("Pelmo.ini",
            "[Setting]\r\nConfirmOverWrite=0\r\nSaveLog=1\r\n"
            "[Servers]\r\nCount=1\r\nServer0=SRV1\r\n");
  exe.Write("Pelmo.lst", "[Source]\r\nCount=1\r\nFile0=" + source +
                             "\r\n[Destination]\r\nCount=1\r\nFolder0=\\\\SRV1\\share\r\n"
                             "[Alias]\r\nFolder0=ネットワーク\tWORKGROUP\tSRV1\tshare\r\n");
  TfrmMain& w = Start();
  DestinationTree& tree = w.Controller().Tree();
  TreeNode* server = NodeOf("\\\\SRV1");
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(server->Parent(), tree.Root());
  TreeNode* share = NodeOf("\\\\SRV1\\share");
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(share->Parent(), server);
  EXPECT_EQ(StateOf(share), kStateMarked);
  EXPECT_EQ(share->Record().nodePath, "ネットワーク\tSRV1\tshare");
  // Its folders come from the file system.
  EXPECT_TRUE(TreeView_Expand(w.treFolder, w.ItemOf(share), TVE_EXPAND));
  EXPECT_NE(NodeOf("\\\\SRV1\\share\\sub"), nullptr);

  Command(CommandId::Go);
  EXPECT_EQ(net.Read("SRV1/share/a.txt"), "A");
  EXPECT_TRUE(HasLineEndingWith(w.MemoLines(), " -> 成功"));
  EXPECT_TRUE(MenuEnabled(CommandId::RemoveServer));
}

TEST_F(MainWindowTest, TheMemoKeepsItsLastTenThousandLines) {
  TfrmMain& w = Start();
  // A full memo, put in at once (line by line takes minutes in Wine's edit control).
  std::wstring full;
  for (int i = 0; i < kMemoLineLimit; ++i) full += (i ? L"\r\n" : L"") + std::to_wstring(i);
  SetWindowTextW(w.memStatus, full.c_str());
  w.AddMemoLine("next");
  w.AddMemoLine("last");
  const Lines lines = w.MemoLines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kMemoLineLimit));
  EXPECT_EQ(lines.front(), "2");
  EXPECT_EQ(lines.back(), "last");
}

TEST_F(MainWindowTest, GoDuringARunStopsItAndTheWindowComesBack) {
  AddNetworkFolder("PC01/share");
  const std::string a = cwd.Write("a.txt", "A");
  const std::string b = cwd.Write("b.txt", "B");
  net.Write("PC01/share/a.txt", "old");
  exe.Write("Pelmo.ini", "[Setting]\r\nConfirmOverWrite=1\r\nButOldIsIgnore=0\r\nSaveLog=1\r\n");
  WriteList({a, b}, {"PC01/share"});
  TfrmMain& w = Start();

  struct During {
    int picture = -1;
    bool sourcePaneEnabled = true;
    bool closed = false;
  } during;
  BoxAnswerer answerer;
  answerer.Then([&](HWND box) {
    during.picture = ButtonPicture(CommandId::Go);
    during.sourcePaneEnabled = IsWindowEnabled(w.pnlLeft) != 0;
    // Closing is refused during a run and asks it to stop, as Go does.
    SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
    during.closed = !IsWindow(w.Handle());
    PressButton(box, IDYES);
  });
  Command(CommandId::Go);
  EXPECT_EQ(during.picture, kGoRunningPicture);
  EXPECT_FALSE(during.sourcePaneEnabled);
  EXPECT_FALSE(during.closed);
  EXPECT_TRUE(HasLineEndingWith(w.MemoLines(), " 配布中止"));
  EXPECT_FALSE(net.Exists("PC01/share/b.txt"));
  EXPECT_EQ(ButtonPicture(CommandId::Go), kGoPicture);
  EXPECT_TRUE(IsWindowEnabled(w.pnlLeft));
  EXPECT_EQ(StateOf(NodeOf("\\\\PC01\\share")), kStateFailed);
}

TEST_F(MainWindowTest, AListSavedUnderANewNameLoadsBackItsSourcesAndMarks) {
  AddNetworkFolder("PC01/share");
  const std::string a = cwd.Write("a.txt", "A");
  WriteList({a}, {"PC01/share"});
  TfrmMain& w = Start();
  const std::string saved = cwd / "night.lst";
  dialogs.saveResults.push_back(saved);
  Command(CommandId::SaveAsList);
  EXPECT_EQ(WindowText(w.Handle()), std::string(kAppTitle) + " [" + saved + "]");

  Command(CommandId::CancelAllFile);
  Command(CommandId::ClearMark);
  ASSERT_EQ(ListCount(), 0);
  dialogs.openResults.push_back({saved});
  Command(CommandId::OpenList);
  ASSERT_EQ(ListCount(), 1);
  EXPECT_EQ(ListRow(0)[0], a);
  EXPECT_EQ(StateOf(NodeOf("\\\\PC01\\share")), kStateMarked);
  EXPECT_EQ(WindowText(w.lblHaisinsakisu), "1箇所");
}

TEST_F(MainWindowTest, TheSettingsPlaceTheWindowAndComeBackAsTheUserLeftThem) {
  exe.Write("Pelmo.ini",
            "[Setting]\r\nLeft=40\r\nTop=30\r\nClientWidth=700\r\nClientHeight=480\r\n"
            "SourceWidth=300\r\nLogHeight=100\r\nColumn0Width=150\r\nColumn1Width=90\r\n"
            "Column2Width=60\r\nConfirmOverWrite=0\r\nButOldIsIgnore=1\r\nIgnoreError=1\r\n"
            "SaveLog=1\r\n");
  TfrmMain& w = Start({"-o"});
  RECT client, left, mid;
  GetClientRect(w.Handle(), &client);
  GetWindowRect(w.pnlLeft, &left);
  GetWindowRect(w.pnlMid, &mid);
  EXPECT_EQ(client.right, 700);
  EXPECT_EQ(client.bottom, 480);
  EXPECT_EQ(left.right - left.left, 300);
  EXPECT_EQ(mid.bottom - mid.top, 100);
  EXPECT_EQ(ListView_GetColumnWidth(w.lstFile, 0), 150);
  EXPECT_FALSE(MenuChecked(CommandId::ConfirmOverWrite));
  EXPECT_FALSE(MenuEnabled(CommandId::WriteIfOld));
  EXPECT_FALSE(ButtonEnabled(CommandId::WriteIfOld));
  EXPECT_TRUE(ButtonChecked(CommandId::IgnoreError));

  // The user widens a column and moves the window; shutdown writes what the window shows.
  ListView_SetColumnWidth(w.lstFile, 2, 120);
  SetWindowPos(w.Handle(), nullptr, 60, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  window->FormDestroy();
  window.reset();
  const std::string ini = exe.Read("Pelmo.ini");
  for (const char* line : {"Left=60\r\n", "Top=50\r\n", "ClientWidth=700\r\n",
                           "ClientHeight=480\r\n", "SourceWidth=300\r\n", "LogHeight=100\r\n",
                           "Column2Width=120\r\n", "ConfirmOverWrite=0\r\n", "IgnoreError=1\r\n"}) {
    EXPECT_NE(ini.find(line), std::string::npos) << line;
  }
  EXPECT_FALSE(exe.Exists("Pelmo.lst"));  // -o
}

}  // namespace
}  // namespace tolvane::test
