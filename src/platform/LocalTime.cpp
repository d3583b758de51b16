#include "platform/LocalTime.h"

#include <cstdio>

namespace tolvane {

std::string TwoDigits(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

std::chrono::milliseconds SystemClock::Ticks() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

int CompareLocal(const LocalDateTime& a, const LocalDateTime& b) {
  const int fields[2][6] = {{a.year, a.month, a.day, a.hour, a.minute, a.second},
                            {b.year, b.month, b.day, b.hour, b.minute, b.second}};
  for (int i = 0; i < 6; ++i) {
    if (fields[0][i] != fields[1][i]) return fields[0][i] < fields[1][i] ? -1 : 1;
  }
  return 0;
}

}  // namespace tolvane
