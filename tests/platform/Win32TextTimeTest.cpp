#include <gtest/gtest.h>

#include "platform/Encoding.h"
#include "platform/LocalTime.h"
#include "platform/win32/WindowsApi.h"
#include "support/NativeFileSystem.h"

namespace tolvane {
namespace {

TEST(Win32TextTest, FilesHoldTheAnsiCodePageUnlessItCannotHoldTheText) {
  if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page here is " << GetACP() << ", not 932";
  struct Case {
    const char* utf8;
    std::string written;
  } cases[] = {
      {"Left=1\r\n", "Left=1\r\n"},
      {"表\\テスト", "\x95\x5C\\\x83\x65\x83\x58\x83\x67"},
      {"▼起動", "\x81\xA5\x8BN\x93\xAE"},
      // Not in the Japanese code page: kept as UTF-8 rather than turned into "?".
      {"Ελληνικά 表", "Ελληνικά 表"},
      {"😀", "😀"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToSystemText(c.utf8), c.written) << c.utf8;
    if (c.written != c.utf8) {
      EXPECT_EQ(FromSystemText(c.written), c.utf8) << c.utf8;
    }
  }
}

TEST(Win32TextTest, ShiftJisDecodesWithOneReplacementPerBadSequence) {
  struct Case {
    std::string bytes;
    const char* utf8;
  } cases[] = {
      {"\x95\x5C\\a", "表\\a"},
      {"\xB1\xB2", "ｱｲ"},               // half-width katakana, one byte each
      {"a\x81", "a\xEF\xBF\xBD"},       // a lead byte cut off at the end
      {"\x81\x20z", "\xEF\xBF\xBD z"},  // a lead byte before a byte that cannot follow it
      {"\xA0x", "\xEF\xBF\xBDx"},       // a byte that is no character at all
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Cp932ToUtf8(c.bytes), c.utf8) << c.bytes;
}

// The file time of a local wall-clock time, by the offset in force now (as the system applies).
FileTime FromLocal(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
  SYSTEMTIME st{static_cast<WORD>(year),   static_cast<WORD>(month), 0,
                static_cast<WORD>(day),    static_cast<WORD>(hour),  static_cast<WORD>(minute),
                static_cast<WORD>(second), static_cast<WORD>(ms)};
  FILETIME local;
  FILETIME utc;
  SystemTimeToFileTime(&st, &local);
  LocalFileTimeToFileTime(&local, &utc);
  const unsigned long long ticks =
      (static_cast<unsigned long long>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
  return FileTime(std::chrono::duration_cast<FileTime::duration>(
      std::chrono::duration<long long, std::ratio<1, 10000000>>(
          static_cast<long long>(ticks - 116444736000000000ull))));
}

TEST(Win32LocalTimeTest, PackedDatesStepByTwoSecondsWithinTheirYears) {
  struct Case {
    FileTime time;
    std::optional<LocalDateTime> local;
  } cases[] = {
      {FromLocal(2005, 4, 1, 12, 34, 56), LocalDateTime{2005, 4, 1, 12, 34, 56}},
      {FromLocal(2005, 4, 1, 12, 34, 57), LocalDateTime{2005, 4, 1, 12, 34, 56}},
      {FromLocal(2005, 4, 1, 12, 34, 57, 999), LocalDateTime{2005, 4, 1, 12, 34, 56}},
      {FromLocal(1980, 1, 1, 0, 0, 0), LocalDateTime{1980, 1, 1, 0, 0, 0}},
      {FromLocal(1979, 12, 31, 23, 59, 59), std::nullopt},
      {FromLocal(2107, 12, 31, 23, 59, 59), LocalDateTime{2107, 12, 31, 23, 59, 58}},
      {FileTime(std::chrono::seconds(-20000000000LL)), std::nullopt},  // before file times
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToLocalFileDate(c.time), c.local)
        << std::chrono::duration_cast<std::chrono::seconds>(c.time.time_since_epoch()).count();
  }
}

}  // namespace
}  // namespace tolvane
