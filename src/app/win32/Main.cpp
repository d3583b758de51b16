// The Win32 main window: its controls, built from the command table, and its window procedure.
#include "app/win32/Main.h"

#include <algorithm>

#include "app/core/Commands.h"
#include "app/win32/Win32Pictures.h"
#include "app/win32/Win32Platform.h"
#include "app/win32/Win32Window.h"
#include "common/AppInfo.h"
#include "platform/win32/WideText.h"

namespace tolvane {
namespace {

constexpr wchar_t kMainClass[] = L"TfrmMain";
constexpr wchar_t kPanelClass[] = L"TolvanePanel";
constexpr int kToolBarHeight = 28;
constexpr int kStatusBarHeight = 21;
constexpr int kSplitterV = 2;  // splV, between the source list and the tree
constexpr int kSplitterH = 3;  // splH, above the status log
// The strip above the tree, as designed; taller where the system's font needs it.
constexpr int kDesignedStripHeight = 16;
constexpr int kMinimumWidth = 480, kMinimumHeight = 360;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// A panel: draws its bevel and passes its children's notifications to the main window.
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
    case WM_COMMAND:
    // A control passes an unhandled right click, Shift+F10 or the menu key to its parent: the
    // main window shows the control's pop-up menu.
    case WM_CONTEXTMENU:
      return SendMessageW(GetAncestor(window, GA_ROOT), message, wParam, lParam);
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT r;
      GetClientRect(window, &r);
      const auto edge = static_cast<UINT>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (edge) DrawEdge(dc, &r, edge, BF_RECT);
      EndPaint(window, &paint);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClasses() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = PanelProc;
    wc.lpszClassName = kPanelClass;
    RegisterClassExW(&wc);
    return true;
  }();
  (void)registered;
}

HWND MakePanel(HWND parent, UINT edge) {
  HWND panel = CreateWindowExW(0, kPanelClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                               0, 10, 10, parent, nullptr, Instance(), nullptr);
  SetWindowLongPtrW(panel, GWLP_USERDATA, static_cast<LONG_PTR>(edge));
  return panel;
}

HMENU BuildMenu(CommandPlace place, bool popup, std::vector<HBITMAP>& bitmaps) {
  HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
  for (const CommandItem* item : CommandItemsOf(place)) {
    if (item->IsSeparator()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    if (item->submenu) {
      HMENU sub = BuildMenu(*item->submenu, true, bitmaps);
      AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                  Widen(item->caption).c_str());
      continue;
    }
    // A key of its own is shown after a tab, as menus show keys.
    std::wstring caption = Widen(item->caption);
    if (*CommandShortcut(item->id)) caption += L"\t" + Widen(CommandShortcut(item->id));
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item->id), caption.c_str());
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    if (item->radio) {
      // One choice of several: its check mark is a dot.
      info.fMask = MIIM_FTYPE;
      info.fType = MFT_STRING | MFT_RADIOCHECK;
    }
    if (item->picture >= 0) {
      HBITMAP bitmap = CreateMenuBitmap(item->picture);
      bitmaps.push_back(bitmap);
      info.fMask |= MIIM_BITMAP;
      info.hbmpItem = bitmap;
    }
    if (info.fMask) SetMenuItemInfoW(menu, static_cast<UINT>(item->id), FALSE, &info);
  }
  return menu;
}

}  // namespace

TfrmMain::TfrmMain(MainServices services, StartupInfo startup)
    : controller_(std::move(services), std::move(startup)) {
  RegisterClasses();
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = kMainClass;
    wc.hIcon = CreateApplicationIcon();
    wc.hIconSm = wc.hIcon;
    RegisterClassExW(&wc);
    return true;
  }();
  (void)registered;
  font_ = DesignFont(L"ＭＳ Ｐゴシック", 12, SHIFTJIS_CHARSET);
  stripHeight_ = std::max<int>(kDesignedStripHeight, FontMetrics(font_).tmHeight + 2);
  toolbarImages_ = CreateToolbarImageList();
  stateImages_ = CreateStateImageList();
  nodeImages_ = CreateNodeImageList();
  CreateMenus();
  // Design size 737 by 553, centred on the desktop until the settings place it.
  const int width = 737, height = 553;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  frmMain = CreateWindowExW(0, kMainClass, Widen(kAppTitle).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            work.left + (work.right - work.left - width) / 2,
                            work.top + (work.bottom - work.top - height) / 2, width, height,
                            nullptr, MainMenu1, Instance(), this);
  CreateToolBar();
  CreateComponents();
  controller_.Sources().SetListener(this);
  controller_.Tree().SetListener(this);
  controller_.AttachView(*this);
  SetKeyboardHandler(frmMain, PreTranslate);
  SetTimer(frmMain, kTimer1, 1000, nullptr);
  Layout();
}

