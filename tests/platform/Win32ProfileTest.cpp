#include <gtest/gtest.h>

#include "platform/Encoding.h"
#include "platform/Profile.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

// Our reader and the system's, on the same files: every lookup must give the same answer.
// Left out, as Wine answers them in ways that Windows is not known to share: keys before the
// first section (Wine finds them under the section ""), a section line without its closing
// bracket, and hexadecimal numbers ("0x10" is 16 under Wine).
struct Lookup {
  const char* section;
  const char* key;
  const char* defaultText;
  int defaultNumber;
};

const char* const kFiles[] = {
    // Blanks, quotes, empty values, lines without "=".
    "[Setting]\r\n"
    "  Left = 12 \r\n"
    "Quoted =  \"  hello world  \"  \r\n"
    "Single='x'\r\n"
    "Unmatched=\"abc\r\n"
    "Inner=a\"b\"c\r\n"
    "Empty=\r\n"
    "Blank=   \r\n"
    "NoEquals\r\n"
    "Tab\t=\tv\t\r\n",
    // Case and duplicates: the first key and the first section of a name win.
    "[Setting]\r\nleft=1\r\nLEFT=2\r\n[SETTING]\r\nTop=3\r\n[Other]\r\nLeft=4\r\n",
    // Numbers.
    "[N]\r\nNeg=-1\r\nPlus=+7\r\nTrailing=5abc\r\nLetters=abc\r\nWrap=4294967296\r\n"
    "Big=4294967295\r\nSpaced= 42 \r\nMinusZero=-0\r\nDouble=--3\r\nHuge=99999999999\r\n"
    "Quoted=\"8\"\r\n",
    // LF-only line ends.
    "[Lf]\nA=1\nB = two words \n",
    // Japanese in the system's code page.
    "[Source]\r\nFile0=C:\\\x95\x5C\\\x83\x65\x83\x58\x83\x67.txt\r\n",
};

const Lookup kLookups[] = {
    {"Setting", "Left", "d", 99},
    {"setting", "LEFT", "d", 99},
    {"Setting", "Quoted", "d", 99},
    {"Setting", "Single", "d", 99},
    {"Setting", "Unmatched", "d", 99},
    {"Setting", "Inner", "d", 99},
    {"Setting", "Empty", "dflt", 99},
    {"Setting", "Blank", "dflt", 99},
    {"Setting", "NoEquals", "d", 99},
    {"Setting", "Tab", "d", 99},
    {"Setting", "Top", "d", 99},
    {"Setting", "Missing", "dflt  ", 99},
    {"Missing", "Left", "", 5},
    {"Other", "left", "", 0},
    {"N", "Neg", "", 0},
    {"N", "Plus", "", 0},
    {"N", "Trailing", "", 0},
    {"N", "Letters", "", 3},
    {"N", "Wrap", "", 0},
    {"N", "Big", "", 0},
    {"N", "Spaced", "", 0},
    {"N", "MinusZero", "", 0},
    {"N", "Double", "", 0},
    {"N", "Huge", "", 0},
    {"N", "Quoted", "", 0},
    {"Lf", "A", "", 0},
    {"Lf", "B", "", 0},

    {"Source", "File0", "", 0},
};

class Win32ProfileTest : public ::testing::Test {
 protected:
  // The system's answers, decoded from its code page as our reader decodes files.
  std::string SystemString(const std::string& path, const Lookup& l) {
    char buffer[1024] = {};
    GetPrivateProfileStringA(l.section, l.key, l.defaultText, buffer, sizeof buffer, path.c_str());
    const std::string bytes = buffer;
    return IsValidUtf8(bytes) ? bytes : FromSystemText(bytes);
  }
  int SystemInt(const std::string& path, const Lookup& l) {
    return static_cast<int>(GetPrivateProfileIntA(l.section, l.key, l.defaultNumber, path.c_str()));
  }

  test::TempDir dir_;
  test::NativeFileSystem fs_;
};

TEST_F(Win32ProfileTest, OurReaderAnswersAsTheSystemsReader) {
  if (!test::SystemTextIsShiftJis()) GTEST_SKIP() << "the files hold Shift-JIS text";
  int n = 0;
  for (const char* text : kFiles) {
    // The system's calls take the path in the code page: keep it ASCII.
    const std::string path = dir_.Write("p" + std::to_string(n++) + ".ini", text);
    const Profile ours = Profile::Load(fs_, path);
    for (const Lookup& l : kLookups) {
      SCOPED_TRACE(std::string(l.section) + "/" + l.key + " in file " + std::to_string(n - 1));
      EXPECT_EQ(ours.GetString(l.section, l.key, l.defaultText), SystemString(path, l));
      EXPECT_EQ(ours.GetInt(l.section, l.key, l.defaultNumber), SystemInt(path, l));
    }
  }
}

// The system's reader cuts a value to its buffer; ours keeps it whole, so that a setup saved
// back is the setup read.
TEST_F(Win32ProfileTest, LongValuesAreKeptWhole) {
  struct Case {
    std::string value;
  } cases[] = {
      {std::string(1500, 'a')},
      {std::string(1024, 'b')},
      {std::string(1023, 'c')},
      {std::string(1022, 'd')},
  };
  for (const auto& c : cases) {
    const std::string path = dir_.Write("long.ini", "[S]\r\nK=" + c.value + "\r\n");
    EXPECT_EQ(Profile::Load(fs_, path).GetString("S", "K"), c.value) << c.value.size();
  }
}

TEST_F(Win32ProfileTest, MissingFileGivesTheDefaults) {
  const std::string path = dir_ / "none.ini";
  const Profile ours = Profile::Load(fs_, path);
  const Lookup l{"S", "K", "dflt  ", 7};
  EXPECT_EQ(ours.GetString(l.section, l.key, l.defaultText), SystemString(path, l));
  EXPECT_EQ(ours.GetInt(l.section, l.key, l.defaultNumber), SystemInt(path, l));
}

}  // namespace
}  // namespace tolvane
