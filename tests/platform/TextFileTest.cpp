#include <gtest/gtest.h>

#include "platform/TextFile.h"
#include "support/FaultFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

using test::NativeFileSystem;
using test::TempDir;

TEST(TextFileTest, WritesCrLfLinesAndKeepsTheOldFileWhenTheWriteFails) {
  TempDir dir;
  NativeFileSystem real;
  test::FaultFileSystem fs(real);
  ASSERT_TRUE(WriteTextLines(fs, dir / "a.ini", {"[Setting]", "Left=1", ""}));
  EXPECT_EQ(dir.Read("a.ini"), "[Setting]\r\nLeft=1\r\n\r\n");

  fs.FailOn(test::FsOp::ReplaceFile);
  EXPECT_FALSE(WriteTextLines(fs, dir / "a.ini", {"[Setting]", "Left=2"}));
  EXPECT_EQ(dir.Read("a.ini"), "[Setting]\r\nLeft=1\r\n\r\n");

  ASSERT_TRUE(AppendTextLine(real, dir / "log", "\nfirst\nsecond"));
  ASSERT_TRUE(AppendTextLine(real, dir / "log", "third"));
  EXPECT_EQ(dir.Read("log"), "\r\nfirst\r\nsecond\r\nthird\r\n");
}

TEST(TextFileTest, ReadsShiftJisFilesWrittenByTheWindowsBuild) {
  TempDir dir;
  NativeFileSystem fs;
  // "表\テスト" in Shift-JIS: 表 ends in the byte of a backslash.
  dir.Write("sjis.lst", "File0=\x95\x5C\\\x83\x65\x83\x58\x83\x67\r\n");
  dir.Write("utf8.lst", "File0=表\\テスト\r\n");
  EXPECT_EQ(*ReadTextFile(fs, dir / "sjis.lst"), "File0=表\\テスト\r\n");
  EXPECT_EQ(*ReadTextFile(fs, dir / "utf8.lst"), "File0=表\\テスト\r\n");
  EXPECT_FALSE(ReadTextFile(fs, dir / "missing.lst").has_value());
  // The encoding is decided line by line: one stray byte garbles no other line.
  dir.Write("mixed.lst", "A=ネットワーク\r\nB=\x95\x5C\rC=\xFF\nD=表\n");
  const std::string mixed = *ReadTextFile(fs, dir / "mixed.lst");
  EXPECT_EQ(mixed.substr(0, mixed.find("C=")), "A=ネットワーク\r\nB=表\r");
  EXPECT_EQ(mixed.substr(mixed.find("\nD=")), "\nD=表\n");
}

}  // namespace
}  // namespace tolvane
