#include <gtest/gtest.h>

#include "e2e/BatchRun.h"
#include "support/TempDir.h"

namespace tolvane::test {
namespace {

TEST(BatchModeTest, EndsByItselfWithoutADisplayAndFramesTheLog) {
  TempDir folder;
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
}

}  // namespace
}  // namespace tolvane::test
