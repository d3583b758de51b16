#include "platform/LocalTime.h"

#include <ctime>

namespace tolvane {
namespace {

LocalDateTime FromTm(const std::tm& tm) {
  return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                       tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

}  // namespace

std::optional<LocalDateTime> ToLocalFileDate(FileTime time) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return std::nullopt;
  LocalDateTime local = FromTm(tm);
  if (local.year < 1980 || local.year > 2107) return std::nullopt;
  local.second -= local.second % 2;
  return local;
}

LocalDateTime SystemClock::Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return FromTm(tm);
}

}  // namespace tolvane
