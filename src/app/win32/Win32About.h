#pragma once

#include <functional>
#include <string>

#include "app/core/ViewRules.h"
#include "platform/win32/WindowsApi.h"

namespace tolvane {

// The About box: product name, version and our web address, which opens in the browser when
// clicked. Made from the dialog resource each time it is shown.
class TdlgAbout {
 public:
  static constexpr const char* kWebAddress = tolvane::kWebAddress;

  explicit TdlgAbout(HWND owner);
  ~TdlgAbout();
  TdlgAbout(const TdlgAbout&) = delete;
  TdlgAbout& operator=(const TdlgAbout&) = delete;

  // The About command: caption, name and version set, then the box shown modally.
  int ShowAbout();

  // How the address is opened; the shell's "open" unless a test replaces it.
  void SetUrlOpener(std::function<void(const std::string&)> opener) {
    openUrl_ = std::move(opener);
  }
  // The box while it is shown, else null.
  HWND Handle() const { return dlgAbout_; }

 private:
  void FormShow();
  void stxRindleUrlClick();
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  HWND owner_;
  HWND dlgAbout_ = nullptr;
  HFONT font_ = nullptr;
  HFONT linkFont_ = nullptr;
  std::function<void(const std::string&)> openUrl_;
};

}  // namespace tolvane
