#include "BoxAnswerer.h"

#include <algorithm>

#include "app/win32/Win32Window.h"

namespace tolvane::test {
namespace {

std::string ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  std::string narrow;
  for (wchar_t c : std::wstring(name)) narrow += static_cast<char>(c);
  return narrow;
}

BOOL CALLBACK CollectBoxes(HWND window, LPARAM data) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window) && ClassOf(window) == "#32770")
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChildren(HWND child, LPARAM data) {
  auto* box = reinterpret_cast<SeenBox*>(data);
  const std::string cls = ClassOf(child);
  const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
  if (cls == "Button" && (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON && IsWindowVisible(child))
    box->buttons.push_back(WindowText(child));
  if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON &&
      SendMessageW(child, STM_GETICON, 0, 0) != 0)
    box->hasIcon = true;
  return TRUE;
}

}  // namespace

void PressButton(HWND box, int id) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

BoxAnswerer::BoxAnswerer() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  thread_ = std::thread([this] { Run(); });
}

BoxAnswerer::~BoxAnswerer() {
  SetEvent(stop_);
  thread_.join();
  CloseHandle(stop_);
}

void BoxAnswerer::Press(int buttonId) {
  Then([buttonId](HWND box) { PressButton(box, buttonId); });
}

void BoxAnswerer::Then(Action action) {
  std::lock_guard lock(mutex_);
  actions_.push_back(std::move(action));
}

std::vector<SeenBox> BoxAnswerer::Seen() {
  std::lock_guard lock(mutex_);
  return seen_;
}

int BoxAnswerer::Unexpected() {
  std::lock_guard lock(mutex_);
  return unexpected_;
}

std::size_t BoxAnswerer::Pending() {
  std::lock_guard lock(mutex_);
  return actions_.size();
}

void BoxAnswerer::Run() {
  // Looks for new boxes until told to stop; a box is modal, so its thread waits meanwhile.
  while (WaitForSingleObject(stop_, 10) == WAIT_TIMEOUT) {
    std::vector<HWND> boxes;
    EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&boxes));
    for (HWND box : boxes) {
      Action action;
      {
        std::lock_guard lock(mutex_);
        if (std::find(handled_.begin(), handled_.end(), box) != handled_.end()) continue;
        handled_.push_back(box);
        SeenBox seen;
        seen.caption = WindowText(box);
        if (HWND text = GetDlgItem(box, 0xFFFF)) seen.text = WindowText(text);
        EnumChildWindows(box, CollectChildren, reinterpret_cast<LPARAM>(&seen));
        seen_.push_back(seen);
        if (actions_.empty()) {
          ++unexpected_;
        } else {
          action = std::move(actions_.front());
          actions_.erase(actions_.begin());
        }
      }
      if (action) {
        action(box);
      } else {
        PressButton(box, GetDlgItem(box, IDCANCEL) ? IDCANCEL : IDOK);
      }
    }
    // A closed box's handle may be reused by a later one.
    std::lock_guard lock(mutex_);
    std::erase_if(handled_, [](HWND h) { return !IsWindow(h); });
  }
}

}  // namespace tolvane::test
