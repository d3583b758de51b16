#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/WindowsApi.h"

namespace tolvane::test {

// What a modal box (any #32770 window of this process) showed.
struct SeenBox {
  std::string caption;
  std::string text;                  // the message (the static control 0xFFFF), if any
  std::vector<std::string> buttons;  // the captions of its push buttons, in child order
  bool hasIcon = false;
};

// Answers the modal boxes that the code under test raises, on a thread of its own, so that
// nothing blocks: each box that appears gets the next scripted action. A box that appears with
// no action left is closed with its cancel (or OK) command and counted as unexpected.
class BoxAnswerer {
 public:
  using Action = std::function<void(HWND box)>;

  BoxAnswerer();
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Presses the button with this id (IDYES, IDNO, IDRETRY, ...).
  void Press(int buttonId);
  void Then(Action action);

  std::vector<SeenBox> Seen();
  int Unexpected();
  // Actions not used yet.
  std::size_t Pending();

 private:
  void Run();

  std::mutex mutex_;
  std::vector<Action> actions_;
  std::vector<SeenBox> seen_;
  std::vector<HWND> handled_;
  int unexpected_ = 0;
  HANDLE stop_;
  std::thread thread_;
};

// Presses a button of a box from another thread (posted, as a click would be).
void PressButton(HWND box, int id);

}  // namespace tolvane::test
