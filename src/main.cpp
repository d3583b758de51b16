// The main entry: splash decision, application title, windows, message loop.
#include "app/qt/Main.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>

#include "app/core/BatchPrompts.h"
#include "app/core/CommandLine.h"
#include "app/qt/Splash.h"
#include "app/qt/Unitabout.h"
#include "common/AppInfo.h"
#include "platform/LocalTime.h"
#include "platform/ReadOnlyFileSystem.h"
#include "platform/posix/NetworkNamespace.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/SmbLogin.h"
#include "platform/smb/SmbFileSystem.h"
#include "platform/smb/SmbNetworkNamespace.h"

namespace {

// One guard around every event handler: an exception is shown in the standard error box and
// the program goes on.
class TolvaneApplication : public QApplication {
 public:
  using QApplication::QApplication;
  tolvane::Prompts* prompts = nullptr;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      ShowError(e.what());
    } catch (...) {
      ShowError("不明なエラー");
    }
    return false;
  }

  void ShowError(const std::string& message) {
    if (prompts) prompts->ShowError(tolvane::kAppTitle, message);
  }
};

// Read before the application object exists, so that --help can name the folders in use.
std::string ExecutableFolder() {
  std::error_code error;
  std::string folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
  if (error || folder.empty()) folder = std::filesystem::current_path(error);
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

tolvane::FileFolders FindFileFolders() {
  tolvane::FolderFacts facts;
  facts.exeFolder = ExecutableFolder();
  facts.exeFolderWritable = access(facts.exeFolder.c_str(), W_OK) == 0;
  facts.home = Environment("HOME");
  if (facts.home.empty()) {
    if (const passwd* user = getpwuid(getuid())) facts.home = user->pw_dir;
  }
  facts.xdgConfigHome = Environment("XDG_CONFIG_HOME");
  facts.xdgStateHome = Environment("XDG_STATE_HOME");
  return tolvane::ChooseFileFolders(facts);
}

// The folders a user's files go to are the user's alone; existing folders keep their mode.
// One that cannot be made is said on the standard error stream: nothing could be saved there.
void CreatePrivateFolders(const std::string& folder) {
  for (std::size_t pos = folder.find('/', 1); pos != std::string::npos;
       pos = folder.find('/', pos + 1)) {
    mkdir(folder.substr(0, pos).c_str(), 0700);
  }
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "%s: cannot create %s\n", tolvane::kAppTitle, folder.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const tolvane::FileFolders folders = FindFileFolders();
  switch (tolvane::FindInfoRequest(args)) {
    case tolvane::InfoRequest::Help:
      std::fputs(tolvane::HelpText(folders).c_str(), stdout);
      return 0;
    case tolvane::InfoRequest::Version:
      std::fputs(tolvane::VersionText().c_str(), stdout);
      return 0;
    case tolvane::InfoRequest::None:
      break;
  }
  // A dry run writes nothing, not even the folders the files would go to.
  if (!folders.besideProgram && !tolvane::HasDryRunSwitch(args)) {
    CreatePrivateFolders(folders.settingsFolder);
    CreatePrivateFolders(folders.logFolder);
  }
  const bool batch = tolvane::HasBatchSwitch(args);
  if (batch) {
    // Batch mode shows nothing, so it needs no display at all; the minimal platform also
    // reads no fonts.
    qputenv("QT_QPA_PLATFORM", "minimal");
    // Standard error is where a scheduler looks for what went wrong: only our own lines go
    // there, not the toolkit's notes about the desktop it does not use.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  }

  TolvaneApplication app(argc, argv);
  // The window speaks Japanese; so do the buttons of Qt's own boxes and dialogs where Qt's
  // translations are installed.
  QTranslator qtTranslator;
  if (qtTranslator.load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslator);
  }
  tolvane::QtPrompts boxes;
  // Until the main window's controller takes over, errors follow the same batch rule.
  tolvane::BatchPrompts prompts(boxes);
  prompts.SetUnattended(batch);
  app.prompts = &prompts;
  int exitCode = 0;
  try {
    // Made with no owner, so that the main window is the application's main window.
    auto splash = std::make_unique<tolvane::TfrmSplash>();
    if (!batch) splash->ShowNow();
    // Network paths go to the folder where shares are mounted, or over SMB to a named server.
    tolvane::PosixFileSystem localFs;
    tolvane::SmbClient smb;
    tolvane::SmbFileSystem fs(localFs, smb);
    tolvane::QtSmbLogin login;
    // Batch mode never asks: a server it cannot log on to fails.
    if (!batch) smb.SetLoginPrompt(&login);
    tolvane::QtDialogs dialogs;
    tolvane::QtEventPump pump;
    tolvane::QtCursor cursor;
    tolvane::SystemClock clock;
    tolvane::DesktopLogViewer logViewer;
    tolvane::PosixNetworkNamespace localShell;
    tolvane::SmbNetworkNamespace shell(localShell, smb);
    // A dry run writes nothing anywhere: below everything else, every write is refused.
    tolvane::ReadOnlyFileSystem readOnlyFs(fs);
    tolvane::FileSystem& usedFs = tolvane::HasDryRunSwitch(args)
                                      ? static_cast<tolvane::FileSystem&>(readOnlyFs)
                                      : static_cast<tolvane::FileSystem&>(fs);
    tolvane::MainServices services{usedFs, boxes, dialogs, pump, cursor, clock, logViewer, shell};
    services.setNetworkRoot = [&localFs, &localShell](const std::string& root) {
      localFs.SetNetworkRoot(root);
      localShell.SetNetworkRoot(root);
    };
    services.setServers = [&smb](const tolvane::ServerSettings& servers) {
      tolvane::SmbOptions options;
      options.port = servers.port;
      options.timeoutSeconds = servers.timeoutSeconds;
      options.credentialsFile = servers.credentialsFile.empty()
                                    ? Environment("TOLVANE_SMB_CREDENTIALS")
                                    : servers.credentialsFile;
      smb.SetOptions(options);
      smb.SetServers(servers.servers);
    };

    // No display name: Qt would append it to every window title, and titles are exactly ours.
    QApplication::setApplicationName(tolvane::kProductName);
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName("tolvane");

    char cwd[4096];
    const std::string currentDir = getcwd(cwd, sizeof cwd) ? cwd : ".";
    tolvane::TfrmMain frmMain(services,
                              {folders.settingsFolder, currentDir, args, folders.logFolder});
    boxes.SetOwner(&frmMain);
    app.prompts = &frmMain.Controller().Ask();
    dialogs.SetOwner(&frmMain);
    login.SetOwner(&frmMain);
    smb.SetFailureReport(
        [&frmMain](const std::string& reason) { frmMain.Controller().ReportServerFailure(reason); });
    // Whichever way this block is left, nothing that outlives the window points at it.
    struct WindowGone {
      TolvaneApplication& app;
      tolvane::Prompts& prompts;
      tolvane::QtPrompts& boxes;
      tolvane::QtDialogs& dialogs;
      tolvane::QtSmbLogin& login;
      tolvane::SmbClient& smb;
      ~WindowGone() {
        app.prompts = &prompts;
        boxes.SetOwner(nullptr);
        dialogs.SetOwner(nullptr);
        login.SetOwner(nullptr);
        smb.SetFailureReport(nullptr);
      }
    } windowGone{app, prompts, boxes, dialogs, login, smb};
    try {
      frmMain.FormCreate();
    } catch (const std::exception& e) {
      frmMain.Controller().ShowException(e.what());
    }
    tolvane::TdlgAbout dlgAbout(&frmMain);
    frmMain.SetAboutHandler([&dlgAbout] { dlgAbout.ShowAbout(); });
    splash.reset();
    // A start that was refused has said why (box or standard error); nothing was loaded, so
    // nothing is saved. Batch mode runs at once, without the window's loop.
    if (frmMain.Controller().ShowsWindow()) {
      frmMain.show();
      app.exec();
    } else {
      frmMain.Controller().RunBatch();
    }
    try {
      frmMain.FormDestroy();
    } catch (const std::exception& e) {
      frmMain.Controller().ShowException(e.what());
    }
    app.prompts = &prompts;
    exitCode = frmMain.Controller().ExitCode();
  } catch (const std::exception& e) {
    app.ShowError(e.what());
    return batch ? 2 : 0;
  }
  return batch ? exitCode : 0;
}
