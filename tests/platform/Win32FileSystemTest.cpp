#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/WindowsApi.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

using test::NativeFileSystem;
using test::TempDir;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(test::FsPath(folder))) {
    names.push_back(test::Utf8(e.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(ExtendedLengthPath(Widen(path)).c_str());
}

void AddAttributes(const std::string& path, DWORD add) {
  SetFileAttributesW(Widen(path).c_str(), Attributes(path) | add);
}

unsigned long long WriteTicks(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

// Moves part of the data, then fails: a copy cut off half-way (disk full, network gone).
class BrokenCopyFileSystem : public Win32FileSystem {
 protected:
  bool CopyToTemporary(const std::wstring&, const std::wstring& temp,
                       const CopyProgress&) override {
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(h, "the", 3, &written, nullptr);
    CloseHandle(h);
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
};

TEST(Win32FileSystemTest, CopyKeepsContentTimeToTheTickAndTheReadOnlyAttribute) {
  TempDir dir;
  Win32FileSystem fs;
  const std::string content(3 << 20, 'x');
  const std::string source = dir.Write("a.txt", content);
  test::SetMTime(source, 1700000001, 123456700);
  AddAttributes(source, FILE_ATTRIBUTE_READONLY);

  ASSERT_TRUE(fs.CopyFile(source, dir / "b.txt", true));
  EXPECT_EQ(dir.Read("b.txt"), content);
  EXPECT_EQ(WriteTicks(dir / "b.txt"), WriteTicks(source));
  EXPECT_TRUE(Attributes(dir / "b.txt") & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(Win32FileSystemTest, RefusalsLeaveTheTargetWholeAndNothingBesideIt) {
  struct Row {
    const char* what;
    bool failIfExists;
    DWORD targetAttributes;
    bool targetIsFolder;
    bool broken;
    DWORD reason;  // the error whose text the failure gives
  } rows[] = {
      {"fail if exists", true, 0, false, false, ERROR_FILE_EXISTS},
      {"read-only target", false, FILE_ATTRIBUTE_READONLY, false, false, ERROR_ACCESS_DENIED},
      {"hidden target", false, FILE_ATTRIBUTE_HIDDEN, false, false, ERROR_ACCESS_DENIED},
      {"folder at the target", false, 0, true, false, ERROR_ACCESS_DENIED},
      {"copy cut off half-way", false, 0, false, true, ERROR_DISK_FULL},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TempDir dir;
    Win32FileSystem plain;
    BrokenCopyFileSystem broken;
    Win32FileSystem& fs = r.broken ? broken : plain;
    const std::string source = dir.Write("src/a.txt", "the new content");
    const std::string target = dir / "dst/a.txt";
    if (r.targetIsFolder) {
      dir.MakeDir("dst/a.txt");
    } else {
      dir.Write("dst/a.txt", "old");
      if (r.targetAttributes) AddAttributes(target, r.targetAttributes);
    }

    const CopyResult result = fs.CopyFileWithProgress(source, target, r.failIfExists, nullptr);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.error, SystemErrorText(r.reason));
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"a.txt"});
    if (!r.targetIsFolder) {
      EXPECT_EQ(dir.Read("dst/a.txt"), "old");
    }
  }
}

TEST(Win32FileSystemTest, CutOffCopyOfANewFileLeavesNothing) {
  TempDir dir;
  BrokenCopyFileSystem fs;
  const std::string source = dir.Write("a.txt", "the new content");
  dir.MakeDir("dst");
  EXPECT_FALSE(fs.CopyFile(source, dir / "dst/a.txt", true));
  EXPECT_TRUE(Names(dir / "dst").empty());
}

// Copies in 1 MiB steps and reports each, ending with ERROR_REQUEST_ABORTED when the progress
// asks to stop, as the system's copy does; Wine's copy does not call the progress routine.
class SteppedCopyFileSystem : public Win32FileSystem {
 protected:
  bool CopyToTemporary(const std::wstring& source, const std::wstring& temp,
                       const CopyProgress& progress) override {
    const auto content = ReadFile(Narrow(source));
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!content || h == INVALID_HANDLE_VALUE) return false;
    const std::size_t step = 1 << 20;
    for (std::size_t done = 0; done < content->size();) {
      const DWORD n = static_cast<DWORD>(std::min(step, content->size() - done));
      DWORD written = 0;
      WriteFile(h, content->data() + done, n, &written, nullptr);
      done += n;
      if (progress && !progress(done, content->size())) {
        CloseHandle(h);
        SetLastError(ERROR_REQUEST_ABORTED);
        return false;
      }
    }
    CloseHandle(h);
    return true;
  }
};

TEST(Win32FileSystemTest, CopyReportsProgressAndStopsWhenAsked) {
  Win32FileSystem system;
  SteppedCopyFileSystem stepped;
  for (Win32FileSystem* fs : {&system, static_cast<Win32FileSystem*>(&stepped)}) {
    for (const bool stop : {false, true}) {
      for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(std::string(fs == &system ? "system" : "stepped") + (stop ? " stop" : "") +
                     (overwrite ? " over" : ""));
        TempDir dir;
        const std::string content(5 << 20, 'x');
        const std::string source = dir.Write("a.bin", content);
        dir.MakeDir("dst");
        if (overwrite) dir.Write("dst/a.bin", "old");
        std::vector<std::uint64_t> reports;
        const CopyResult result = fs->CopyFileWithProgress(
            source, dir / "dst/a.bin", !overwrite, [&](std::uint64_t done, std::uint64_t total) {
              EXPECT_EQ(total, content.size());
              reports.push_back(done);
              return !stop || done == 0;  // the system reports the start before any data
            });
        if (fs == &system && reports.empty() && test::RunningUnderWine()) {
          std::cout << "skipped under Wine: its CopyFileExW does not call the progress routine\n";
          break;
        }
        EXPECT_EQ(result.ok, !stop);
        EXPECT_EQ(result.cancelled, stop);
        ASSERT_FALSE(reports.empty());
        if (stop) {
          EXPECT_EQ(Names(dir / "dst"),
                    overwrite ? std::vector<std::string>{"a.bin"} : std::vector<std::string>{});
          if (overwrite) {
            EXPECT_EQ(dir.Read("dst/a.bin"), "old");
          }
        } else {
          EXPECT_EQ(reports.back(), content.size());
          EXPECT_EQ(result.bytes, content.size());
          EXPECT_EQ(dir.Read("dst/a.bin"), content);
        }
      }
    }
  }
}

// The copy moves the data, and meanwhile something else happens to the source or the copy.
class TornCopyFileSystem : public Win32FileSystem {
 public:
  std::function<void(const std::wstring& source, const std::wstring& temp)> during;

 protected:
  bool CopyToTemporary(const std::wstring& source, const std::wstring& temp,
                       const CopyProgress& progress) override {
    const bool ok = Win32FileSystem::CopyToTemporary(source, temp, progress);
    during(source, temp);
    return ok;
  }
};

void Append(const std::wstring& path, const std::string& data) {
  HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(h);
}

TEST(Win32FileSystemTest, ASourceThatChangesWhileItIsCopiedLeavesTheTargetAsItWas) {
  struct Case {
    const char* name;
    std::function<void(const std::wstring& source, const std::wstring& temp)> during;
  } cases[] = {
      {"grown", [](const std::wstring& source, const std::wstring&) { Append(source, "more"); }},
      {"rewritten, same size",
       [](const std::wstring& source, const std::wstring&) {
         HANDLE h =
             CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         FILETIME later{0, 0x02000000};  // another time than the one the copy began with
         SetFileTime(h, nullptr, nullptr, &later);
         CloseHandle(h);
       }},
      {"read short",
       [](const std::wstring&, const std::wstring& temp) {
         HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         SetFilePointer(h, 3, nullptr, FILE_BEGIN);
         SetEndOfFile(h);
         CloseHandle(h);
       }},
  };
  for (const auto& c : cases) {
    for (const bool overwrite : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (overwrite ? " over" : ""));
      TempDir dir;
      TornCopyFileSystem fs;
      fs.during = c.during;
      const std::string source = dir.Write("a.txt", "the new content");
      dir.MakeDir("dst");
      if (overwrite) dir.Write("dst/a.txt", "old");
      const CopyResult result = fs.CopyFileWithProgress(source, dir / "dst/a.txt", !overwrite, {});
      EXPECT_FALSE(result.ok);
      EXPECT_TRUE(result.sourceChanged);
      EXPECT_EQ(Names(dir / "dst"),
                overwrite ? std::vector<std::string>{"a.txt"} : std::vector<std::string>{});
      if (overwrite) {
        EXPECT_EQ(dir.Read("dst/a.txt"), "old");
      }
    }
  }
}