TfrmMain::~TfrmMain() {
  controller_.Sources().SetListener(nullptr);
  controller_.Tree().SetListener(nullptr);
  SetKeyboardHandler(nullptr, nullptr);
  if (frmMain) {
    KillTimer(frmMain, kTimer1);
    SetWindowLongPtrW(frmMain, GWLP_USERDATA, 0);
    DestroyWindow(frmMain);
  }
  if (popFile) DestroyMenu(popFile);
  if (popFolder) DestroyMenu(popFolder);
  for (HBITMAP b : menuBitmaps_) DeleteObject(b);
  ImageList_Destroy(toolbarImages_);
  ImageList_Destroy(stateImages_);
  ImageList_Destroy(nodeImages_);
  DeleteObject(font_);
}

void TfrmMain::CreateMenus() {
  MainMenu1 = CreateMenu();
  for (const MainMenuInfo& menu : MainMenus()) {
    HMENU sub = BuildMenu(menu.place, true, menuBitmaps_);
    AppendMenuW(MainMenu1, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                Widen(menu.caption).c_str());
  }
  popFile = BuildMenu(CommandPlace::FilePopup, true, menuBitmaps_);
  popFolder = BuildMenu(CommandPlace::FolderPopup, true, menuBitmaps_);
}

void TfrmMain::CreateToolBar() {
  ToolBar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                            WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                                CCS_NOPARENTALIGN | CCS_NODIVIDER,
                            0, 0, 10, kToolBarHeight, frmMain, nullptr, Instance(), nullptr);
  SendMessageW(ToolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(ToolBar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_));
  SendMessageW(ToolBar, TB_SETINDENT, 10, 0);
  std::vector<TBBUTTON> buttons;
  for (const CommandItem* item : CommandItemsOf(CommandPlace::ToolBar)) {
    TBBUTTON b{};
    if (item->IsSeparator()) {
      b.iBitmap = item->separatorWidth;
      b.fsStyle = BTNS_SEP;
    } else {
      b.iBitmap = item->picture;
      b.idCommand = static_cast<int>(item->id);
      b.fsState = TBSTATE_ENABLED;
      b.fsStyle = static_cast<BYTE>(BTNS_BUTTON | (item->check ? BTNS_CHECK : 0));
      // The caption is carried, not shown: the buttons show their picture only.
      hints_[item->id] = item->hint;
    }
    buttons.push_back(b);
  }
  SendMessageW(ToolBar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
}

