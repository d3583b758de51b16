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

LRESULT CALLBACK TfrmMain::ResultsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      RECT r;
      GetClientRect(window, &r);
      MoveWindow(GetWindow(window, GW_CHILD), 0, 0, r.right, r.bottom, TRUE);
      return 0;
    }
    case WM_CLOSE:
      ShowWindow(window, SW_HIDE);  // kept until the next run brings it up to date
      return 0;
    case WM_NOTIFY: {
      // A failed destination's row is red.
      auto& draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
      if (draw.nmcd.hdr.code != NM_CUSTOMDRAW) break;
      if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        if (draw.nmcd.lItemlParam) draw.clrText = RGB(0xD0, 0x20, 0x20);
        return CDRF_DODEFAULT;
      }
      break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void TfrmMain::ShowResults(const ResultList& results, bool bringUp) {
  if (!dlgResults) {
    if (!bringUp) return;
    static const bool registered = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      wc.lpfnWndProc = ResultsProc;
      wc.lpszClassName = L"TolvaneResults";
      RegisterClassExW(&wc);
      return true;
    }();
    (void)registered;
    RECT owner;
    GetWindowRect(frmMain, &owner);
    dlgResults = CreateWindowExW(WS_EX_TOOLWINDOW, L"TolvaneResults", Widen(kResultsTitle).c_str(),
                                 WS_OVERLAPPEDWINDOW, owner.left + 40, owner.top + 60, 720, 300,
                                 frmMain, nullptr, GetModuleHandleW(nullptr), nullptr);
    lstResults = CreateWindowExW(
        0, WC_LISTVIEWW, nullptr,
        WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_SINGLESEL,
        0, 0, 10, 10, dlgResults, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(lstResults, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ListView_SetExtendedListViewStyle(lstResults, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (std::size_t i = 0; i < ResultList::kColumns; ++i) {
      std::wstring caption = Widen(ResultList::Headers()[i]);
      LVCOLUMNW c{};
      c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      c.fmt = (i > 0 && i + 1 < ResultList::kColumns) ? LVCFMT_RIGHT : LVCFMT_LEFT;
      c.cx = i == 0 ? 180 : i + 1 == ResultList::kColumns ? 240 : 56;
      c.pszText = caption.data();
      SendMessageW(lstResults, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
    }
    RECT client;
    GetClientRect(dlgResults, &client);
    MoveWindow(lstResults, 0, 0, client.right, client.bottom, FALSE);
  }
  SendMessageW(lstResults, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t r = 0; r < results.rows.size(); ++r) {
    for (std::size_t c = 0; c < ResultList::kColumns; ++c) {
      std::wstring text = Widen(results.rows[r][c]);
      LVITEMW item{};
      item.iItem = static_cast<int>(r);
      item.iSubItem = static_cast<int>(c);
      item.pszText = text.data();
      if (c == 0) {
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.lParam = results.failed[r] ? 1 : 0;
        SendMessageW(lstResults, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      } else {
        item.mask = LVIF_TEXT;
        SendMessageW(lstResults, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      }
    }
  }
  if (bringUp) {
    ShowWindow(dlgResults, SW_SHOWNORMAL);
    SetForegroundWindow(dlgResults);
  }
}

namespace {

// The preview box: a read-only text and a close button, sized with the box.
struct PreviewBox {
  std::wstring title, text;
  HFONT font;
};

void PlacePreviewControls(HWND box) {
  RECT r;
  GetClientRect(box, &r);
  MoveWindow(GetDlgItem(box, 100), 6, 6, r.right - 12, r.bottom - 46, TRUE);
  MoveWindow(GetDlgItem(box, IDOK), r.right - 86, r.bottom - 34, 80, 26, TRUE);
}

INT_PTR CALLBACK PreviewProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* p = reinterpret_cast<const PreviewBox*>(lParam);
      SetWindowTextW(box, p->title.c_str());
      const auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        HWND w = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 10,
                                 10, box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(p->font), FALSE);
        return w;
      };
      HWND lines = make(L"EDIT", L"",
                        WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                            ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                        100);
      // An edit control holds any length only when told so.
      SendMessageW(lines, EM_SETLIMITTEXT, 0, 0);
      SetWindowTextW(lines, p->text.c_str());
      make(L"BUTTON", L"閉じる", BS_DEFPUSHBUTTON, IDOK);
      SetClientSize(box, 640, 420);
      PlacePreviewControls(box);
      return TRUE;
    }
    case WM_SIZE:
      PlacePreviewControls(box);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(box, IDOK);
        return TRUE;
      }
      break;
    case WM_CLOSE:
      EndDialog(box, IDOK);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void TfrmMain::ShowPreview(const std::string& title, const std::string& text) {
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  PreviewBox preview{Widen(title), Widen(crlf), font_};
  // A box without items of its own: its controls are made when it opens.
  struct alignas(4) Template {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, caption;
  } box{};
  box.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | DS_CENTER;
  box.dialog.cx = 320;
  box.dialog.cy = 220;
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &box.dialog, frmMain, PreviewProc,
                          reinterpret_cast<LPARAM>(&preview));
}

}  // namespace tolvane
