// What the controller tells the Win32 main window to show, and what it asks of it.
#include <algorithm>

#include "app/core/ViewRules.h"
#include "app/win32/Main.h"
#include "app/win32/Win32Window.h"
#include "platform/win32/WideText.h"

namespace tolvane {
namespace {

BOOL CALLBACK CollectScreen(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  auto* areas = reinterpret_cast<std::vector<ScreenRect>*>(data);
  const RECT& w = info.rcWork;
  const ScreenRect area{w.left, w.top, w.right - w.left, w.bottom - w.top};
  if (info.dwFlags & MONITORINFOF_PRIMARY) {
    areas->insert(areas->begin(), area);
  } else {
    areas->push_back(area);
  }
  return TRUE;
}

// The frame around the client area (title bar, borders, menu bar) for this window's styles.
RECT FrameOf(HWND window) {
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
                     GetMenu(window) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  return frame;
}

}  // namespace

void TfrmMain::AddMemoLine(const std::string& line) {
  const int end = GetWindowTextLengthW(memStatus);
  std::wstring text = Widen(line);
  if (end > 0) text.insert(0, L"\r\n");
  SendMessageW(memStatus, EM_SETSEL, static_cast<WPARAM>(end), end);
  SendMessageW(memStatus, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  // A bounded memo, however long a run: the oldest lines go.
  const auto lines = static_cast<int>(SendMessageW(memStatus, EM_GETLINECOUNT, 0, 0));
  if (lines > kMemoLineLimit) {
    const auto cut = SendMessageW(memStatus, EM_LINEINDEX, lines - kMemoLineLimit, 0);
    SendMessageW(memStatus, EM_SETSEL, 0, cut);
    SendMessageW(memStatus, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    const int length = GetWindowTextLengthW(memStatus);
    SendMessageW(memStatus, EM_SETSEL, length, length);
    SendMessageW(memStatus, EM_SCROLLCARET, 0, 0);
  }
}

void TfrmMain::ClearMemo() { SetWindowTextW(memStatus, L""); }

void TfrmMain::SetCaption(const std::string& caption) { SetWindowTextUtf8(frmMain, caption); }

void TfrmMain::SetCommandEnabled(CommandId id, bool enabled) {
  const UINT flags = MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED);
  for (HMENU menu : {MainMenu1, popFile, popFolder}) {
    EnableMenuItem(menu, static_cast<UINT>(id), flags);
  }
  SendMessageW(ToolBar, TB_ENABLEBUTTON, static_cast<WPARAM>(id), enabled);
}

void TfrmMain::SetCommandChecked(CommandId id, bool checked) {
  const UINT flags = MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED);
  for (HMENU menu : {MainMenu1, popFile, popFolder}) {
    CheckMenuItem(menu, static_cast<UINT>(id), flags);
  }
  SendMessageW(ToolBar, TB_CHECKBUTTON, static_cast<WPARAM>(id), checked);
}

void TfrmMain::SetButtonPicture(CommandId id, int picture) {
  SendMessageW(ToolBar, TB_CHANGEBITMAP, static_cast<WPARAM>(id), picture);
}

void TfrmMain::SetSourcePaneEnabled(bool enabled) { EnableWindow(pnlLeft, enabled); }

void TfrmMain::SetMarkCount(const std::string& text) { SetWindowTextUtf8(lblHaisinsakisu, text); }

void TfrmMain::SetStatusText(const std::string& text) {
  SendMessageW(stbMain, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void TfrmMain::SetProgressText(const std::string& text) {
  // A second part of the status bar, right of the folder's: a third of the bar, then the rest.
  RECT bar{};
  GetClientRect(stbMain, &bar);
  const int parts[2] = {bar.right / 3, -1};
  SendMessageW(stbMain, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  SendMessageW(stbMain, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

std::vector<std::string> TfrmMain::MemoLines() const {
  std::vector<std::string> lines;
  const std::string text = WindowText(memStatus);
  if (text.empty()) return lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

void TfrmMain::SelectMemoText(const MemoSelection& selection) {
  const auto first = SendMessageW(memStatus, EM_LINEINDEX, static_cast<WPARAM>(selection.line), 0);
  if (first < 0) return;
  SetFocus(memStatus);
  const auto start = static_cast<WPARAM>(first + selection.column);
  SendMessageW(memStatus, EM_SETSEL, start, static_cast<LPARAM>(start + selection.length));
  SendMessageW(memStatus, EM_SCROLLCARET, 0, 0);
}

std::vector<int> TfrmMain::SelectedSourceRows() const {
  std::vector<int> rows;
  int row = -1;
  while ((row = static_cast<int>(SendMessageW(lstFile, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                              LVNI_SELECTED))) >= 0) {
    rows.push_back(row);
  }
  return rows;
}

TreeNode* TfrmMain::SelectedNode() const {
  return NodeOf(treFolder, TreeView_GetSelection(treFolder));
}

void TfrmMain::FocusTree() { SetFocus(treFolder); }

WindowLayout TfrmMain::CurrentLayout() const {
  WindowLayout layout;
  // Where the window would be when restored, if it is minimised or maximised now.
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  RECT outer;
  GetWindowRect(frmMain, &outer);
  if ((IsIconic(frmMain) || IsZoomed(frmMain)) && GetWindowPlacement(frmMain, &placement)) {
    outer = placement.rcNormalPosition;
  }
  const RECT frame = FrameOf(frmMain);
  layout.geometry = {outer.left, outer.top, (outer.right - outer.left) - (frame.right - frame.left),
                     (outer.bottom - outer.top) - (frame.bottom - frame.top)};
  layout.sourceWidth = sourceWidth_;
  layout.logHeight = logHeight_;
  for (int i = 0; i < 3; ++i) {
    layout.columnWidths[static_cast<std::size_t>(i)] =
        static_cast<int>(SendMessageW(lstFile, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
  }
  return layout;
}

void TfrmMain::ApplyLayout(const WindowLayout& layout) {
  sourceWidth_ = layout.sourceWidth;
  logHeight_ = layout.logHeight;
  const RECT frame = FrameOf(frmMain);
  SetWindowPos(frmMain, nullptr, layout.geometry.left, layout.geometry.top,
               layout.geometry.width + (frame.right - frame.left),
               layout.geometry.height + (frame.bottom - frame.top), SWP_NOZORDER | SWP_NOACTIVATE);
  for (int i = 0; i < 3; ++i) {
    SendMessageW(lstFile, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                 layout.columnWidths[static_cast<std::size_t>(i)]);
  }
  Layout();
}

std::vector<ScreenRect> TfrmMain::ScreenAreas() const {
  std::vector<ScreenRect> areas;
  EnumDisplayMonitors(nullptr, nullptr, CollectScreen, reinterpret_cast<LPARAM>(&areas));
  return areas;
}

void TfrmMain::AcceptDroppedFiles() { DragAcceptFiles(frmMain, TRUE); }

void TfrmMain::CloseWindow() { SendMessageW(frmMain, WM_CLOSE, 0, 0); }

void TfrmMain::EndLoop(int exitCode) {
  loopEnded_ = true;
  exitCode_ = exitCode;
  PostQuitMessage(exitCode);
}

void TfrmMain::ShowAbout() {
  if (aboutHandler_) aboutHandler_();
}

}  // namespace tolvane
