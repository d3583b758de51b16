#include "app/win32/Win32About.h"

#include <algorithm>

#include "app/win32/Resource.h"
#include "app/win32/Win32Window.h"
#include "common/AppInfo.h"
#include "platform/win32/WideText.h"

namespace tolvane {
namespace {

// The designed placement, in pixels of the client area.
struct Placement {
  int id;
  int x, y, width, height;
};
constexpr Placement kPlacement[] = {
    {IDC_ABOUT_NAME, 8, 6, 261, 15},    {IDC_ABOUT_VERSION, 8, 26, 261, 15},
    {IDC_ABOUT_NOTICE, 8, 46, 261, 15}, {IDC_ABOUT_COMMENTS, 8, 67, 261, 15},
    {IDC_ABOUT_URL, 80, 85, 121, 17},   {IDOK, 102, 105, 75, 25},
};

}  // namespace

TdlgAbout::TdlgAbout(HWND owner)
    : owner_(owner), openUrl_([](const std::string& url) {
        ShellExecuteW(nullptr, L"open", Widen(url).c_str(), nullptr, nullptr, SW_SHOW);
      }) {
  font_ = DesignFont(L"MS Sans Serif", 15, SHIFTJIS_CHARSET);
  linkFont_ = DesignFont(L"MS Sans Serif", 11, ANSI_CHARSET, true);
}

TdlgAbout::~TdlgAbout() {
  DeleteObject(font_);
  DeleteObject(linkFont_);
}

int TdlgAbout::ShowAbout() {
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT),
                                         owner_, DialogProc, reinterpret_cast<LPARAM>(this));
  dlgAbout_ = nullptr;
  return static_cast<int>(result);
}

namespace {

// The height a line of text in font takes.
int LineHeight(HWND window, HFONT font) {
  const TEXTMETRICW metrics = FontMetrics(font, window);
  return metrics.tmHeight + metrics.tmExternalLeading;
}

}  // namespace

void TdlgAbout::FormShow() {
  // Each line as high as its font needs, where the font the system gives is taller than the
  // designed one: everything below moves down by what the lines above grew.
  const int textGrowth = std::max(0, LineHeight(dlgAbout_, font_) - 15);
  const int linkGrowth = std::max(0, LineHeight(dlgAbout_, linkFont_) - 17);
  SetClientSize(dlgAbout_, 278, 136 + 4 * textGrowth + linkGrowth);
  int shift = 0;
  for (const Placement& p : kPlacement) {
    HWND control = GetDlgItem(dlgAbout_, p.id);
    const int growth = p.id == IDC_ABOUT_URL ? linkGrowth : p.id == IDOK ? 0 : textGrowth;
    MoveWindow(control, p.x, p.y + shift, p.width, p.height + growth, FALSE);
    shift += growth;
    SendMessageW(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>(p.id == IDC_ABOUT_URL ? linkFont_ : font_), FALSE);
  }
  // Widened about its centre when the address does not fit the designed width.
  HWND link = GetDlgItem(dlgAbout_, IDC_ABOUT_URL);
  SetWindowTextUtf8(link, AboutBoxTexts().webAddress);
  HDC dc = GetDC(link);
  HGDIOBJ old = SelectObject(dc, linkFont_);
  SIZE extent{};
  const std::wstring address = Widen(kWebAddress);
  GetTextExtentPoint32W(dc, address.c_str(), static_cast<int>(address.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(link, dc);
  if (extent.cx + 4 > 121) {
    const int width = extent.cx + 4;
    MoveWindow(link, 80 + (121 - width) / 2, 85 + 4 * textGrowth, width, 17 + linkGrowth, FALSE);
  }
  // The texts the About command sets each time.
  const AboutTexts texts = AboutBoxTexts();
  SetWindowTextUtf8(dlgAbout_, texts.caption);
  SetWindowTextUtf8(GetDlgItem(dlgAbout_, IDC_ABOUT_NAME), texts.name);
  SetWindowTextUtf8(GetDlgItem(dlgAbout_, IDC_ABOUT_VERSION), texts.version);
  SetWindowTextUtf8(GetDlgItem(dlgAbout_, IDC_ABOUT_NOTICE), texts.notice);
  SetWindowTextUtf8(GetDlgItem(dlgAbout_, IDC_ABOUT_COMMENTS), texts.comments);
  // Centred over the main window.
  RECT ownerRect, box;
  GetWindowRect(dlgAbout_, &box);
  if (owner_ && GetWindowRect(owner_, &ownerRect)) {
    const int width = box.right - box.left, height = box.bottom - box.top;
    SetWindowPos(dlgAbout_, nullptr,
                 ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2,
                 ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TdlgAbout::stxRindleUrlClick() {
  if (openUrl_) openUrl_(WindowText(GetDlgItem(dlgAbout_, IDC_ABOUT_URL)));
}

INT_PTR CALLBACK TdlgAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TdlgAbout*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      self = reinterpret_cast<TdlgAbout*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      self->dlgAbout_ = dialog;
      self->FormShow();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          // Escape: the box has no cancel button, so it stays open.
          return TRUE;
        case IDC_ABOUT_URL:
          if (HIWORD(wParam) == STN_CLICKED && self) self->stxRindleUrlClick();
          return TRUE;
      }
      break;
    case WM_CLOSE:
      // The close box does close it (the dialog manager would turn it into the Escape command).
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_ABOUT_URL)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 255));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, IDC_ABOUT_URL)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace tolvane
