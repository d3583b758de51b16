#pragma once

#include <chrono>

namespace tolvane {

// A moment on the local wall clock, as the log lines and the list's date column show it.
struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() = 0;
  // A clock that only goes forward, for measuring how long something took; no time of day.
  virtual std::chrono::milliseconds Ticks() = 0;
};

}  // namespace tolvane
