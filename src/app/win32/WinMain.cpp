// The Windows entry: splash decision, the main window, its message loop, the batch exit code.
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::vector<std::string> args = Arguments();
  const bool batch = tolvane::HasBatchSwitch(args);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

  tolvane::Win32Prompts boxes;
  // Until the main window's controller takes over, errors follow the same batch rule.
  tolvane::BatchPrompts prompts(boxes);
  prompts.SetUnattended(batch);
  int exitCode = 0;
  try {
    // No owner, so that the main window is the program's main window.
    auto splash = std::make_unique<tolvane::TfrmSplash>();
    if (!batch) splash->ShowNow();
    tolvane::Win32FileSystem fs;
    tolvane::Win32Dialogs dialogs;
    tolvane::Win32EventPump pump;
    tolvane::Win32Cursor cursor;
    tolvane::SystemClock clock;
    tolvane::Win32LogViewer logViewer;
    tolvane::Win32ShellNamespace shell;
    // A dry run writes nothing anywhere: below everything else, every write is refused.
    tolvane::ReadOnlyFileSystem readOnlyFs(fs);
    tolvane::FileSystem& usedFs = tolvane::HasDryRunSwitch(args)
                                      ? static_cast<tolvane::FileSystem&>(readOnlyFs)
                                      : static_cast<tolvane::FileSystem&>(fs);
    tolvane::MainServices services{usedFs, boxes, dialogs, pump, cursor, clock, logViewer, shell};

    // Pelmo.ini, Pelmo.lst and Pelmo.log live beside the program.
    tolvane::TfrmMain frmMain(services, {ExecutableFolder(), CurrentFolder(), args, {}});
    boxes.SetOwner(frmMain.Handle());
    dialogs.SetOwner(frmMain.Handle());
    frmMain.FormCreate();
    tolvane::TdlgAbout dlgAbout(frmMain.Handle());
    frmMain.SetAboutHandler([&dlgAbout] { dlgAbout.ShowAbout(); });
    splash.reset();
    if (!batch) {
      // Batch mode never shows the window, so it never gets a task-bar button either.
      frmMain.Show();
      exitCode = frmMain.RunMessageLoop();
    } else if (frmMain.Controller().State().startupComplete) {
      exitCode = frmMain.RunMessageLoop();
    } else {
      // Start-up failed before it was complete: the automatic run would never start, and an
      // unattended program must not wait for ever.
      exitCode = 2;
    }
    frmMain.FormDestroy();
    if (batch && exitCode != 2) exitCode = frmMain.Controller().BatchExitCode();
  } catch (const std::exception& e) {
    // The main window is gone by now: the box has no owner.
    boxes.SetOwner(nullptr);
    prompts.ShowError(tolvane::kAppTitle, e.what());
    exitCode = 2;
  }
  if (com) CoUninitialize();
  return batch ? exitCode : 0;
}
