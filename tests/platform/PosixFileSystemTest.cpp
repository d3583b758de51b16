#include <gtest/gtest.h>

#include <algorithm>

#include "platform/posix/PosixFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

using test::TempDir;

std::vector<std::string> Names(const std::vector<FindEntry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SearchPatternTest, MatchesLikeTheOriginalFolderSearch) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.*", "noext", true},   {"*.*", ".hidden", true},   {"*", "a.b.c", true},
      {"*.txt", "a.txt", true}, {"*.txt", "a.txt2", false}, {"a?c", "abc", true},
      {"a?c", "ac", false},     {"a?c", "a表c", true},      {"a.*", "a", true},
      {"a.*", "ab", false},     {"*b*", "abc", true},       {"x*y*z", "xaayzz", true},
      {"*.TXT", "a.txt", true},  // wildcards match without regard to case
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesSearchPattern(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
  }
}

TEST(PosixFileSystemTest, FindsItemsThroughNetworkPathsUnderTheRoot) {
  TempDir net;
  net.Write("SRV/share/a.txt", "12345");
  net.Write("SRV/share/.dot", "");
  net.MakeDir("SRV/share/sub");
  TempDir outside;
  outside.Write("secret.txt", "x");
  PosixFileSystem fs(net.Path());

  EXPECT_EQ(Names(fs.Find(R"(\\SRV\share\*.*)")),
            (std::vector<std::string>{".dot", "a.txt", "sub"}));
  const auto one = fs.Find(R"(\\SRV\share\a.txt)");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].size, 5u);
  EXPECT_FALSE(one[0].isFolder);
  EXPECT_TRUE(fs.IsFolder(R"(\\SRV\share\sub)"));
  EXPECT_FALSE(fs.IsFolder(R"(\\SRV\share\a.txt)"));
  EXPECT_TRUE(fs.Find(R"(\\SRV\share\missing\*.*)").empty());
  // Nothing outside the network root is reached through a network path.
  const std::string escape = R"(\\SRV\..\..\)" + outside.Path().substr(1) + R"(\secret.txt)";
  EXPECT_FALSE(fs.Exists(escape));
  EXPECT_FALSE(fs.CopyFile(outside / "secret.txt", R"(\\..\x.txt)", false));
}

TEST(PosixFileSystemTest, CopyKeepsTheTimeAndHonoursFailIfExists) {
  TempDir dir;
  const std::string src = dir.Write("src.txt", "new");
  test::SetMTime(src, 1700000000, 500);
  PosixFileSystem fs;

  EXPECT_TRUE(fs.CopyFile(src, dir / "t.txt", true));
  EXPECT_EQ(dir.Read("t.txt"), "new");
  EXPECT_EQ(test::GetMTime(dir / "t.txt"), 1700000000);

  dir.Write("old.txt", "old");
  EXPECT_FALSE(fs.CopyFile(src, dir / "old.txt", true));
  EXPECT_EQ(dir.Read("old.txt"), "old");
  EXPECT_TRUE(fs.CopyFile(src, dir / "old.txt", false));
  EXPECT_EQ(dir.Read("old.txt"), "new");

  dir.MakeDir("folder.txt");
  EXPECT_FALSE(fs.CopyFile(src, dir / "folder.txt", false));
}

}  // namespace
}  // namespace tolvane
