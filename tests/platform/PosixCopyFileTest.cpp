#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/posix/PosixFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

using test::TempDir;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Moves part of the data, then fails: a copy cut off half-way (disk full, network gone).
class BrokenCopyFileSystem : public PosixFileSystem {
 protected:
  bool CopyData(int in, int out) override {
    char buffer[4];
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n > 0 && write(out, buffer, static_cast<std::size_t>(n)) != n) ADD_FAILURE();
    return false;
  }
};

TEST(PosixCopyFileTest, KeepsContentTimeAndReadOnlyBits) {
  TempDir dir;
  PosixFileSystem fs;
  const std::string content(3 << 20, 'x');
  const std::string source = dir.Write("a.txt", content);
  test::SetMTime(source, 1700000001, 123456789);
  chmod(source.c_str(), 0444);

  ASSERT_TRUE(fs.CopyFile(source, dir / "b.txt", true));
  EXPECT_EQ(dir.Read("b.txt"), content);
  struct stat st;
  ASSERT_EQ(stat((dir / "b.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1700000001);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(PosixCopyFileTest, RefusalsLeaveTheTargetWholeAndNothingBesideIt) {
  struct Row {
    const char* what;
    bool failIfExists;
    bool readOnlyTarget;
    bool targetIsFolder;
    bool broken;
  } rows[] = {
      {"fail if exists", true, false, false, false},
      {"read-only target", false, true, false, false},
      {"folder at the target", false, false, true, false},
      {"copy cut off half-way", false, false, false, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TempDir dir;
    PosixFileSystem plain;
    BrokenCopyFileSystem broken;
    PosixFileSystem& fs = r.broken ? broken : plain;
    const std::string source = dir.Write("src/a.txt", "the new content");
    const std::string target = dir / "dst/a.txt";
    if (r.targetIsFolder) {
      dir.MakeDir("dst/a.txt");
    } else {
      dir.Write("dst/a.txt", "old");
      if (r.readOnlyTarget) chmod(target.c_str(), 0444);
    }

    EXPECT_FALSE(fs.CopyFile(source, target, r.failIfExists));
    EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"a.txt"});
    if (!r.targetIsFolder) {
      EXPECT_EQ(dir.Read("dst/a.txt"), "old");
    }
  }
}

TEST(PosixCopyFileTest, CutOffCopyOfANewFileLeavesNothing) {
  TempDir dir;
  BrokenCopyFileSystem fs;
  const std::string source = dir.Write("a.txt", "the new content");
  dir.MakeDir("dst");
  EXPECT_FALSE(fs.CopyFile(source, dir / "dst/a.txt", true));
  EXPECT_TRUE(Names(dir / "dst").empty());
}

TEST(PosixCopyFileTest, NameAtTheLengthLimitCopies) {
  TempDir dir;
  PosixFileSystem fs;
  const std::string name(255, 'n');
  const std::string source = dir.Write("src/" + name, "x");
  dir.MakeDir("dst");
  EXPECT_TRUE(fs.CopyFile(source, dir / ("dst/" + name), true));
}

TEST(PosixCopyFileTest, NamedPipeSourceIsRefusedWithoutWaiting) {
  TempDir dir;
  PosixFileSystem fs;
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
  EXPECT_FALSE(fs.CopyFile(dir / "pipe", dir / "copy", true));
}

TEST(PosixFileSystemTest, CreateFoldersMakesNoServerOrShare) {
  TempDir dir;
  dir.MakeDir("net/SRV/share");
  PosixFileSystem fs(dir / "net");
  EXPECT_TRUE(fs.CreateFolders(R"(\\SRV\share\a\b)"));
  EXPECT_TRUE(dir.Exists("net/SRV/share/a/b"));
  EXPECT_TRUE(fs.CreateFolders(R"(\\SRV\share)"));
  EXPECT_FALSE(fs.CreateFolders(R"(\\SRV\other\a)"));
  EXPECT_FALSE(fs.CreateFolders(R"(\\NEW\share)"));
  EXPECT_EQ(Names(dir / "net"), std::vector<std::string>{"SRV"});
  EXPECT_EQ(Names(dir / "net/SRV"), std::vector<std::string>{"share"});
  EXPECT_TRUE(fs.CreateFolders(dir / "local/x/y"));
}

TEST(PosixFileSystemTest, SearchPatternsMatchLikeTheFolderSearch) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.*", ".hidden", true},      {"*", "noext", true},         {"*.TXT", "a.txt", true},
      {"a?c.txt", "abc.txt", true},  {"a?c.txt", "ac.txt", false}, {"?.txt", "é.txt", true},
      {"*.txt", "a.txt.bak", false}, {"a.*", "a", true},           {"*.doc", "a.txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesSearchPattern(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
  }
}

}  // namespace
}  // namespace tolvane
