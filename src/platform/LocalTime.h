#pragma once

#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/FileSystem.h"

namespace tolvane {

// A file time in local time, reduced to the 2-second step of the packed file date that the
// original platform's searches report. Empty when it cannot be a packed date (before 1980
// or after 2107).
std::optional<LocalDateTime> ToLocalFileDate(FileTime time);

// A number of a date or time as two digits: 5 is "05".
std::string TwoDigits(int n);

// Orders two local times; negative, zero or positive.
int CompareLocal(const LocalDateTime& a, const LocalDateTime& b);

// The system clock.
class SystemClock : public Clock {
 public:
  LocalDateTime Now() override;
  std::chrono::milliseconds Ticks() override;
};

}  // namespace tolvane
