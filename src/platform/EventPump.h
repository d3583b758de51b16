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

  // The pause made after each copied file and each listed network item: it keeps the window
  // alive but costs time. 0 leaves the sleep out; pending events still run.
  static constexpr int kDefaultPauseMs = 10;
  void SetPause(int milliseconds) { pauseMs_ = milliseconds; }
  int PauseMs() const { return pauseMs_; }
  void Pause() {
    if (pauseMs_ > 0) Sleep(pauseMs_);
    ProcessPendingEvents();
  }

 private:
  int pauseMs_ = kDefaultPauseMs;
};

}  // namespace tolvane
