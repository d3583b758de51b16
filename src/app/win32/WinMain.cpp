// The Windows entry: splash decision, the main window, its message loop, the batch exit code.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/core/BatchPrompts.h"
#include "app/core/CommandLine.h"
#include "app/win32/Main.h"
#include "app/win32/Win32About.h"
#include "app/win32/Win32Platform.h"
#include "app/win32/Win32Splash.h"
#include "common/AppInfo.h"
#include "platform/LocalTime.h"
#include "platform/ReadOnlyFileSystem.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32LogViewer.h"
#include "platform/win32/Win32NamedServers.h"
#include "platform/win32/Win32ShellNamespace.h"

namespace {

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) args.push_back(tolvane::Narrow(argv[i]));
    LocalFree(argv);
  }
  return args;
}

std::string ExecutableFolder() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  path.erase(path.find_last_of(L'\\') + 1);
  return tolvane::Narrow(path);
}

std::string CurrentFolder() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(path.size()), path.data());
  path.resize(n);
  return tolvane::Narrow(path);
}

bool HasStream(DWORD which) {
  const HANDLE h = GetStdHandle(which);
  return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// A program without a console of its own writes its lines to the console it was started from.
// Streams that were given (a file, a pipe) are kept as they are.
void UseStartingConsole() {
  const bool out = HasStream(STD_OUTPUT_HANDLE), err = HasStream(STD_ERROR_HANDLE);
  if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  // Our lines are UTF-8; the console is the user's, and gets its code page back at the end.
  static UINT savedCodePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  std::atexit([] {
    std::fflush(stdout);
    std::fflush(stderr);
    SetConsoleOutputCP(savedCodePage);
  });
  if (!out) std::freopen("CONOUT$", "w", stdout);
  if (!err) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::vector<std::string> args = Arguments();
  // --help and --version open no window: they are answered where the program was started.
  switch (tolvane::FindInfoRequest(args)) {
    case tolvane::InfoRequest::Help: {
      UseStartingConsole();
      tolvane::FileFolders folders;
      folders.settingsFolder = folders.logFolder = ExecutableFolder();
      std::fputs(tolvane::HelpText(folders).c_str(), stdout);
      std::fflush(stdout);
      return 0;
    }
    case tolvane::InfoRequest::Version:
      UseStartingConsole();
      std::fputs(tolvane::VersionText().c_str(), stdout);
      std::fflush(stdout);
      return 0;
    case tolvane::InfoRequest::None:
      break;
  }
  const bool batch = tolvane::HasBatchSwitch(args);
  // Batch mode makes no window at all, so it runs where there is no desktop either; its
  // summary and errors go to the console it was started from.
  if (batch) UseStartingConsole();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
  if (!batch) InitCommonControlsEx(&controls);
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

  tolvane::Win32Prompts boxes;
  // Until the main window's controller takes over, errors follow the same batch rule.
  tolvane::BatchPrompts prompts(boxes);
  prompts.SetUnattended(batch);
  int exitCode = 0;
  try {
    // No owner, so that the main window is the program's main window.
    std::unique_ptr<tolvane::TfrmSplash> splash;
    if (!batch) {
      splash = std::make_unique<tolvane::TfrmSplash>();
      splash->ShowNow();
    }
    tolvane::Win32FileSystem fs;
    tolvane::Win32Dialogs dialogs;
    tolvane::Win32EventPump pump;
    tolvane::Win32Cursor cursor;
    tolvane::SystemClock clock;
    tolvane::Win32LogViewer logViewer;
    tolvane::Win32ShellNamespace systemShell;
    // Servers the Network folder does not list are named in the settings; their shares come
    // from the system's share enumeration, their folders from the file system.
    tolvane::NetShareLister shareLister;
    tolvane::NamedServerNamespace shell(systemShell, fs, shareLister);
    // A dry run writes nothing anywhere: below everything else, every write is refused.
    tolvane::ReadOnlyFileSystem readOnlyFs(fs);
    tolvane::FileSystem& usedFs = tolvane::HasDryRunSwitch(args)
                                      ? static_cast<tolvane::FileSystem&>(readOnlyFs)
                                      : static_cast<tolvane::FileSystem&>(fs);
    tolvane::MainServices services{usedFs, boxes, dialogs, pump, cursor, clock, logViewer, shell};
    services.setServers = [&shell](const tolvane::ServerSettings& servers) {
      shell.SetServers(servers.servers);
    };

    // Pelmo.ini, Pelmo.lst and Pelmo.log live beside the program.
    const tolvane::StartupInfo startup{ExecutableFolder(), CurrentFolder(), args, {}};
    if (batch) {
      tolvane::MainController controller(services, startup);
      controller.Guarded([&controller] { controller.FormCreate(); });
      controller.RunBatch();
      controller.Guarded([&controller] { controller.FormDestroy(); });
      exitCode = controller.ExitCode();
    } else {
      tolvane::TfrmMain frmMain(services, startup);
      boxes.SetOwner(frmMain.Handle());
      dialogs.SetOwner(frmMain.Handle());
      frmMain.FormCreate();
      tolvane::TdlgAbout dlgAbout(frmMain.Handle());
      frmMain.SetAboutHandler([&dlgAbout] { dlgAbout.ShowAbout(); });
      splash.reset();
      // A start that was refused (a log that cannot be written) has said why; the window is
      // never shown and nothing was loaded to be saved.
      if (frmMain.Controller().ShowsWindow()) {
        frmMain.Show();
        frmMain.RunMessageLoop();
      }
      frmMain.FormDestroy();
      boxes.SetOwner(nullptr);
      dialogs.SetOwner(nullptr);
      exitCode = frmMain.Controller().ExitCode();
    }
  } catch (const std::exception& e) {
    // The main window is gone by now: the box has no owner.
    boxes.SetOwner(nullptr);
    prompts.ShowError(tolvane::kAppTitle, e.what());
    exitCode = batch ? 2 : 0;
  }
  if (com) CoUninitialize();
  return exitCode;
}