void TfrmMain::CreateComponents() {
  const auto make = [this](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style,
                           HWND parent) {
    HWND w = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                             parent, nullptr, Instance(), nullptr);
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return w;
  };
  pnlLeft = MakePanel(frmMain, BDR_SUNKENOUTER);
  pnlRight = MakePanel(frmMain, BDR_SUNKENOUTER);
  pnlMid = MakePanel(frmMain, BDR_SUNKENINNER);
  Panel2 = MakePanel(pnlRight, BDR_RAISEDINNER);

  lstFile = make(0, WC_LISTVIEWW, nullptr,
                 WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, pnlLeft);
  ListView_SetExtendedListViewStyle(lstFile, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  struct Column {
    const char* caption;
    int width;
    int format;
  };
  const Column columns[] = {{"配布ファイル名", 200, LVCFMT_LEFT},
                            {"更新日", 70, LVCFMT_CENTER},
                            {"サイズ", 80, LVCFMT_RIGHT}};
  for (int i = 0; i < 3; ++i) {
    std::wstring caption = Widen(columns[i].caption);
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    c.fmt = columns[i].format;
    c.cx = columns[i].width;
    c.pszText = caption.data();
    SendMessageW(lstFile, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
  }

  Label2 = make(0, L"STATIC", Widen("配布先").c_str(), SS_NOPREFIX, Panel2);
  lblHaisinsakisu = make(0, L"STATIC", nullptr, SS_NOPREFIX, Panel2);
  treFolder = make(0, WC_TREEVIEWW, nullptr,
                   WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                       TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
                   pnlRight);
  SendMessageW(treFolder, TVM_SETINDENT, 19, 0);
  SendMessageW(treFolder, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(nodeImages_));
  SendMessageW(treFolder, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(stateImages_));
  SetWindowSubclass(treFolder, TreeProc, 1, reinterpret_cast<DWORD_PTR>(this));

  memStatus = make(0, L"EDIT", nullptr,
                   WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                       ES_AUTOHSCROLL | ES_NOHIDESEL,
                   pnlMid);
  SendMessageW(memStatus, EM_SETLIMITTEXT, 0, 0);

  stbMain = make(0, STATUSCLASSNAMEW, nullptr, 0, frmMain);
  SendMessageW(stbMain, SB_SETMINHEIGHT, kStatusBarHeight, 0);
}

TfrmMain::Splitter TfrmMain::SplitterAt(int x, int y) const {
  RECT left, mid;
  GetWindowRect(pnlLeft, &left);
  GetWindowRect(pnlMid, &mid);
  MapWindowPoints(nullptr, frmMain, reinterpret_cast<POINT*>(&left), 2);
  MapWindowPoints(nullptr, frmMain, reinterpret_cast<POINT*>(&mid), 2);
  if (y >= left.top && y < left.bottom && x >= left.right && x < left.right + kSplitterV)
    return Splitter::Vertical;
  if (y >= mid.top - kSplitterH && y < mid.top && x >= mid.left && x < mid.right)
    return Splitter::Horizontal;
  return Splitter::None;
}

void TfrmMain::Layout() {
  if (!frmMain) return;
  RECT client;
  GetClientRect(frmMain, &client);
  const int width = client.right, height = client.bottom;
  MoveWindow(ToolBar, 0, 0, width, kToolBarHeight, TRUE);
  SendMessageW(stbMain, WM_SIZE, 0, 0);
  RECT status;
  GetWindowRect(stbMain, &status);
  const int statusHeight = status.bottom - status.top;
  const int top = kToolBarHeight;
  const int bottom = std::max(top, height - statusHeight);
  // The panes keep their sizes; only what cannot fit is cut, and the values stay as set.
  const int log = std::clamp(logHeight_, 0, std::max(0, bottom - top - kSplitterH));
  const int upper = std::max(0, bottom - top - log - kSplitterH);
  const int left = std::clamp(sourceWidth_, 0, std::max(0, width - kSplitterV));
  MoveWindow(pnlMid, 0, bottom - log, width, log, TRUE);
  MoveWindow(pnlLeft, 0, top, left, upper, TRUE);
  const int rightX = left + kSplitterV;
  const int rightWidth = std::max(0, width - rightX);
  MoveWindow(pnlRight, rightX, top, rightWidth, upper, TRUE);
  MoveWindow(lstFile, 1, 1, std::max(0, left - 2), std::max(0, upper - 2), TRUE);
  MoveWindow(Panel2, 1, 1, std::max(0, rightWidth - 2), stripHeight_, TRUE);
  // Panel1 (96 wide) at the right end of the strip: "配布先" and the count (47 wide).
  const int strip = std::max(0, rightWidth - 2);
  MoveWindow(Label2, strip - 96 + 2, 1, 96 - 47 - 2, stripHeight_ - 2, TRUE);
  MoveWindow(lblHaisinsakisu, strip - 47, 1, 47, stripHeight_ - 2, TRUE);
  MoveWindow(treFolder, 1, 1 + stripHeight_, std::max(0, rightWidth - 2),
             std::max(0, upper - 2 - stripHeight_), TRUE);
  MoveWindow(memStatus, 1, 1, std::max(0, width - 2), std::max(0, log - 2), TRUE);
  // The children too: the status bar's dividers and the strip's labels are drawn afresh where
  // they moved.
  RedrawWindow(frmMain, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TfrmMain::FormCreate() {
  controller_.Guarded([this] { controller_.FormCreate(); });
}

void TfrmMain::FormDestroy() {
  controller_.Guarded([this] { controller_.FormDestroy(); });
}

void TfrmMain::Show() {
  ShowWindow(frmMain, SW_SHOW);
  UpdateWindow(frmMain);
  controller_.Guarded([this] { controller_.FormShow(); });
}

int TfrmMain::RunMessageLoop() {
  MSG message;
  int result;
  while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (result == -1) return 0;
    DispatchWindowMessage(message);
  }
  return static_cast<int>(message.wParam);
}

void TfrmMain::OnCommand(int id, HWND from) {
  const auto command = static_cast<CommandId>(id);
  controller_.Guarded([&] {
    if (from && from == ToolBar) {
      // A check-style button has flipped itself already.
      const bool down = SendMessageW(ToolBar, TB_ISBUTTONCHECKED, static_cast<WPARAM>(id), 0) != 0;
      controller_.ToolButtonClicked(command, down);
    } else {
      controller_.Execute(command);
    }
  });
}

void TfrmMain::OnDropFiles(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(length);
    paths.push_back(Narrow(path));
  }
  DragFinish(drop);
  SetForegroundWindow(frmMain);
  controller_.Guarded([&] { controller_.DropFiles(paths); });
}

void TfrmMain::OnContextMenu(HWND from, int x, int y) {
  HMENU menu = from == lstFile ? popFile : from == treFolder ? popFolder : nullptr;
  if (!menu) return;
  if (x == -1 && y == -1) {  // from the keyboard: at the control's top left
    RECT r;
    GetWindowRect(from, &r);
    x = r.left;
    y = r.top;
  }
  const int id = static_cast<int>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, frmMain, nullptr));
  if (id != 0) OnCommand(id, nullptr);
}

