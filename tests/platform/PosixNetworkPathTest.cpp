#include <gtest/gtest.h>

#include "platform/posix/NetworkPath.h"

namespace tolvane {
namespace {

TEST(NetworkPathTest, MapsNetworkPathsUnderTheRootAndNothingOutsideIt) {
  struct Case {
    const char* path;
    std::optional<std::string> mapped;
  } cases[] = {
      {R"(\\SRV\share\dir)", "/net/SRV/share/dir"},
      {R"(\\SRV)", "/net/SRV"},
      {R"(\\SRV\share\)", "/net/SRV/share"},
      {R"(\\SRV\..\etc)", std::nullopt},
      {R"(\\..)", std::nullopt},
      {R"(\\SRV\share/../../etc)", std::nullopt},
      {R"(\\SRV\.\share)", std::nullopt},
      {R"(\\SRV\\share)", std::nullopt},
      {R"(\\)", std::nullopt},
      {"/home/user/a.txt", "/home/user/a.txt"},
      {R"(\single\slash)", R"(\single\slash)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapNetworkPath("/net/", c.path), c.mapped) << c.path;
  }
}

}  // namespace
}  // namespace tolvane
