#include <gtest/gtest.h>

#include "log/StatusLog.h"
#include "platform/Encoding.h"
#include "support/Fakes.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

TEST(StatusLogTest, StartAndEndLinesHaveTheirExactBytes) {
  struct Case {
    LocalDateTime t;
    const char* start;
    const char* end;
  } cases[] = {
      {{2005, 4, 1, 9, 15, 30}, "\n▼起動 2005/04/01 09:15:30", "▲終了 2005/04/01 09:15:30\n"},
      {{2026, 12, 8, 0, 0, 0}, "\n▼起動 2026/12/08", "▲終了 2026/12/08\n"},
      {{2026, 1, 2, 0, 0, 1}, "\n▼起動 2026/01/02 00:00:01", "▲終了 2026/01/02 00:00:01\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StartLine(c.t), c.start);
    EXPECT_EQ(EndLine(c.t), c.end);
  }
  EXPECT_EQ(RunStartLine({2005, 4, 1, 9, 6, 0}), "\n09:06 配布開始");
  EXPECT_EQ(RunEndLine({2005, 4, 1, 23, 59, 59}, false), "23:59 配布終了\n");
  EXPECT_EQ(RunEndLine({2005, 4, 1, 0, 0, 0}, true), "00:00 配布中止\n");
}

TEST(StatusLogTest, LineFeedsBecomeFileLinesAndVanishFromTheMemo) {
  test::TempDir dir;
  test::NativeFileSystem fs;
  test::VectorLogSink memo;
  bool save = true;
  StatusLog log(fs, memo);
  log.SetLogPath(dir / "Pelmo.log");
  log.SetSaveToFileSource([&] { return save; });

  log.AddLogLine("\n");
  log.AddLogLine("ab\ncd");
  log.AddLogLine(StartLine({2005, 4, 1, 0, 0, 0}));
  // In the system's text: UTF-8 on Linux, the ANSI code page on Windows.
  const std::string written = ToSystemText("\r\n\r\nab\r\ncd\r\n\r\n▼起動 2005/04/01\r\n");
  EXPECT_EQ(dir.Read("Pelmo.log"), written);
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"", "abcd", "▼起動 2005/04/01"}));

  save = false;
  log.AddLogLine("memo only");
  EXPECT_EQ(dir.Read("Pelmo.log"), written);
  EXPECT_EQ(memo.lines.back(), "memo only");

  // A log that cannot be written loses the line, not the memo.
  save = true;
  log.SetLogPath(dir / "missing-folder/Pelmo.log");
  log.AddLogLine("still shown");
  EXPECT_EQ(memo.lines.back(), "still shown");
  EXPECT_FALSE(dir.Exists("missing-folder"));
}

}  // namespace
}  // namespace tolvane
