#include <QAction>
#include <QToolButton>

#include "app/WindowFixture.h"

namespace tolvane::test {
namespace {

using WindowSettingsTest = WindowFixture;

TEST_F(WindowSettingsTest, TheWindowWritesBackWhatItReadAndTheOptionsFollowTheFile) {
  exe.Write("Pelmo.ini",
            "[Setting]\r\nLeft=10\r\nTop=20\r\nClientWidth=800\r\nClientHeight=600\r\n"
            "SourceWidth=300\r\nLogHeight=100\r\nColumn0Width=210\r\nColumn1Width=71\r\n"
            "Column2Width=81\r\n\r\nConfirmOverWrite=0\r\nButOldIsIgnore=1\r\nIgnoreError=5\r\n"
            "SaveLog=1\r\nDefaultFolder=/home/u/dist/\r\nNetworkRoot=/srv/net\r\nWait=0\r\n\r\n");
  TfrmMain& w = Start();
  EXPECT_EQ(networkRoot, "/srv/net");
  EXPECT_FALSE(w.ConfirmOverWrite());
  EXPECT_FALSE(w.mnuWriteIfOld->isEnabled());
  EXPECT_FALSE(w.tbtWriteIfOld->isEnabled());
  EXPECT_TRUE(w.tbtWriteIfOld->isChecked());
  EXPECT_TRUE(w.IgnoreError());
  EXPECT_TRUE(w.tbtIgnoreError->isChecked());
  EXPECT_EQ(w.State().defaultFolder, "/home/u/dist/");

  w.FormDestroy();
  EXPECT_EQ(exe.Read("Pelmo.ini"),
            "[Setting]\r\nLeft=10\r\nTop=20\r\nClientWidth=800\r\nClientHeight=600\r\n"
            "SourceWidth=300\r\nLogHeight=100\r\nColumn0Width=210\r\nColumn1Width=71\r\n"
            "Column2Width=81\r\n\r\nConfirmOverWrite=0\r\nButOldIsIgnore=1\r\nIgnoreError=1\r\n"
            "SaveLog=1\r\nDefaultFolder=/home/u/dist/\r\nNetworkRoot=/srv/net\r\nWait=0\r\n\r\n");
}

TEST_F(WindowSettingsTest, AFirstRunAsksBeforeOverwritingAndTheStartLineIgnoresSaveLog) {
  TfrmMain& w = Start();
  EXPECT_TRUE(w.ConfirmOverWrite());
  EXPECT_TRUE(w.ButOldIsIgnore());
  EXPECT_FALSE(w.IgnoreError());
  EXPECT_TRUE(w.SaveLog());
  EXPECT_TRUE(w.tbtConfirmOverWrite->isChecked());
  EXPECT_TRUE(w.mnuWriteIfOld->isEnabled());

  // Saving the log stored as off: the start line still reaches the file, nothing after it.
  exe.Write("Pelmo.ini", "[Setting]\r\nSaveLog=0\r\n");
  exe.Write("Pelmo.log", "");
  TfrmMain& w2 = Start();
  EXPECT_FALSE(w2.SaveLog());
  const std::string log = LogFile();
  EXPECT_EQ(log.rfind("\r\n▼起動 ", 0), 0u);
  EXPECT_EQ(log.find("配布リスト読込"), std::string::npos);
}

}  // namespace
}  // namespace tolvane::test
