#pragma once

#include <optional>
#include <string>

#include "app/core/MainState.h"
#include "log/StatusLog.h"
#include "platform/FileSystem.h"
#include "setup/DamagedFile.h"
#include "setup/ListFile.h"

namespace tolvane {

// Why the log file named on the command line cannot be used (a folder, a named pipe, a
// device, a folder that does not exist); empty when it can. Lines written to it would
// otherwise be lost without a word, or the program would wait for a reader.
std::string CheckLogPath(FileSystem& fs, const std::string& path);

// What reading the settings file found: a damaged file is logged and becomes a start-up
// error; one that could not be set aside is not saved over at exit.
void NoteSettingsLoad(MainState& state, StatusLog& log, const std::optional<DamagedFile>& damaged);

// What reading the start-up list found. A list named by -l that is not there, or a list that
// could not be read, is a start-up error, and the exit does not replace the default list with
// the empty setup that came of it.
void NoteListLoad(MainState& state, StatusLog& log, const ListLoad& load,
                  const std::string& commandLineList);

// Whether the batch run may be made: not after a start-up error.
bool MayRunBatch(const MainState& state);
// Whether the exit writes the settings file and the default list file. Nothing is saved
// after a batch start that failed, nor over a file that could not be loaded whole.
bool SaveSettingsAtExit(const MainState& state);
bool SaveListAtExit(const MainState& state);

}  // namespace tolvane
