#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

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
  DataCopy CopyData(int in, int out, std::uint64_t, const CopyProgress&) override {
    char buffer[4];
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n > 0 && write(out, buffer, static_cast<std::size_t>(n)) != n) ADD_FAILURE();
    errno = EIO;
    return DataCopy::Failed;
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
    int reason;  // the errno whose text the failure gives
  } rows[] = {
      {"fail if exists", true, false, false, false, EEXIST},
      {"read-only target", false, true, false, false, EACCES},
      {"folder at the target", false, false, true, false, EISDIR},
      {"folder where a new file should go", true, false, true, false, EISDIR},
      {"copy cut off half-way", false, false, false, true, EIO},
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

    const CopyResult result = fs.CopyFileWithProgress(source, target, r.failIfExists, nullptr);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.error, std::system_category().message(r.reason));
    EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"a.txt"});
    if (!r.targetIsFolder) {
      EXPECT_EQ(dir.Read("dst/a.txt"), "old");
    }
  }
}

TEST(PosixCopyFileTest, HolesStayHoles) {
  TempDir dir;
  const std::string source = dir / "sparse.img";
  {
    std::ofstream out(source, std::ios::binary);
    out << "head";
    out.seekp(40 << 20);
    out << "middle";
  }
  std::filesystem::resize_file(source, 64 << 20);
  struct stat st;
  ASSERT_EQ(stat(source.c_str(), &st), 0);
  if (st.st_blocks * 512 >= st.st_size) GTEST_SKIP() << "this file system keeps no holes";

  PosixFileSystem fs;
  std::uint64_t last = 0;
  const CopyResult result = fs.CopyFileWithProgress(
      source, dir / "copy.img", true, [&](std::uint64_t done, std::uint64_t) {
        last = done;
        return true;
      });
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(last, 64u << 20);
  ASSERT_EQ(stat((dir / "copy.img").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 64 << 20);
  EXPECT_LT(st.st_blocks * 512, 4 << 20);
  std::ifstream copy(dir / "copy.img", std::ios::binary);
  std::string head(4, '\0'), middle(6, '\0');
  copy.read(head.data(), 4);
  copy.seekg(40 << 20);
  copy.read(middle.data(), 6);
  EXPECT_EQ(head + middle, "headmiddle");
}

TEST(PosixCopyFileTest, CutOffCopyOfANewFileLeavesNothing) {
  TempDir dir;
  BrokenCopyFileSystem fs;
  const std::string source = dir.Write("a.txt", "the new content");
  dir.MakeDir("dst");
  EXPECT_FALSE(fs.CopyFile(source, dir / "dst/a.txt", true));
  EXPECT_TRUE(Names(dir / "dst").empty());
}

TEST(PosixCopyFileTest, ChunkedCopyReportsProgressAndStopsWhenAsked) {
  // The kernel's copy path, and the read-and-write path it falls back to across file systems
  // (a source in shared memory, where there is one).
  std::vector<std::string> sourceFolders{""};
  if (access("/dev/shm", W_OK) == 0) sourceFolders.push_back("/dev/shm");
  for (const std::string& sourceFolder : sourceFolders) {
    for (const bool stop : {false, true}) {
      for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(sourceFolder + (stop ? " stop" : " whole") + (overwrite ? " over" : ""));
        TempDir dir;
        std::string content(300 << 10, 'x');
        for (std::size_t i = 0; i < content.size(); i += 4096) content[i] = static_cast<char>(i);
        const std::string source = sourceFolder.empty()
                                       ? dir.Write("a.bin", content)
                                       : sourceFolder + "/tolvane-test-" + std::to_string(getpid());
        if (!sourceFolder.empty()) std::ofstream(source, std::ios::binary) << content;
        dir.MakeDir("dst");
        if (overwrite) dir.Write("dst/a.bin", "old");
        PosixFileSystem fs;
        fs.SetChunkSize(64 << 10);
        std::vector<std::uint64_t> reports;
        const CopyResult result = fs.CopyFileWithProgress(
            source, dir / "dst/a.bin", !overwrite, [&](std::uint64_t done, std::uint64_t total) {
              EXPECT_EQ(total, content.size());
              reports.push_back(done);
              return !stop;
            });
        if (!sourceFolder.empty()) unlink(source.c_str());

        EXPECT_EQ(result.ok, !stop);
        EXPECT_EQ(result.cancelled, stop);
        if (stop) {
          // Stopped after the first chunk: the old file whole, nothing half-written beside it.
          EXPECT_EQ(reports.size(), 1u);
          EXPECT_EQ(Names(dir / "dst"),
                    overwrite ? std::vector<std::string>{"a.bin"} : std::vector<std::string>{});
          if (overwrite) {
            EXPECT_EQ(dir.Read("dst/a.bin"), "old");
          }
        } else {
          EXPECT_GE(reports.size(), 5u);
          EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
          EXPECT_EQ(reports.back(), content.size());
          EXPECT_EQ(result.bytes, content.size());
          EXPECT_EQ(dir.Read("dst/a.bin"), content);
        }
      }
    }
  }
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
