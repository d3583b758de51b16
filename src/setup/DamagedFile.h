#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Profile.h"

namespace tolvane {

// A settings or list file that could not be read as one of ours. It is moved aside before
// anything is saved, so that the user's file is never overwritten with what little was read.
struct DamagedFile {
  std::string path;
  std::string problem;
  std::string setAsideTo;  // empty when it could not be moved: nothing may be saved over it
};

// What the log, the error box and standard error say about it.
std::string DamagedFileMessage(const DamagedFile& file);

// Why a file that reads as INI text still cannot be what it should hold; empty when it can.
using SetupFileCheck = std::function<std::string(const ProfileFile& file)>;

// Reads one of our INI files; a damaged one (also one that check finds wanting) is set aside
// and reported in damaged, and reads as missing.
ProfileFile ReadSetupFile(FileSystem& fs, const std::string& path,
                          const std::vector<std::string>& ourSections,
                          std::optional<DamagedFile>& damaged, const SetupFileCheck& check = {});

}  // namespace tolvane
