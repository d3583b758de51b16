#include <gtest/gtest.h>

#include "app/core/Commands.h"
#include "app/win32/Resource.h"
#include "platform/Encoding.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"
#include "support/TempDir.h"

namespace tolvane::test {
namespace {

#ifdef TOLVANE_EXE_PATH
// The built program, named as this system sees the build folder.
std::wstring BuiltExe() {
  std::wstring path = Widen(TOLVANE_EXE_PATH);
  if (!path.empty() && path[0] == L'/') path.insert(0, L"Z:");  // Wine's drive for "/"
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

// Starts tolvane.exe in folder (its own folder, where its files live).
PROCESS_INFORMATION StartExeIn(const TempDir& folder, const std::wstring& arguments) {
  PROCESS_INFORMATION process{};
  const std::wstring exe = Widen(folder / "tolvane.exe");
  if (!CopyFileW(BuiltExe().c_str(), exe.c_str(), FALSE)) return process;
  std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      Widen(folder.Path()).c_str(), &startup, &process))
    return {};
  return process;
}

// Waits for the program to end and returns its exit code; -1 when it did not end within a
// minute (it is then ended).
int ExitCodeOf(PROCESS_INFORMATION& process) {
  if (!process.hProcess) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 99);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

int RunExeIn(const TempDir& folder, const std::wstring& arguments) {
  PROCESS_INFORMATION process = StartExeIn(folder, arguments);
  return ExitCodeOf(process);
}

struct WindowSearch {
  DWORD pid;
  HWND found = nullptr;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (pid == search->pid && IsWindowVisible(window) && std::wstring(name) == L"TfrmMain") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

TEST(TolvaneExeTest, RunsUnattendedInAnEmptyFolderAndWritesItsFilesInTheCodePage) {
  TempDir folder;
  // A setting that only Japanese text can hold, stored as a Windows program stores it.
  const std::string defaultFolder = "C:\\配布元\\";
  folder.Write("Pelmo.ini",
               ToSystemText("[Setting]\r\nSaveLog=1\r\nDefaultFolder=" + defaultFolder + "\r\n"));
  ASSERT_EQ(RunExeIn(folder, L"-b -o"), 0);

  const std::string log = folder.Read("Pelmo.log");
  EXPECT_EQ(log.substr(0, 2 + ToSystemText("▼起動 ").size()), "\r\n" + ToSystemText("▼起動 "));
  EXPECT_NE(log.find(ToSystemText("配布終了") + "\r\n\r\n"), std::string::npos);
  const auto end = log.rfind(ToSystemText("▲終了 "));
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(log.find("\r\n", end) + 4, log.size());
  // Every line ends in CR LF; none in a bare LF.
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == '\n') {
      EXPECT_TRUE(i > 0 && log[i - 1] == '\r') << "at " << i;
    }
  }
  EXPECT_FALSE(IsValidUtf8(log));  // the code page (Shift-JIS here), not UTF-8

  const std::string ini = folder.Read("Pelmo.ini");
  EXPECT_NE(ini.find("[Setting]\r\n"), std::string::npos);
  EXPECT_NE(ini.find("DefaultFolder=" + ToSystemText(defaultFolder) + "\r\n"), std::string::npos);
  EXPECT_FALSE(IsValidUtf8(ini));
  // -o: the default list is left alone.
  EXPECT_FALSE(folder.Exists("Pelmo.lst"));
}
TEST(TolvaneExeTest, StartedByHandItShowsItsTitleAndFileExitClosesItWritingTheSettings) {
  TempDir folder;
  PROCESS_INFORMATION process = StartExeIn(folder, L"-o");
  ASSERT_NE(process.hProcess, nullptr);
  WaitForInputIdle(process.hProcess, 30000);
  WindowSearch search{process.dwProcessId};
  // The window comes up once the network has been read; a few seconds at most.
  for (int i = 0; i < 300 && !search.found; ++i) {
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(100);
  }
  ASSERT_NE(search.found, nullptr);
  wchar_t title[64] = {};
  GetWindowTextW(search.found, title, 64);
  EXPECT_EQ(Narrow(title), "Tolvane 1.05");
  PostMessageW(search.found, WM_COMMAND, static_cast<WPARAM>(CommandId::Exit), 0);
  EXPECT_EQ(ExitCodeOf(process), 0);
  EXPECT_NE(folder.Read("Pelmo.ini").find("[Setting]\r\n"), std::string::npos);
  EXPECT_FALSE(folder.Exists("Pelmo.lst"));  // -o
}
TEST(TolvaneExeTest, CarriesItsIconForTheDesktopAtBothSizes) {
  HMODULE exe = LoadLibraryExW(BuiltExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  for (int size : {16, 32}) {
    HICON icon = static_cast<HICON>(
        LoadImageW(exe, MAKEINTRESOURCEW(IDI_TOLVANE), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  FreeLibrary(exe);
}
#endif

}  // namespace
}  // namespace tolvane::test
