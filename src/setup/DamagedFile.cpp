#include "setup/DamagedFile.h"

#include "log/StatusLog.h"
#include "platform/TextFile.h"

namespace tolvane {

std::string DamagedFileMessage(const DamagedFile& file) {
  if (file.setAsideTo.empty()) {
    return "読めないファイルを退避できないため、上書きしません: " + LogName(file.path) + " (" +
           file.problem + ")";
  }
  return "読めないファイルを退避しました: " + LogName(file.path) + " -> " +
         LogName(file.setAsideTo) + " (" + file.problem + ")";
}

ProfileFile ReadSetupFile(FileSystem& fs, const std::string& path,
                          const std::vector<std::string>& ourSections,
                          std::optional<DamagedFile>& damaged, const SetupFileCheck& check) {
  ProfileFile file = ReadProfileFile(fs, path, ourSections);
  if (file.state == ProfileFile::State::Read && check) {
    file.problem = check(file);
    if (!file.problem.empty()) {
      file.state = ProfileFile::State::Damaged;
      file.profile = Profile();
    }
  }
  if (file.state != ProfileFile::State::Damaged) return file;
  DamagedFile report{path, file.problem, {}};
  if (const auto aside = SetAsideDamagedFile(fs, path)) report.setAsideTo = *aside;
  damaged = std::move(report);
  return file;
}

}  // namespace tolvane