TEST(Win32FileSystemTest, IdentityTellsFoldersApartWhateverTheSpellingAndFollowsLinks) {
  TempDir dir;
  Win32FileSystem fs;
  dir.MakeDir("a/sub");
  dir.MakeDir("b");
  const auto a = fs.Identity(dir / "a");
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(fs.Identity(dir / "A"), a);
  EXPECT_NE(fs.Identity(dir / "b"), a);
  EXPECT_FALSE(fs.Identity(dir / "none").has_value());
  // A link back to its own folder leads to that folder, where the system follows such links
  // (Wine 8 makes them, but opens nothing through them).
  const std::wstring loop = Widen(dir / "a/sub/loop");
  if (CreateSymbolicLinkW(
          loop.c_str(), Widen(dir / "a").c_str(),
          SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
      !test::RunningUnderWine()) {
    EXPECT_EQ(fs.Identity(dir / "a/sub/loop"), a);
  } else {
    std::cout << "skipped: this system makes or follows no folder links here\n";
  }
  RemoveDirectoryW(loop.c_str());
  // A log that is no file is refused at once: a folder, a device.
  EXPECT_FALSE(fs.AppendToFile(dir / "b", "x"));
  EXPECT_FALSE(fs.AppendToFile("NUL", "x"));
  EXPECT_FALSE(fs.LastError().empty());
}

TEST(Win32FileSystemTest, EveryUnicodeNameIsFoundCopiedAndReadBackAsItIs) {
  TempDir dir;
  Win32FileSystem fs;
  // Japanese, a name the Japanese code page cannot hold, and one outside the 16-bit range.
  const std::vector<std::string> names = {"表示テスト.txt", "Ελληνικά.txt", "😀 smile.txt"};
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    const std::string source = dir.Write("src/" + name, name);
    ASSERT_TRUE(fs.CreateFolders(dir / "dst/サブ"));
    ASSERT_TRUE(fs.CopyFile(source, dir / ("dst/サブ/" + name), true));
    EXPECT_EQ(*fs.ReadFile(dir / ("dst/サブ/" + name)), name);
    const auto found = fs.Find(dir / ("dst/サブ/" + name));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, name);
  }
  std::vector<std::string> listed;
  for (const auto& e : fs.Find(dir / "dst/サブ/*.*")) listed.push_back(e.name);
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
}

