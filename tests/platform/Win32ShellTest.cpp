#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32LogViewer.h"
#include "platform/win32/Win32ShellNamespace.h"
#include "platform/win32/WindowsApi.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

using test::TempDir;

std::vector<std::string> Listed(Win32ShellNamespace& shell, const ShellItem& folder,
                                bool foldersOnly) {
  std::vector<std::string> names;
  auto items = shell.Enumerate(folder, foldersOnly);
  if (!items) return names;
  while (auto item = items->Next()) names.push_back(shell.DisplayName(*item));
  std::sort(names.begin(), names.end());
  return names;
}

// Saves a shortcut to target, as the shell's network places are stored.
void MakeShortcut(const std::string& file, const std::string& target) {
  IShellLinkW* link = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkW, reinterpret_cast<void**>(&link))));
  link->SetPath(Widen(target).c_str());
  IPersistFile* persist = nullptr;
  ASSERT_TRUE(
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))));
  EXPECT_TRUE(SUCCEEDED(persist->Save(Widen(file).c_str(), TRUE)));
  persist->Release();
  link->Release();
}

TEST(Win32ShellTest, LocalFoldersAreListedThroughTheShell) {
  TempDir dir;
  dir.MakeDir("top/a/deeper");
  dir.MakeDir("top/表");
  dir.Write("top/f.txt", "x");
  Win32ShellNamespace shell;

  const auto top = shell.ParsePath(dir / "top");
  ASSERT_TRUE(top.has_value());
  EXPECT_EQ(shell.FileSystemPath(*top), dir / "top");
  EXPECT_EQ(shell.DisplayName(*top), "top");
  EXPECT_EQ(Listed(shell, *top, true), (std::vector<std::string>{"a", "表"}));
  EXPECT_EQ(Listed(shell, *top, false), (std::vector<std::string>{"a", "f.txt", "表"}));

  const auto a = shell.ParsePath(dir / "top/a");
  ASSERT_TRUE(a.has_value());
  const ShellAttributes attributes = shell.Attributes(*a);
  EXPECT_TRUE(attributes.folder);
  EXPECT_FALSE(attributes.link);
  EXPECT_TRUE(attributes.hasSubFolders);
  EXPECT_EQ(shell.IconOf(*a), ShellIcon::Folder);
  EXPECT_GE(shell.SystemIconIndex(*a), 0);
  // An item found by listing is the same as the one found by its path.
  auto items = shell.Enumerate(*top, true);
  ASSERT_TRUE(items);
  std::optional<ShellItem> listedA;
  while (auto item = items->Next()) {
    if (shell.DisplayName(*item) == "a") listedA = item;
  }
  ASSERT_TRUE(listedA.has_value());
  EXPECT_EQ(shell.FileSystemPath(*listedA), dir / "top/a");

  EXPECT_FALSE(shell.ParsePath(dir / "top/f.txt").has_value());  // not a folder
  EXPECT_FALSE(shell.ParsePath(dir / "missing").has_value());
  EXPECT_FALSE(shell.ParsePath("").has_value());
  EXPECT_EQ(shell.DisplayName(ShellItem{"not a list"}), "");
  EXPECT_EQ(shell.Enumerate(ShellItem{"x"}, true), nullptr);
}

TEST(Win32ShellTest, TheNetworkFolderIsVirtual) {
  Win32ShellNamespace shell;
  const auto network = shell.NetworkFolder();
  ASSERT_TRUE(network.has_value());
  EXPECT_FALSE(shell.DisplayName(*network).empty());
  EXPECT_EQ(shell.FileSystemPath(*network), "");
  EXPECT_EQ(shell.IconOf(*network), ShellIcon::Network);
  if (test::RunningUnderWine()) {
    GTEST_SKIP() << "Wine's Network folder lists no servers; its listing needs a real network";
  }
  auto items = shell.Enumerate(*network, false);
  ASSERT_TRUE(items);
  while (auto item = items->Next()) EXPECT_FALSE(shell.DisplayName(*item).empty());
}

