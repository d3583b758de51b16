#include <gtest/gtest.h>

#include <filesystem>

#include "setup/Settings.h"
#include "support/FaultFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane::test {
namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

class SettingsTest : public ::testing::Test {
 protected:
  std::string Ini(const std::string& content) { return dir_.Write("Pelmo.ini", content); }
  WindowSettings Load() { return LoadSettings(fs_, dir_ / "Pelmo.ini"); }

  TempDir dir_;
  NativeFileSystem native_;
  FaultFileSystem fs_{native_};
};

TEST_F(SettingsTest, FirstRunDefaultsAreWrittenAfterTheDesignedKeys) {
  WindowSettings s = Load();
  EXPECT_TRUE(s.centred);
  EXPECT_TRUE(s.confirmOverWrite);
  EXPECT_TRUE(s.butOldIsIgnore);
  EXPECT_FALSE(s.ignoreError);
  EXPECT_TRUE(s.saveLog);
  EXPECT_EQ(s.networkRoot, "/net");

  s.left = -8;  // the window as it stands at exit
  s.top = 30;
  ASSERT_TRUE(SaveSettings(fs_, dir_ / "Pelmo.ini", s));
  EXPECT_EQ(dir_.Read("Pelmo.ini"), Joined({
                                        "[Setting]",
                                        "Left=-8",
                                        "Top=30",
                                        "ClientWidth=729",
                                        "ClientHeight=507",
                                        "SourceWidth=361",
                                        "LogHeight=83",
                                        "Column0Width=200",
                                        "Column1Width=70",
                                        "Column2Width=80",
                                        "",
                                        "ConfirmOverWrite=1",
                                        "ButOldIsIgnore=1",
                                        "IgnoreError=0",
                                        "SaveLog=1",
                                        "DefaultFolder=",
#ifndef _WIN32
                                        "NetworkRoot=/net",  // Linux only
#endif
                                        "Wait=10",
#ifndef _WIN32
                                        "SmbPort=445",
                                        "SmbTimeout=5",
                                        "SmbCredentials=",
#endif
                                        "SkipUnchanged=0",
                                        "Parallel=4",
                                        "",
                                    }));
}