TEST(Win32FileSystemTest, FindListsEveryItemButTheDotEntries) {
  TempDir dir;
  Win32FileSystem fs;
  dir.Write("d/a.txt", "12345");
  dir.Write("d/.dot", "");
  dir.Write("d/hidden.TXT", "");
  AddAttributes(dir / "d/hidden.TXT", FILE_ATTRIBUTE_HIDDEN);
  dir.MakeDir("d/sub");
  test::SetMTime(dir / "d/a.txt", 1700000000, 500000000);

  std::vector<std::string> all;
  for (const auto& e : fs.Find(dir / "d/*.*")) all.push_back(e.name);
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<std::string>{".dot", "a.txt", "hidden.TXT", "sub"}));
  EXPECT_EQ(fs.Find(dir / "d/*.txt").size(), 2u);  // the case of the pattern does not matter
  const auto one = fs.Find(dir / "d/a.txt");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].size, 5u);
  EXPECT_FALSE(one[0].isFolder);
  EXPECT_EQ(one[0].lastWrite.time_since_epoch(),
            std::chrono::seconds(1700000000) + std::chrono::milliseconds(500));
  EXPECT_TRUE(fs.Find(dir / "d/sub")[0].isFolder);
  // A folder that cannot be searched has a reason; no match in one that can is no failure.
  EXPECT_TRUE(fs.Find(dir / "missing/*.*").empty());
  EXPECT_FALSE(fs.LastError().empty());
  EXPECT_TRUE(fs.Find(dir / "d/*.doc").empty());
  EXPECT_EQ(fs.LastError(), "");
  EXPECT_TRUE(fs.Find("C:").empty());
}

TEST(Win32FileSystemTest, PathsPastTheOldLengthLimitWork) {
  TempDir dir;
  Win32FileSystem fs;
  const std::string deep = dir / (std::string(120, 'd') + "/" + std::string(120, 'e') + "/f");
  ASSERT_GT(deep.size(), 260u);
  ASSERT_TRUE(fs.CreateFolders(deep));
  const std::string source = dir.Write("a.txt", "x");
  ASSERT_TRUE(fs.CopyFile(source, deep + "\\a.txt", false));
  EXPECT_EQ(fs.Find(deep + "\\*.*").size(), 1u);
  EXPECT_TRUE(fs.AppendToFile(deep + "\\a.txt", "y"));
  EXPECT_EQ(*fs.ReadFile(deep + "\\a.txt"), "xy");
  EXPECT_TRUE(fs.ReplaceFile(deep + "\\a.txt", "z"));
  EXPECT_EQ(*fs.ReadFile(deep + "\\a.txt"), "z");
  EXPECT_TRUE(fs.DeleteFile(deep + "\\a.txt"));
}

