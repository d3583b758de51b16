#include "platform/LocalTime.h"

#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/WindowsApi.h"

namespace tolvane {

std::optional<LocalDateTime> ToLocalFileDate(FileTime time) {
  const unsigned long long ticks = ToFileTimeTicks(time);
  FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  FILETIME local;
  WORD date = 0;
  WORD dosTime = 0;
  // The packed date is what the folder search of the original program compared: local time
  // in 2-second steps, 1980 to 2107; anything else is no date at all.
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &dosTime)) {
    return std::nullopt;
  }
  return LocalDateTime{(date >> 9) + 1980, (date >> 5) & 0x0F,    date & 0x1F,
                       dosTime >> 11,      (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2};
}

LocalDateTime SystemClock::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalDateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace tolvane
