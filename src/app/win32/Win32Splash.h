#pragma once

#include "platform/win32/WindowsApi.h"

namespace tolvane {

// The splash window: a borderless 332 by 75 window centred on the desktop that says the network
// is being read while the main window builds itself. It has no owner and no behaviour.
class TfrmSplash {
 public:
  TfrmSplash();
  ~TfrmSplash();
  TfrmSplash(const TfrmSplash&) = delete;
  TfrmSplash& operator=(const TfrmSplash&) = delete;

  // Shows the window and paints it at once: the message loop does not run until start-up is over.
  void ShowNow();
  HWND Handle() const { return frmSplash_; }

  HWND lblMessage = nullptr;
  // Where the three pictures are drawn (top left, client coordinates), in drawing order.
  POINT imgIcon1{28, 20};
  POINT imgIcon2{72, 20};
  POINT imgIcon3{116, 24};

 private:
  // Puts the second and third pictures on the first, the third uppermost: they make one picture.
  void FormCreate();
  void Paint(HDC dc);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND frmSplash_ = nullptr;
  HFONT font_ = nullptr;
  HICON icons_[3] = {};
};

}  // namespace tolvane
