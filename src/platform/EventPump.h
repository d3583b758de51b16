#pragma once

#include <chrono>
#include <thread>

namespace tolvane {

// Keeps the window alive during long work on the window thread: the logic pauses briefly,
// then lets pending window events run (which may re-enter the main window). While a run's
// workers copy, the window thread waits here for window events and for the workers' news.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void Sleep(int milliseconds) = 0;
  virtual void ProcessPendingEvents() = 0;

  // Window thread: runs window events as they come until Wake is called (also when it was
  // called since the last wait) or maxMs pass, then returns. The default takes a short nap.
  virtual void WaitForEvents(int maxMs) {
    Sleep(maxMs < 5 ? maxMs : 5);
    ProcessPendingEvents();
  }
  // Any thread: the pause a run's worker makes after each copied file (the Wait setting).
  virtual void PauseWorker(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  // Any thread: makes the window thread's WaitForEvents return soon. A posted message on the
  // window thread's queue; it may be lost to a modal dialog's loop, which WaitForEvents'
  // callers allow for.
  virtual void Wake() {}

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
