#include <gtest/gtest.h>

#include "platform/Profile.h"

namespace tolvane {
namespace {

TEST(ProfileTest, ReadsValuesByTheOriginalPlatformsRules) {
  const Profile p = Profile::Parse(
      "[Setting]\r\n"
      "  Left = 12 \r\n"
      "left=99\r\n"  // the first occurrence wins, whatever the case
      "Quoted =  \"  hello world  \"  \r\n"
      "Single='x'\r\n"
      "Unmatched=\"abc\r\n"
      "Empty=\r\n"
      "NoEquals\r\n"
      "Neg=-1\r\n"
      "Plus=+7\r\n"
      "Trailing=5abc\r\n"
      "Letters=abc\r\n"
      "Wrap=4294967296\r\n"
      "Big=4294967295\r\n"
      "[setting]\r\n"
      "Late=1\r\n");
  EXPECT_EQ(p.GetInt("SETTING", "LEFT"), 12);
  EXPECT_EQ(p.GetString("Setting", "Quoted"), "  hello world  ");
  EXPECT_EQ(p.GetString("Setting", "Single"), "x");
  EXPECT_EQ(p.GetString("Setting", "Unmatched"), "\"abc");
  EXPECT_EQ(p.GetString("Setting", "Empty", "dflt"), "");
  EXPECT_EQ(p.GetInt("Setting", "Empty", 7), 7);
  EXPECT_EQ(p.GetString("Setting", "NoEquals", "d"), "d");
  EXPECT_EQ(p.GetInt("Setting", "Neg"), -1);
  EXPECT_EQ(p.GetInt("Setting", "Plus"), 7);
  EXPECT_EQ(p.GetInt("Setting", "Trailing"), 5);
  EXPECT_EQ(p.GetInt("Setting", "Letters", 3), 0);
  EXPECT_EQ(p.GetInt("Setting", "Wrap"), 0);
  EXPECT_EQ(p.GetInt("Setting", "Big"), -1);
  // A second section of the same name is not searched.
  EXPECT_EQ(p.GetInt("Setting", "Late", 42), 42);
  EXPECT_EQ(p.GetInt("Missing", "Left", 5), 5);
  EXPECT_EQ(p.GetString("Setting", "Missing", "dflt  "), "dflt");
}

TEST(ProfileTest, KeepsLongValuesWhole) {
  for (const std::string& value :
       {std::string(1024, 'b'), std::string(1022, 'c') + "表" + "d", std::string(70000, 'a')}) {
    EXPECT_EQ(Profile::Parse("[S]\nK=" + value).GetString("S", "K"), value);
  }
}

TEST(ProfileTest, WrittenValuesReadBackTheSame) {
  for (const std::string value : {"", "plain", " lead", "trail ", "\ttab\t", "'q'", "\"dq\"", "\"",
                                  "'a\"", "\" x \"", "mid dle", "=eq="}) {
    SCOPED_TRACE(value);
    const Profile p = Profile::Parse("[S]\r\nK=" + ProfileValueText(value) + "\r\n");
    EXPECT_EQ(p.GetString("S", "K", "missing"), value);
  }
}

}  // namespace
}  // namespace tolvane
