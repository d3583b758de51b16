// The main window's source list, list file and settings commands.
#include <QTableView>

#include "app/Main.h"

namespace tolvane {

void TfrmMain::LoadSettings() { ApplyOptionButtons(); }
void TfrmMain::SaveSettings() {}
void TfrmMain::LoadList(const std::string& path) { log_.AddLogLine("\n配布リスト読込 " + path); }
void TfrmMain::SaveList(const std::string& path) { log_.AddLogLine("\n配布リスト保存 " + path); }

void TfrmMain::mnuAddFileClick() {}
void TfrmMain::mnuAddFolder2Click() {}
void TfrmMain::DropFiles(const std::vector<std::string>&) { RefreshCommands(); }
void TfrmMain::mnuOpenListClick() {}
void TfrmMain::mnuSaveListClick() {}
void TfrmMain::mnuSaveAsListClick() {}

void TfrmMain::mnuCancelFileClick() {
  for (auto rows = SelectedRows(); !rows.empty(); rows = SelectedRows()) sources_.RemoveAt(rows.front());
  RefreshCommands();
}

void TfrmMain::mnuCancelAllFileClick() {
  sources_.Clear();
  RefreshCommands();
}

void TfrmMain::lstFileKeyDown(int key) {
  if (key != 46) return;
  for (auto rows = SelectedRows(); !rows.empty(); rows = SelectedRows()) sources_.RemoveAt(rows.front());
}

bool TfrmMain::CopyEntry(const std::string&, const std::string&) { return false; }

}  // namespace tolvane
