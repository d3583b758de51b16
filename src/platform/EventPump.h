#pragma once

namespace tolvane {

// Keeps the window alive during long work on the one user-interface thread: the logic
// pauses briefly, then lets pending window events run (which may re-enter the main window).
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void Sleep(int milliseconds) = 0;
  virtual void ProcessPendingEvents() = 0;

  void SleepThenProcess(int milliseconds) {
    Sleep(milliseconds);
    ProcessPendingEvents();
  }
};

}  // namespace tolvane
