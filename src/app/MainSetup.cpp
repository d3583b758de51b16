// The main window's source list, settings, and the copy of one entry for a run.
#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>

#include "app/Main.h"
#include "app/core/StartupRules.h"
#include "common/AppInfo.h"
#include "engine/CopyEngine.h"
#include "setup/Settings.h"

namespace tolvane {

void TfrmMain::mnuAddFileClick() {
  if (state_.run.runInProgress) return;
  if (entries_.AddFilesCommand(services_.dialogs, state_.defaultFolder)) RefreshCommands();
}

void TfrmMain::mnuAddFolder2Click() {
  if (state_.run.runInProgress) return;
  entries_.AddFolderCommand(services_.dialogs, startup_.currentDir);
}

void TfrmMain::DropFiles(const std::vector<std::string>& paths) {
  if (state_.run.runInProgress) return;  // the sources stay as they are until the run ends
  entries_.AddDroppedFiles(paths);
  RefreshCommands();
}

void TfrmMain::mnuCancelFileClick() {
  if (state_.run.runInProgress) return;
  entries_.RemoveSelected(SelectedRows());
  RefreshCommands();
}

void TfrmMain::mnuCancelAllFileClick() {
  if (state_.run.runInProgress) return;
  entries_.RemoveAll();
  RefreshCommands();
}

void TfrmMain::lstFileKeyDown(int key) {
  if (key != 46 || state_.run.runInProgress) return;
  entries_.RemoveSelected(SelectedRows());
}

bool TfrmMain::CopyEntry(const std::string& entry, const std::string& folder) {
  CopyEngine engine(services_.fs, services_.prompts, services_.pump, log_, *this, state_.run);
  return engine.CopyEntry(entry, folder);
}

void TfrmMain::LoadSettings() {
  std::optional<DamagedFile> damaged;
  const WindowSettings s = tolvane::LoadSettings(services_.fs, state_.settingsPath, &damaged);
  NoteSettingsLoad(state_, log_, damaged);
  resize(s.clientWidth, s.clientHeight);
  sourceWidth_ = s.sourceWidth;
  logHeight_ = s.logHeight;
  ApplyPaneSizes();
  for (int i = 0; i < 3; ++i)
    lstFile->setColumnWidth(i, s.columnWidths[static_cast<std::size_t>(i)]);

  const QScreen* primary = QGuiApplication::primaryScreen();
  if (s.centred) {
    if (primary) {
      const QRect area = primary->availableGeometry();
      move(area.center() - QPoint(s.clientWidth / 2, s.clientHeight / 2));
    }
  } else {
    std::vector<ScreenRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
      const QRect g = screen->availableGeometry();
      screens.push_back({g.x(), g.y(), g.width(), g.height()});
    }
    const ScreenRect placed =
        PlaceOnScreens({s.left, s.top, s.clientWidth, s.clientHeight}, screens);
    move(placed.left, placed.top);
  }

  mnuConfirmOverWrite->setChecked(s.confirmOverWrite);
  mnuWriteIfOld->setChecked(s.butOldIsIgnore);
  mnuIgnoreError->setChecked(s.ignoreError);
  ApplyOptionButtons();
  mnuSaveLog->setChecked(s.saveLog);
  state_.defaultFolder = s.defaultFolder;
}

void TfrmMain::SaveSettings() {
  WindowSettings s;
  s.left = x();
  s.top = y();
  s.clientWidth = width();
  s.clientHeight = height();
  s.sourceWidth = sourceWidth_;
  s.logHeight = logHeight_;
  for (int i = 0; i < 3; ++i) s.columnWidths[static_cast<std::size_t>(i)] = lstFile->columnWidth(i);
  s.confirmOverWrite = ConfirmOverWrite();
  s.butOldIsIgnore = ButOldIsIgnore();
  s.ignoreError = IgnoreError();
  s.saveLog = SaveLog();
  s.defaultFolder = state_.defaultFolder;
  s.networkRoot = state_.networkRoot;
  if (!tolvane::SaveSettings(services_.fs, state_.settingsPath, s)) {
    const std::string message = SaveFailureMessage(state_.settingsPath, services_.fs.LastError());
    log_.AddLogLine(message);
    ReportFailedSave(message);
  }
}

void TfrmMain::ReportFailedSave(const std::string& message) {
  // The error box, or standard error in batch mode, which then ends with 2.
  services_.prompts.ShowError(kAppTitle, message);
  batchExitCode_ = 2;
}

void TfrmMain::LoadList(const std::string& path) { listFile_.LoadList(path); }

void TfrmMain::SaveList(const std::string& path) {
  if (!listFile_.SaveList(path)) ReportFailedSave(listFile_.LastSaveError());
}

void TfrmMain::mnuOpenListClick() {
  if (state_.run.runInProgress) return;  // the list would be replaced under the run
  listCommands_.OpenList(state_.listPath);
}

void TfrmMain::mnuSaveListClick() {
  listCommands_.SaveList(state_.listPath, state_.exeFolder + kDefaultListFileName);
}

void TfrmMain::mnuSaveAsListClick() { listCommands_.SaveAsList(state_.listPath); }

}  // namespace tolvane
