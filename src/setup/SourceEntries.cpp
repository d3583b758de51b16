#include "setup/SourceEntries.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "common/AppInfo.h"
#include "platform/LocalTime.h"
#include "setup/Unitselectfolder.h"

namespace tolvane {
namespace {

constexpr char kNotFoundPrefix[] = "ファイル無いみたいです ";
constexpr char kFolderSizeText[] = "Folder";

}  // namespace

std::string FormatEntryDate(const std::optional<LocalDateTime>& local) {
  if (!local) return {};
  std::string text = TwoDigits(local->month) + "/" + TwoDigits(local->day);
  if (local->hour == 0 && local->minute == 0 && local->second == 0) return text;
  return text + " " + TwoDigits(local->hour) + ":" + TwoDigits(local->minute);
}

std::string FormatEntrySize(std::uint64_t size) {
  const std::string digits = std::to_string(size);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string FolderPartOf(const std::string& path) {
  const auto sep = path.find_last_of(kPathSeparator);
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string CurrentFolder() {
  std::error_code ec;
  auto cwd = std::filesystem::current_path(ec);
  return ec ? std::string() : cwd.string();
}

SourceEntries::SourceEntries(FileSystem& fs, StatusLog& log, SourceList& list)
    : fs_(fs), log_(log), list_(list) {}

bool SourceEntries::AddSourceEntry(const std::string& path, bool keepMissing) {
  if (path.find_first_of("\r\n") != std::string::npos) {
    log_.AddLogLine("改行を含む名前は配布リストに保存できないため追加しません: " + LogName(path));
    return false;
  }
  const auto found = path.empty() ? std::vector<FindEntry>() : fs_.Find(path);
  if (found.empty()) {
    log_.AddLogLine(kNotFoundPrefix + LogName(path));
    if (keepMissing && !path.empty()) list_.Append(SourceEntry{path, {}, {}, true});
    return false;
  }
  const FindEntry& item = found.front();
  list_.Append(SourceEntry{path, FormatEntryDate(ToLocalFileDate(item.lastWrite)),
                           item.isFolder ? kFolderSizeText : FormatEntrySize(item.size)});
  return true;
}

bool SourceEntries::AddFilesCommand(Dialogs& dialogs, std::string& defaultFolder) {
  OpenFileRequest request;
  request.title = "配布ファイルを追加";
  request.filter = "Exe files (*.exe)|*.exe|All files (*.*)|*.*";
  request.filterIndex = 2;
  request.multiSelect = true;
  request.initialFolder = defaultFolder;
  const auto files = dialogs.OpenFiles(request);
  if (files.empty()) return false;
  for (const auto& file : files) AddSourceEntry(file);
  defaultFolder = FolderPartOf(files.front());
  return true;
}

bool SourceEntries::AddFolderCommand(Dialogs& dialogs, const std::string& startFolder) {
  TSelectFolder picker(dialogs);
  picker.Title = "配布フォルダを追加";
  if (!picker.Execute(startFolder)) return false;
  std::string path = picker.Path;
  // A root folder keeps its only separator, or nothing would be left to search for.
  if (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
  return AddSourceEntry(path);
}

void SourceEntries::AddDroppedFiles(const std::vector<std::string>& paths) {
  for (const auto& path : paths) AddSourceEntry(path);
}

void SourceEntries::RemoveSelected(std::vector<int> selectedRows) {
  // From the bottom up, so that the rows still to go keep their indices.
  std::sort(selectedRows.begin(), selectedRows.end());
  selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
  for (auto it = selectedRows.rbegin(); it != selectedRows.rend(); ++it) list_.RemoveAt(*it);
}

void SourceEntries::RemoveAll() { list_.Clear(); }

}  // namespace tolvane