TEST(Win32FileSystemTest, ReplaceKeepsTheOldFileWhereItCannotBeReplaced) {
  TempDir dir;
  Win32FileSystem fs;
  const std::string locked = dir.Write("locked.ini", "old");
  AddAttributes(locked, FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(fs.ReplaceFile(locked, "new"));
  EXPECT_EQ(fs.LastError(), SystemErrorText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(dir.Read("locked.ini"), "old");
  dir.MakeDir("folder.ini");
  EXPECT_FALSE(fs.ReplaceFile(dir / "folder.ini", "new"));
  const std::string hidden = dir.Write("hidden.ini", "old");
  AddAttributes(hidden, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(fs.ReplaceFile(hidden, "new"));
  EXPECT_EQ(dir.Read("hidden.ini"), "new");
  EXPECT_TRUE(Attributes(hidden) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(Names(dir.Path()),
            (std::vector<std::string>{"folder.ini", "hidden.ini", "locked.ini"}));
}

TEST(Win32FileSystemTest, CreateFoldersMakesNoServerOrShare) {
  TempDir dir;
  dir.MakeDir("net/SRV/share");
  NativeFileSystem fs(dir / "net");
  EXPECT_TRUE(fs.CreateFolders(R"(\\SRV\share\a\b)"));
  EXPECT_TRUE(dir.Exists("net/SRV/share/a/b"));
  EXPECT_TRUE(fs.CreateFolders(R"(\\SRV\share)"));
  EXPECT_FALSE(fs.CreateFolders(R"(\\SRV\other\a)"));
  EXPECT_FALSE(fs.CreateFolders(R"(\\NEW\share)"));
  EXPECT_FALSE(fs.LastError().empty());
  EXPECT_FALSE(fs.CreateFolders(R"(\\NEW)"));
  EXPECT_EQ(Names(dir / "net"), std::vector<std::string>{"SRV"});
  EXPECT_EQ(Names(dir / "net/SRV"), std::vector<std::string>{"share"});
  EXPECT_TRUE(fs.CreateFolders(dir / "local/x/y"));
  EXPECT_TRUE(fs.CreateFolders(dir / "local/x/y"));  // already there
  dir.Write("local/file", "");
  EXPECT_FALSE(fs.CreateFolders(dir / "local/file"));
  EXPECT_FALSE(fs.LastError().empty());
}

TEST(Win32FileSystemTest, RealNetworkPathsReachAShare) {
  // Wine serves \\SERVER\share from the prefix's dosdevices\unc folder; Windows would need a
  // real share.
  wchar_t prefix[MAX_PATH] = {};
  if (!test::RunningUnderWine() || !GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH)) {
    GTEST_SKIP() << "needs a network share (Wine's dosdevices\\unc stands in for one)";
  }
  const std::string server = "TLV" + std::to_string(GetCurrentProcessId());
  std::string unc = "Z:" + Narrow(prefix) + "/dosdevices/unc/" + server + "/share";
  std::replace(unc.begin(), unc.end(), '/', '\\');
  Win32FileSystem fs;
  ASSERT_TRUE(fs.CreateFolders(unc));
  const std::string share = "\\\\" + server + "\\share";
  TempDir dir;
  const std::string source = dir.Write("a.txt", "over the network");

  EXPECT_TRUE(fs.CreateFolders(share + "\\dist\\sub"));
  EXPECT_FALSE(fs.CreateFolders("\\\\" + server + "\\noshare\\x"));
  EXPECT_TRUE(fs.CopyFile(source, share + "\\dist\\sub\\a.txt", true));
  EXPECT_EQ(*fs.ReadFile(share + "\\dist\\sub\\a.txt"), "over the network");
  EXPECT_EQ(fs.Find(share + "\\dist\\*.*").size(), 1u);
  std::filesystem::remove_all(test::FsPath(unc.substr(0, unc.size() - 6)));
}

TEST(Win32FileSystemTest, LongPathsTakeTheExtendedForm) {
  const std::wstring longName(300, L'n');
  struct Case {
    std::wstring path;
    std::wstring extended;
  } cases[] = {
      {L"C:\\short\\a.txt", L"C:\\short\\a.txt"},
      {L"C:\\" + longName, L"\\\\?\\C:\\" + longName},
      {L"C:/x/../" + longName, L"\\\\?\\C:\\" + longName},
      {L"\\\\SRV\\share\\" + longName, L"\\\\?\\UNC\\SRV\\share\\" + longName},
      {L"\\\\?\\C:\\" + longName, L"\\\\?\\C:\\" + longName},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedLengthPath(c.path), c.extended);
}

}  // namespace
}  // namespace tolvane