TEST_F(SettingsTest, EachKeyIsReadOrFallsBackToItsDesignedValue) {
  const auto parallelIs = [](int expected) {
    return [expected](const WindowSettings& s) { EXPECT_EQ(s.parallel, expected); };
  };
  struct Case {
    const char* name;
    std::string body;
    std::function<void(const WindowSettings&)> check;
  } cases[] = {
      {"section only", "",
       [](const WindowSettings& s) {
         EXPECT_TRUE(s.centred);
         EXPECT_FALSE(s.confirmOverWrite || s.butOldIsIgnore || s.ignoreError || s.saveLog);
         EXPECT_EQ(s.clientWidth, 729);
         EXPECT_EQ(s.columnWidths, (std::array<int, 3>{200, 70, 80}));
         EXPECT_EQ(s.defaultFolder, "");
         EXPECT_EQ(s.wait, 10);
         EXPECT_EQ(s.parallel, 4);
       }},
      {"left 0, top set", "Left=0\nTop=120\n",
       [](const WindowSettings& s) {
         EXPECT_FALSE(s.centred);
         EXPECT_EQ(s.left, 395);
         EXPECT_EQ(s.top, 120);
       }},
      {"top 0 centres", "Left=50\nTop=0\n",
       [](const WindowSettings& s) { EXPECT_TRUE(s.centred); }},
      {"negative edges", "Left=-1200\nTop=-4\n",
       [](const WindowSettings& s) {
         EXPECT_FALSE(s.centred);
         EXPECT_EQ(s.left, -1200);
         EXPECT_EQ(s.top, -4);
       }},
      {"any non-zero is on", "ConfirmOverWrite=5\nIgnoreError=-1\nSaveLog=0\n",
       [](const WindowSettings& s) {
         EXPECT_TRUE(s.confirmOverWrite);
         EXPECT_TRUE(s.ignoreError);
         EXPECT_FALSE(s.saveLog);
       }},
      {"not a number", "ClientWidth=wide\nLogHeight=12px\nSaveLog=yes\n",
       [](const WindowSettings& s) {
         EXPECT_EQ(s.clientWidth, 729);
         EXPECT_EQ(s.logHeight, 12);
         EXPECT_FALSE(s.saveLog);
       }},
      {"sizes and names in any case",
       "clientwidth=800\nCLIENTHEIGHT=600\nSourceWidth=250\nColumn1Width=90\n"
       "DefaultFolder=/home/ユーザー/配布/\nNetworkRoot=/cifs\n",
       [](const WindowSettings& s) {
         EXPECT_EQ(s.clientWidth, 800);
         EXPECT_EQ(s.clientHeight, 600);
         EXPECT_EQ(s.sourceWidth, 250);
         EXPECT_EQ(s.columnWidths, (std::array<int, 3>{200, 90, 80}));
         EXPECT_EQ(s.defaultFolder, "/home/ユーザー/配布/");
         EXPECT_EQ(s.networkRoot, "/cifs");
       }},
      {"no pause, unchanged files skipped", "Wait=0\nSkipUnchanged=1\n",
       [](const WindowSettings& s) {
         EXPECT_EQ(s.wait, 0);
         EXPECT_TRUE(s.skipUnchanged);
       }},
      {"pause held to what keeps the window alive", "Wait=60000\n",
       [](const WindowSettings& s) { EXPECT_EQ(s.wait, 1000); }},
      {"negative pause", "Wait=-5\n", [](const WindowSettings& s) { EXPECT_EQ(s.wait, 0); }},
      {"parallel: no number", "Parallel=many\n", parallelIs(4)},
      {"parallel: none", "Parallel=0\n", parallelIs(1)},
      {"parallel: negative", "Parallel=-8\n", parallelIs(1)},
      {"parallel: too many", "Parallel=99\n", parallelIs(32)},
      {"parallel: beyond any int", "Parallel=4294967297\n", parallelIs(32)},
      {"parallel: not a menu choice, kept", "Parallel=3\n", parallelIs(3)},
      {"long default folder, whole", "DefaultFolder=/" + std::string(1499, 'x') + "\n",
       [](const WindowSettings& s) { EXPECT_EQ(s.defaultFolder, "/" + std::string(1499, 'x')); }},
      {"servers: beyond Count, blank, with a separator, or twice are left out",
       "SmbPort=1445\nSmbTimeout=2\nSmbCredentials=/home/u/.smbcred\n[Servers]\nCount=5\n"
       "Server1=nas01\nServer0=\"files 2\"\nServer2=\\\\x\nServer3=NAS01\nServer4= \n"
       "Server5=late\nServerX=odd\n",
       [](const WindowSettings& s) {
         EXPECT_EQ(s.smb.servers, (std::vector<std::string>{"nas01", "files 2"}));
         EXPECT_EQ(s.smb.port, 1445);
         EXPECT_EQ(s.smb.timeoutSeconds, 2);
         EXPECT_EQ(s.smb.credentialsFile, "/home/u/.smbcred");
       }},
      {"no time limit is no choice, nor a port out of range", "SmbPort=70000\nSmbTimeout=0\n",
       [](const WindowSettings& s) {
         EXPECT_EQ(s.smb.port, 445);
         EXPECT_EQ(s.smb.timeoutSeconds, 5);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ini("[Setting]\r\n" + c.body);
    c.check(Load());
  }
}

TEST_F(SettingsTest, OptionReadAsOnIsWrittenAsOneAndSurvivesTheRoundTrip) {
  // Values with blanks at either end come from quotes, and must go back in them.
  Ini("[Setting]\nLeft=10\nTop=20\nConfirmOverWrite=5\nDefaultFolder=\" /srv/ \"\n"
      "NetworkRoot=\"'/mnt/n '\"\nWait=3\nSmbCredentials=\" /c \"\n"
      "[Servers]\nCount=2\nServer0=nas01\nServer1=192.0.2.7\n");
  const WindowSettings first = Load();
  ASSERT_TRUE(SaveSettings(fs_, dir_ / "Pelmo.ini", first));
  EXPECT_NE(dir_.Read("Pelmo.ini").find("\r\nConfirmOverWrite=1\r\n"), std::string::npos);
  const WindowSettings second = Load();
  EXPECT_EQ(SettingsLines(second), SettingsLines(first));
  EXPECT_EQ(second.defaultFolder, " /srv/ ");
  EXPECT_EQ(second.wait, 3);
  EXPECT_EQ(ReadWait(fs_, dir_ / "Pelmo.ini"), 3);
#ifndef _WIN32
  // Windows has the shell's own network folder and keeps no root.
  EXPECT_EQ(second.networkRoot, "'/mnt/n '");
  EXPECT_EQ(ReadNetworkRoot(fs_, dir_ / "Pelmo.ini"), "'/mnt/n '");
  EXPECT_EQ(second.smb.servers, (std::vector<std::string>{"nas01", "192.0.2.7"}));
  EXPECT_EQ(second.smb.credentialsFile, " /c ");
  EXPECT_EQ(ReadServerSettings(fs_, dir_ / "Pelmo.ini"), second.smb);
#endif
}

TEST_F(SettingsTest, DamagedFileIsSetAsideAndNeverReadAsZeros) {
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"binary", std::string("\x7F"
                             "ELF\0\0\x01",
                             7)},
      {"UTF-16", std::string("\xFF\xFE[\0S\0", 6)},
      {"no section header", "Left=10\r\nSaveLog=1\r\n"},
      {"cut in a header", "[Sett"},
      {"cut in a key", "[Setting]\r\nLeft=1\r\nSaveL"},
      {"another program's file", "[Other]\r\nKey=1\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir_.Path());
    Ini(c.bytes);
    std::optional<DamagedFile> damaged;
    const WindowSettings s = LoadSettings(fs_, dir_ / "Pelmo.ini", &damaged);
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->setAsideTo, dir_ / "Pelmo.ini.damaged");
    EXPECT_EQ(dir_.Read("Pelmo.ini.damaged"), c.bytes);
    EXPECT_FALSE(dir_.Exists("Pelmo.ini"));
    // As on a first run, not as a file of zeros.
    EXPECT_TRUE(s.saveLog);
    EXPECT_TRUE(s.confirmOverWrite);
  }
  // CR-only, LF and CR LF line ends read alike; a file of nothing but blanks is no file.
  for (const char* eol : {"\r", "\n", "\r\n"}) {
    Ini(std::string("[Setting]") + eol + "SaveLog=0" + eol + "Top=5" + eol);
    std::optional<DamagedFile> damaged;
    const WindowSettings s = LoadSettings(fs_, dir_ / "Pelmo.ini", &damaged);
    EXPECT_FALSE(damaged);
    EXPECT_FALSE(s.saveLog);
    EXPECT_EQ(s.top, 5);
  }
  Ini(" \r\n");
  std::optional<DamagedFile> damaged;
  EXPECT_TRUE(LoadSettings(fs_, dir_ / "Pelmo.ini", &damaged).confirmOverWrite);
  EXPECT_FALSE(damaged);
  // A second damaged file does not take the place of the first one set aside.
  Ini("garbage");
  dir_.Write("Pelmo.ini.damaged", "first");
  LoadSettings(fs_, dir_ / "Pelmo.ini", &damaged);
  ASSERT_TRUE(damaged);
  EXPECT_EQ(dir_.Read("Pelmo.ini.damaged"), "first");
  EXPECT_EQ(dir_.Read("Pelmo.ini.damaged1"), "garbage");
  // When it cannot be moved, the caller is told so and must not save over it.
  Ini("garbage");
  fs_.FailOn(FsOp::RenameFile);
  LoadSettings(fs_, dir_ / "Pelmo.ini", &damaged);
  ASSERT_TRUE(damaged);
  EXPECT_TRUE(damaged->setAsideTo.empty());
  EXPECT_EQ(dir_.Read("Pelmo.ini"), "garbage");
}

