#include "app/win32/Win32Splash.h"

#include "app/win32/Win32Pictures.h"
#include "app/win32/Win32Platform.h"
#include "app/win32/Win32Window.h"
#include "platform/win32/WideText.h"

namespace tolvane {
namespace {

constexpr wchar_t kSplashClass[] = L"TfrmSplash";
constexpr int kWidth = 332;
constexpr int kHeight = 75;

}  // namespace

TfrmSplash::TfrmSplash() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kSplashClass;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  // No owner; a tool window, so that it never gets a task-bar button of its own. Not topmost:
  // an error box raised during start-up must not end up hidden behind it.
  frmSplash_ = CreateWindowExW(WS_EX_TOOLWINDOW, kSplashClass, L"frmSplash", WS_POPUP, x, y, kWidth,
                               kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  font_ = DesignFont(L"ＭＳ Ｐゴシック", 12, SHIFTJIS_CHARSET);
  lblMessage =
      CreateWindowExW(0, L"STATIC", Widen("ネットワーク情報を取得しています．．．").c_str(),
                      WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 96, 28, kWidth - 96 - 4, 16, frmSplash_,
                      nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(lblMessage, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  for (int i = 0; i < 3; ++i) icons_[i] = CreateSplashIcon(i + 1);
  SetWindowLongPtrW(frmSplash_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  FormCreate();
}

TfrmSplash::~TfrmSplash() {
  if (frmSplash_) DestroyWindow(frmSplash_);
  for (HICON icon : icons_) {
    if (icon) DestroyIcon(icon);
  }
  if (font_) DeleteObject(font_);
}

void TfrmSplash::FormCreate() {
  // Drawn with their masks on one spot, the third last: together they make one picture.
  imgIcon2 = imgIcon1;
  imgIcon3 = imgIcon1;
}

void TfrmSplash::Paint(HDC dc) {
  // Panel1: the whole window, raised.
  RECT client;
  GetClientRect(frmSplash_, &client);
  DrawEdge(dc, &client, EDGE_RAISED, BF_RECT);
  const POINT at[3] = {imgIcon1, imgIcon2, imgIcon3};
  for (int i = 0; i < 3; ++i) {
    DrawIconEx(dc, at[i].x, at[i].y, icons_[i], 32, 32, 0, nullptr, DI_NORMAL);
  }
}

void TfrmSplash::ShowNow() {
  ShowWindow(frmSplash_, SW_SHOWNOACTIVATE);
  UpdateWindow(frmSplash_);
}

LRESULT CALLBACK TfrmSplash::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TfrmSplash*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_PAINT && self) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    self->Paint(dc);
    EndPaint(window, &paint);
    return 0;
  }
  // The hourglass of start-up shows over the splash too.
  if (message == WM_SETCURSOR) {
    if (HCURSOR shape = Win32Cursor::ShapeCursor()) {
      SetCursor(shape);
      return TRUE;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tolvane