TEST(Win32ShellTest, ShortcutsGiveTheirStoredTarget) {
  TempDir dir;
  const std::string target = dir.MakeDir("target folder");
  Win32ShellNamespace shell;
  MakeShortcut(dir / "place.lnk", target);
  MakeShortcut(dir / "gone.lnk", dir / "removed");
  dir.Write("plain.lnk", "not a shortcut");

  EXPECT_EQ(shell.ResolveShortcut(dir / "place.lnk"), target);
  // A target that is gone still comes back as it was stored.
  EXPECT_EQ(shell.ResolveShortcut(dir / "gone.lnk"), dir / "removed");
  EXPECT_EQ(shell.ResolveShortcut(dir / "plain.lnk"), std::nullopt);
  EXPECT_EQ(shell.ResolveShortcut(dir / "missing.lnk"), std::nullopt);
}

TEST(Win32ShellTest, IconKindFollowsTheItemsPath) {
  const ShellAttributes folder{true, false, true};
  const ShellAttributes link{true, true, false};
  const ShellAttributes file{false, false, false};
  struct Case {
    bool network;
    ShellAttributes attributes;
    const char* path;
    ShellIcon icon;
  } cases[] = {
      {true, folder, "", ShellIcon::Network},
      {false, link, R"(C:\NetHood\docs)", ShellIcon::Shortcut},
      {false, folder, R"(\\SRV)", ShellIcon::Server},
      {false, folder, R"(\\SRV\share)", ShellIcon::Share},
      {false, folder, R"(\\SRV\share\dir)", ShellIcon::Folder},
      {false, folder, R"(C:\data)", ShellIcon::Folder},
      {false, folder, "", ShellIcon::Workgroup},
      {false, file, R"(C:\a.txt)", ShellIcon::Other},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IconKindOf(c.network, c.attributes, c.path), c.icon) << c.path;
  }
}

// Records the command line instead of starting the viewer.
class RecordingViewer : public Win32LogViewer {
 public:
  std::vector<std::string> started;

 protected:
  bool StartProcess(const std::string& commandLine) override {
    started.push_back(commandLine);
    return true;
  }
};

TEST(Win32LogViewerTest, QuotedArgumentsReadBackWhole) {
  struct Case {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {R"(C:\Program Files\viewer.exe)", R"("C:\Program Files\viewer.exe")"},
      {R"(C:\logs\Pelmo.log)", R"("C:\logs\Pelmo.log")"},
      {R"(C:\dir\)", R"("C:\dir\\")"},
      {R"(say "hi")", R"("say \"hi\"")"},
      {R"(a\"b)", R"("a\\\"b")"},
      {"", R"("")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuoteArgument(c.argument), c.quoted) << c.argument;
    // What the system's own splitting makes of it.
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(Widen("x.exe " + QuoteArgument(c.argument)).c_str(), &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(Narrow(args[1]), c.argument);
    LocalFree(args);
  }
}

TEST(Win32LogViewerTest, OpensTheLogInTheTextViewerWithThePathAsOneArgument) {
  RecordingViewer viewer;
  const auto program = viewer.FindTextViewer();
  if (!program) GTEST_SKIP() << "no program is associated with text files here";
  TempDir dir;
  const std::string log = dir.Write("log folder/Pelmo 1.log", "line\r\n");
  ASSERT_TRUE(viewer.Open(log));
  ASSERT_EQ(viewer.started.size(), 1u);
  EXPECT_EQ(viewer.started[0], QuoteArgument(*program) + " " + QuoteArgument(log));

  // The probe goes again; one that was there before stays.
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::string probe = Narrow(temp) + kViewerProbeName;
  EXPECT_EQ(GetFileAttributesW(Widen(probe).c_str()), INVALID_FILE_ATTRIBUTES);
  HANDLE h = CreateFileW(Widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(viewer.Open(log));
  EXPECT_NE(GetFileAttributesW(Widen(probe).c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(Widen(probe).c_str());
}

}  // namespace
}  // namespace tolvane
