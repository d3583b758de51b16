#include <gtest/gtest.h>

#include "e2e/BatchRun.h"
#include "support/TempDir.h"

namespace tolvane::test {
namespace {

TEST(BatchModeTest, EndsByItselfWithoutADisplayAndFramesTheLog) {
  TempDir folder;
  // A second monitor's place, off the small offscreen screen.
  folder.Write("Pelmo.ini", "[Setting]\r\nLeft=2500\r\nTop=900\r\nSaveLog=1\r\n");
  ASSERT_EQ(RunTolvaneIn(folder.Path(), {"-b", "-o"}), 0);
  const std::string log = folder.Read("Pelmo.log");
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log.substr(0, 2 + std::string("▼起動 ").size()), "\r\n▼起動 ");
  EXPECT_NE(log.find("配布開始\r\n"), std::string::npos);
  EXPECT_NE(log.find("配布終了\r\n\r\n"), std::string::npos);
  const auto end = log.rfind("▲終了 ");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 4), "\r\n\r\n");
  EXPECT_EQ(log.find("\r\n", end) + 4, log.size());
  // -o: the default list is left alone; the settings are written all the same.
  EXPECT_FALSE(folder.Exists("Pelmo.lst"));
  // Nothing was shown, so nothing moved: the place read is the place written.
  EXPECT_NE(folder.Read("Pelmo.ini").find("Left=2500\r\nTop=900\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tolvane::test
