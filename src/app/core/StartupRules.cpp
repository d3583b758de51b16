#include "app/core/StartupRules.h"

namespace tolvane {

std::string CheckLogPath(FileSystem& fs, const std::string& path) {
  // Appending nothing opens the file as every line will: it creates a missing file, and
  // refuses anything that is not a regular file without waiting.
  if (fs.AppendToFile(path, {})) return {};
  const std::string reason = fs.LastError();
  return "ログファイルに書き込めません: " + LogName(path) +
         (reason.empty() ? "" : " (" + reason + ")");
}

void NoteSettingsLoad(MainState& state, StatusLog& log, const std::optional<DamagedFile>& damaged) {
  if (!damaged) {
    state.settingsLoaded = true;
    return;
  }
  const std::string message = DamagedFileMessage(*damaged);
  log.AddLogLine(message);
  state.startupErrors.push_back(message);
  // Saved again only when the damaged file is safe beside it.
  state.settingsLoaded = !damaged->setAsideTo.empty();
}

void NoteListLoad(MainState& state, StatusLog& log, const ListLoad& load,
                  const std::string& commandLineList) {
  state.listLoaded = true;
  if (!commandLineList.empty() && !load.found) {
    const std::string message = "配布リストが見つかりません: " + LogName(commandLineList);
    log.AddLogLine(message);
    state.startupErrors.push_back(message);
    state.listLoaded = false;
  }
  if (load.damaged) {
    // LoadList has logged it.
    state.startupErrors.push_back(DamagedFileMessage(*load.damaged));
    // The default list may be written afresh once its damaged copy is safe; a list named by
    // -l that could not be read leaves the default list alone.
    if (load.damaged->setAsideTo.empty() || !commandLineList.empty()) state.listLoaded = false;
  }
}

bool MayRunBatch(const MainState& state) { return state.startupErrors.empty(); }

bool SaveSettingsAtExit(const MainState& state) {
  return state.settingsLoaded && !(state.run.batchMode && !MayRunBatch(state));
}

bool SaveListAtExit(const MainState& state) {
  return state.saveListAtExit && state.listLoaded && !(state.run.batchMode && !MayRunBatch(state));
}

}  // namespace tolvane
