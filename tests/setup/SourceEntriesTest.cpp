#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "SetupHarness.h"
#include "setup/Unitselectfolder.h"

namespace tolvane::test {

long long LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return static_cast<long long>(std::mktime(&tm));
}

namespace {

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

TEST(SourceEntryTest, SizeTextGroupsDigitsAndShowsLargeFilesTrueToSize) {
  SetupHarness h;
  struct Case {
    std::uint64_t size;
    const char* text;
  } cases[] = {
      {0, "0"},
      {999, "999"},
      {1000, "1,000"},
      {1234567, "1,234,567"},
      {2 * kGiB, "2,147,483,648"},
      {4 * kGiB + 1, "4,294,967,297"},
  };
  for (const auto& c : cases) {
    const std::string path = h.dir.Write("size" + std::to_string(c.size), "");
    std::filesystem::resize_file(path, c.size);  // sparse: takes no room on disk
    ASSERT_TRUE(h.entries.AddSourceEntry(path));
    EXPECT_EQ(h.sources.At(h.sources.Count() - 1).sizeText, c.text) << c.size;
  }
}

TEST(SourceEntryTest, DateTextIsLocalMinutesOrTheDateAloneAtMidnight) {
  SetupHarness h;
  struct Case {
    long long seconds;
    const char* text;
  } cases[] = {
      {LocalSeconds(2004, 3, 7, 0, 0, 0), "03/07"},
      {LocalSeconds(2004, 3, 7, 0, 0, 1), "03/07"},  // the 2-second step makes it midnight
      {LocalSeconds(2004, 3, 7, 0, 0, 2), "03/07 00:00"},
      {LocalSeconds(2004, 12, 31, 23, 59, 59), "12/31 23:59"},
      {LocalSeconds(2011, 1, 2, 9, 5, 0), "01/02 09:05"},
      {LocalSeconds(1975, 6, 1, 12, 0, 0), ""},  // before packed dates begin; still added
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = h.dir.Write(std::to_string(n++) + ".d", "x");
    SetMTime(path, c.seconds);
    ASSERT_TRUE(h.entries.AddSourceEntry(path));
    EXPECT_EQ(h.sources.At(h.sources.Count() - 1).dateText, c.text) << c.seconds;
  }
}

TEST(SourceEntryTest, FolderShowsFolderAndItsOwnTime) {
  SetupHarness h;
  const std::string folder = h.dir.MakeDir("data");
  SetMTime(folder, LocalSeconds(2006, 8, 15, 14, 30, 0));
  ASSERT_TRUE(h.entries.AddSourceEntry(folder));
  EXPECT_EQ(h.sources.At(0), (SourceEntry{folder, "08/15 14:30", "Folder"}));
}

TEST(SourceEntryTest, MissingPathIsLoggedAndAddedNothingWhileRepeatsAddRows) {
  SetupHarness h;
  const std::string file = h.dir.Write("a.exe", "12345");
  const std::string missing = h.dir / "gone.exe";
  EXPECT_FALSE(h.entries.AddSourceEntry(missing));
  EXPECT_TRUE(h.entries.AddSourceEntry(file));
  EXPECT_TRUE(h.entries.AddSourceEntry(file));
  EXPECT_EQ(h.Paths(), (std::vector<std::string>{file, file}));
  EXPECT_EQ(h.sources.At(0), h.sources.At(1));
  EXPECT_EQ(h.sink.lines, (std::vector<std::string>{"ファイル無いみたいです " + missing}));
}

TEST(AddFilesCommandTest, AddsInDialogOrderAndMovesDefaultFolderOnlyAfterOk) {
  SetupHarness h;
  const std::string b = h.dir.Write("sub/b.exe", "b");
  const std::string a = h.dir.Write("a.exe", "a");
  ScriptedDialogs dialogs;
  dialogs.openResults = {{b, a}, {}};
  std::string defaultFolder = "/start/here/";

  EXPECT_TRUE(h.entries.AddFilesCommand(dialogs, defaultFolder));
  const OpenFileRequest& request = dialogs.openRequests.at(0);
  EXPECT_EQ(request.title, "配布ファイルを追加");
  EXPECT_EQ(request.filter, "Exe files (*.exe)|*.exe|All files (*.*)|*.*");
  EXPECT_EQ(request.filterIndex, 2);
  EXPECT_TRUE(request.multiSelect);
  EXPECT_EQ(request.initialFolder, "/start/here/");
  EXPECT_EQ(h.Paths(), (std::vector<std::string>{b, a}));
  EXPECT_EQ(defaultFolder, h.dir / "sub/");

  EXPECT_FALSE(h.entries.AddFilesCommand(dialogs, defaultFolder));  // cancelled
  EXPECT_EQ(dialogs.openRequests.at(1).initialFolder, h.dir / "sub/");
  EXPECT_EQ(defaultFolder, h.dir / "sub/");
  EXPECT_EQ(h.sources.Count(), 2);
}

TEST(SelectFolderTest, PathEndsInOneSeparatorAndSurvivesCancel) {
  const std::string dist = NativeRelative("/srv/dist");
  const std::string home = NativeRelative("/home");
  ScriptedDialogs dialogs;
  dialogs.folderResults = {dist, dist + kSeparator, std::nullopt};
  TSelectFolder picker(dialogs);
  EXPECT_EQ(picker.Title, "Select One");
  EXPECT_TRUE(picker.Execute(home));
  EXPECT_EQ(picker.Path, dist + kSeparator);
  EXPECT_TRUE(picker.Execute(home));
  EXPECT_EQ(picker.Path, dist + kSeparator);
  EXPECT_FALSE(picker.Execute(home));
  EXPECT_EQ(picker.Path, dist + kSeparator);
  EXPECT_EQ(dialogs.folderRequests.at(0),
            (std::pair<std::string, std::string>{"Select One", home}));
}

TEST(AddFolderCommandTest, ChosenFolderLosesItsTrailingSeparatorButRootKeepsIt) {
  SetupHarness h;
  const std::string folder = h.dir.MakeDir("tools");
  ScriptedDialogs dialogs;
#ifdef _WIN32
  const std::string root = "C:\\";
  const std::string rootLogged = "C:";  // the drive's root loses its backslash like any folder
#else
  const std::string root = "/";
  const std::string rootLogged = "/";
#endif
  dialogs.folderResults = {folder + kSeparator, root, std::nullopt};
  EXPECT_TRUE(h.entries.AddFolderCommand(dialogs, "/cwd"));
  EXPECT_EQ(dialogs.folderRequests.at(0),
            (std::pair<std::string, std::string>{"配布フォルダを追加", "/cwd"}));
  EXPECT_EQ(h.Paths(), (std::vector<std::string>{folder}));

  // The whole disk is no sensible source: the root is searched, finds nothing and is logged
  // under its own name rather than as an empty path.
  EXPECT_FALSE(h.entries.AddFolderCommand(dialogs, "/cwd"));
  EXPECT_EQ(h.sink.lines, (std::vector<std::string>{"ファイル無いみたいです " + rootLogged}));
  EXPECT_FALSE(h.entries.AddFolderCommand(dialogs, "/cwd"));  // cancelled
  EXPECT_EQ(h.sources.Count(), 1);
}

TEST(DroppedFilesTest, AddedInDropOrderWithLongNamesWholeAndMissingOnesLogged) {
  SetupHarness h;
  std::string deep =
      std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(40, 'f') + ".dat";
  const std::string longPath = h.dir.Write(deep, "x");
  ASSERT_GT(longPath.size(), 254u);
  const std::string first = h.dir.Write("z.txt", "z");
  const std::string gone = h.dir / "gone.txt";
  h.entries.AddDroppedFiles({first, gone, longPath, first});
  EXPECT_EQ(h.Paths(), (std::vector<std::string>{first, longPath, first}));
  EXPECT_EQ(h.sink.lines, (std::vector<std::string>{"ファイル無いみたいです " + gone}));
}

TEST(RemoveEntriesTest, RemovesEverySelectedRowWhateverTheOrder) {
  SetupHarness h;
  std::vector<std::string> all;
  for (const char* name : {"0", "1", "2", "3", "4"}) all.push_back(h.dir.Write(name, name));
  h.entries.AddDroppedFiles(all);
  h.entries.RemoveSelected({3, 1, 3});
  EXPECT_EQ(h.Paths(), (std::vector<std::string>{all[0], all[2], all[4]}));
  h.entries.RemoveSelected({});
  EXPECT_EQ(h.sources.Count(), 3);
  h.entries.RemoveAll();
  h.entries.RemoveAll();  // an empty list stays empty
  EXPECT_EQ(h.sources.Count(), 0);
}

}  // namespace
}  // namespace tolvane::test