TEST_F(SettingsTest, NetworkRootDefaultsWhenMissingOrEmpty) {
  EXPECT_EQ(ReadNetworkRoot(fs_, dir_ / "Pelmo.ini"), "/net");
  EXPECT_EQ(ReadWait(fs_, dir_ / "Pelmo.ini"), 10);
  Ini("[Setting]\nNetworkRoot=\nWait=\n");
  EXPECT_EQ(ReadNetworkRoot(fs_, dir_ / "Pelmo.ini"), "/net");
  EXPECT_EQ(ReadWait(fs_, dir_ / "Pelmo.ini"), 10);
  EXPECT_EQ(Load().networkRoot, "/net");
}

TEST_F(SettingsTest, FailedWriteLeavesTheOldFileWhole) {
  const std::string old = "[Setting]\r\nLeft=77\r\nTop=88\r\n";
  Ini(old);
  fs_.FailOn(FsOp::ReplaceFile);
  EXPECT_FALSE(SaveSettings(fs_, dir_ / "Pelmo.ini", WindowSettings{}));
  EXPECT_EQ(dir_.Read("Pelmo.ini"), old);
}

TEST(PlaceOnScreensTest, OffScreenWindowMovesOntoTheNearestScreen) {
  const std::vector<ScreenRect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  struct Case {
    ScreenRect window;
    ScreenRect placed;
  } cases[] = {
      {{100, 100, 737, 553}, {100, 100, 737, 553}},      // visible
      {{1800, 900, 737, 553}, {1800, 900, 737, 553}},    // partly visible: left alone
      {{-2000, 300, 737, 553}, {0, 300, 737, 553}},      // a screen that was unplugged
      {{4000, 1500, 737, 553}, {2463, 471, 737, 553}},   // beyond the right screen
      {{2500, -900, 737, 553}, {2463, 0, 737, 553}},     // above the right screen
      {{-3000, -3000, 3000, 2000}, {0, 0, 3000, 2000}},  // larger than the screen
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlaceOnScreens(c.window, screens), c.placed) << c.window.left << "," << c.window.top;
  }
  EXPECT_EQ(PlaceOnScreens({-5000, 0, 10, 10}, {}), (ScreenRect{-5000, 0, 10, 10}));
}

}  // namespace
}  // namespace tolvane::test