bool TfrmMain::OnSplitterPress(int x, int y) {
  dragging_ = SplitterAt(x, y);
  if (dragging_ == Splitter::None) return false;
  SetCapture(frmMain);
  return true;
}

void TfrmMain::OnSplitterMove(int x, int y) {
  RECT client;
  GetClientRect(frmMain, &client);
  if (dragging_ == Splitter::Vertical) {
    sourceWidth_ = std::clamp(x, 1, std::max(1, static_cast<int>(client.right) - kSplitterV - 1));
  } else if (dragging_ == Splitter::Horizontal) {
    RECT status;
    GetWindowRect(stbMain, &status);
    const int bottom = client.bottom - (status.bottom - status.top);
    logHeight_ = std::clamp(bottom - y - kSplitterH, 1,
                            std::max(1, bottom - kToolBarHeight - kSplitterH - 1));
  }
  Layout();
}

LRESULT CALLBACK TfrmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TfrmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->frmMain = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETMINMAXINFO: {
      // Small enough for any screen, large enough that every pane keeps a usable size.
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize.x = kMinimumWidth;
      limits->ptMinTrackSize.y = kMinimumHeight;
      return 0;
    }
    case WM_SIZE:
      Layout();
      return 0;
    case WM_COMMAND:
      if (lParam == 0 || reinterpret_cast<HWND>(lParam) == ToolBar) {
        OnCommand(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
      }
      break;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case kTreeClicked:
      controller_.Guarded([this] { controller_.treFolderClick(); });
      return 0;
    case WM_TIMER:
      if (wParam == kTimer1) controller_.Guarded([this] { controller_.Timer1Timer(); });
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_CONTEXTMENU:
      OnContextMenu(reinterpret_cast<HWND>(wParam), static_cast<short>(LOWORD(lParam)),
                    static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_CLOSE: {
      bool allowed = false;
      controller_.Guarded([&] { allowed = controller_.FormCloseQuery(); });
      if (allowed) EndLoop(0);
      return 0;
    }
    case WM_SETCURSOR:
      if (HCURSOR shape = Win32Cursor::ShapeCursor()) {
        SetCursor(shape);
        return TRUE;
      }
      if (reinterpret_cast<HWND>(wParam) == frmMain && LOWORD(lParam) == HTCLIENT) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(frmMain, &p);
        const Splitter s = SplitterAt(p.x, p.y);
        if (s != Splitter::None) {
          SetCursor(LoadCursorW(nullptr, s == Splitter::Vertical ? IDC_SIZEWE : IDC_SIZENS));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      if (OnSplitterPress(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))))
        return 0;
      break;
    case WM_MOUSEMOVE:
      if (dragging_ != Splitter::None) {
        OnSplitterMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
      }
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_ != Splitter::None) {
        dragging_ = Splitter::None;
        if (message == WM_LBUTTONUP) ReleaseCapture();
        return 0;
      }
      break;
  }
  return DefWindowProcW(frmMain, message, wParam, lParam);
}

bool TfrmMain::PreTranslate(HWND window, MSG& message) {
  if (message.message != WM_KEYDOWN || (message.wParam != VK_TAB && message.wParam != VK_F5))
    return false;
  auto* self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return false;
  if (GetAncestor(message.hwnd, GA_ROOT) != window) return false;
  if (message.wParam == VK_F5) {
    // As the menu item would, also while it is disabled: the controller refuses then.
    self->OnCommand(static_cast<int>(CommandId::Refresh), nullptr);
    return true;
  }
  return self->TabToNextPane((GetKeyState(VK_SHIFT) & 0x8000) != 0);
}

bool TfrmMain::TabToNextPane(bool backwards) {
  // The tab order: source list, destination tree, status memo.
  const HWND order[] = {lstFile, treFolder, memStatus};
  const HWND focus = GetFocus();
  int at = -1;
  for (int i = 0; i < 3; ++i) {
    if (focus == order[i] || IsChild(order[i], focus)) at = i;
  }
  if (at < 0) return false;
  for (int step = 1; step <= 3; ++step) {
    const int next = (at + (backwards ? 3 - step : step)) % 3;
    if (IsWindowEnabled(order[next]) && IsWindowEnabled(GetParent(order[next])) &&
        IsWindowVisible(order[next])) {
      SetFocus(order[next]);
      return true;
    }
  }
  return true;
}

}  // namespace tolvane
