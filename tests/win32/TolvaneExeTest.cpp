#include <gtest/gtest.h>

#include "app/core/Commands.h"
#include "app/win32/Resource.h"
#include "platform/Encoding.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"
#include "support/NativeFileSystem.h"
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

// How a test starts the program: its standard output into a file, its environment without a
// display.
struct StartOptions {
  HANDLE output = nullptr;  // inheritable
  bool noDisplay = false;
};

// This process's environment without DISPLAY, as a block for CreateProcessW.
std::wstring EnvironmentWithoutDisplay() {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; *p; p += wcslen(p) + 1) {
    if (_wcsnicmp(p, L"DISPLAY=", 8) == 0) continue;
    block += p;
    block.push_back(L'\0');
  }
  FreeEnvironmentStringsW(strings);
  block.push_back(L'\0');
  return block;
}

// Starts tolvane.exe in folder (its own folder, where its files live).
PROCESS_INFORMATION StartExeIn(const TempDir& folder, const std::wstring& arguments,
                               const StartOptions& options = {}) {
  PROCESS_INFORMATION process{};
  const std::wstring exe = Widen(folder / "tolvane.exe");
  if (!CopyFileW(BuiltExe().c_str(), exe.c_str(), FALSE)) return process;
  std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (options.output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = options.output;
    startup.hStdError = options.output;
  }
  std::wstring environment = options.noDisplay ? EnvironmentWithoutDisplay() : std::wstring();
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr,
                      options.output ? TRUE : FALSE, CREATE_UNICODE_ENVIRONMENT,
                      options.noDisplay ? environment.data() : nullptr,
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

int RunExeIn(const TempDir& folder, const std::wstring& arguments,
             const StartOptions& options = {}) {
  PROCESS_INFORMATION process = StartExeIn(folder, arguments, options);
  return ExitCodeOf(process);
}

// Runs the program with its standard output and error going into a file; returns what it
// wrote there.
std::string OutputOf(const TempDir& folder, const std::wstring& arguments, int& exitCode) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const std::wstring path = Widen(folder / "output.txt");
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  exitCode = RunExeIn(folder, arguments, {file, false});
  CloseHandle(file);
  return folder.Read("output.txt");
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
TEST(TolvaneExeTest, VersionAndHelpAreAnsweredWithoutAWindow) {
  TempDir folder;
  int code = -1;
  EXPECT_EQ(OutputOf(folder, L"--version", code), "Tolvane 1.05\r\n");  // a Windows text line
  EXPECT_EQ(code, 0);
  EXPECT_NE(OutputOf(folder, L"--help", code).find("-b "), std::string::npos);
  EXPECT_EQ(code, 0);
  // A log that is no file ends the program at once, as a refused start does on Linux.
  EXPECT_NE(OutputOf(folder, L"-b -o -gNUL", code).find("NUL"), std::string::npos);
  EXPECT_EQ(code, 2);
  EXPECT_FALSE(folder.Exists("Pelmo.ini"));
}

TEST(TolvaneExeTest, BatchModeNeedsNoDisplayAndReachesANamedServerTheNetworkFolderLacks) {
  // Wine serves \\SERVER\share from the prefix's dosdevices\unc folder, and its Network
  // folder lists nothing: the server is known only by the name in the settings.
  wchar_t prefix[MAX_PATH] = {};
  if (!test::RunningUnderWine() || !GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH)) {
    GTEST_SKIP() << "needs a network share (Wine's dosdevices\\unc stands in for one)";
  }
  const std::string server = "TLVB" + std::to_string(GetCurrentProcessId());
  std::string servers = "Z:" + Narrow(prefix) + "/dosdevices/unc";
  for (char& c : servers) c = c == '/' ? '\\' : c;
  CreateDirectoryW(Widen(servers).c_str(), nullptr);  // a fresh prefix has none yet
  const std::string unc = servers + "\\" + server;
  ASSERT_TRUE(CreateDirectoryW(Widen(unc).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Widen(unc + "\\share").c_str(), nullptr));
  TempDir folder;
  const std::string source = folder.Write("a.txt", "to the named server");
  folder.Write("Pelmo.ini",
               "[Setting]\r\nConfirmOverWrite=0\r\nSaveLog=1\r\n[Servers]\r\n"
               "Count=1\r\nServer0=" +
                   server + "\r\n");
  // Saved where the Network folder showed a workgroup level.
  folder.Write("Pelmo.lst", ToSystemText("[Source]\r\nCount=1\r\nFile0=" + source +
                                         "\r\n[Destination]\r\nCount=1\r\nFolder0=\\\\" + server +
                                         "\\share\r\n[Alias]\r\nFolder0=ネットワーク\tWORKGROUP\t" +
                                         server + "\tshare\r\n"));
  EXPECT_EQ(RunExeIn(folder, L"-b -o", {nullptr, true}), 0);
  const std::string copied = unc + "\\share\\a.txt";
  HANDLE h = CreateFileW(Widen(copied).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  char buffer[64] = {};
  DWORD n = 0;
  if (h != INVALID_HANDLE_VALUE) {
    ReadFile(h, buffer, sizeof buffer, &n, nullptr);
    CloseHandle(h);
  }
  EXPECT_EQ(std::string(buffer, n), "to the named server");
  DeleteFileW(Widen(copied).c_str());
  RemoveDirectoryW(Widen(unc + "\\share").c_str());
  RemoveDirectoryW(Widen(unc).c_str());
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
