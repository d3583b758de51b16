#include "setup/ListFile.h"

#include <algorithm>
#include <climits>

#include "common/AppInfo.h"
#include "platform/Profile.h"
#include "platform/TextFile.h"
#include "setup/DamagedFile.h"

namespace tolvane {
namespace {

constexpr char kListFilter[] = "List files (*.lst)|*.lst";

// The values of the keys prefix + decimal index (no leading zeros) that exist in the section
// with an index below count, by index. Only keys that are there are visited, so a huge count
// in a damaged file costs nothing, and a long list loads in linear time.
std::vector<std::pair<int, std::string>> NumberedValues(const Profile& profile, const char* section,
                                                        const std::string& prefix, int count) {
  std::vector<std::pair<int, std::string>> values;
  for (const auto& name : profile.KeyNames(section)) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 10) continue;
    if (!ProfileNamesEqual(std::string_view(name).substr(0, prefix.size()), prefix)) continue;
    const std::string digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    if (digits.size() > 1 && digits[0] == '0') continue;
    const long long index = std::stoll(digits);
    if (index >= count) continue;
    values.emplace_back(static_cast<int>(index), std::string());
  }
  std::sort(values.begin(), values.end());
  // The first key of a name wins, as lookups find it.
  values.erase(std::unique(values.begin(), values.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               values.end());
  for (auto& [index, value] : values) {
    value = profile.GetString(section, prefix + std::to_string(index));
  }
  return values;
}

}  // namespace

std::vector<std::string> ListFileLines(const SourceList& sources, const DestinationTree& tree) {
  std::vector<const TreeNode*> marked;
  for (int i = 0, n = tree.NodeCount(); i < n; ++i) {
    const TreeNode* node = tree.NodeAt(i);
    if (IsMarkedState(node->StateImage())) marked.push_back(node);
  }
  // Destinations the loaded list held but the tree could not show follow the marked nodes, as
  // they were read.
  std::vector<UnrestoredDestination> destinations;
  destinations.reserve(marked.size() + tree.Unrestored().size());
  for (const TreeNode* node : marked) {
    destinations.push_back({node->Record().folderPath, node->Record().nodePath});
  }
  destinations.insert(destinations.end(), tree.Unrestored().begin(), tree.Unrestored().end());

  std::vector<std::string> lines{"[Source]", "Count=" + std::to_string(sources.Count())};
  for (int i = 0; i < sources.Count(); ++i) {
    lines.push_back("File" + std::to_string(i) + "=" + ProfileValueText(sources.At(i).path));
  }
  lines.insert(lines.end(), {"", "[Destination]", "Count=" + std::to_string(destinations.size())});
  for (std::size_t k = 0; k < destinations.size(); ++k) {
    lines.push_back("Folder" + std::to_string(k) + "=" +
                    ProfileValueText(destinations[k].folderPath));
  }
  lines.insert(lines.end(), {"", "[Alias]"});
  for (std::size_t k = 0; k < destinations.size(); ++k) {
    lines.push_back("Folder" + std::to_string(k) + "=" +
                    ProfileValueText(destinations[k].nodePath));
  }
  lines.push_back("");
  return lines;
}

ListFile::ListFile(FileSystem& fs, StatusLog& log, SourceEntries& entries,
                   const SourceList& sources, DestinationTree& tree, NodeLocator& locator)
    : fs_(fs), log_(log), entries_(entries), sources_(sources), tree_(tree), locator_(locator) {}

ListLoad ListFile::LoadList(const std::string& path) {
  log_.AddLogLine("\n配布リスト読込 " + LogName(path));
  ListLoad result;
  // A list that ends in the middle of a line and lacks entries its counts name was cut off
  // while it was written: what is left of it is not the user's setup.
  const auto cutShort = [](const ProfileFile& f) -> std::string {
    if (!f.lastLineOpen) return {};
    const Profile& p = f.profile;
    const int files = p.GetInt("Source", "Count");
    const int folders = p.GetInt("Destination", "Count");
    const bool short_ =
        (files > 0 && NumberedValues(p, "Source", "File", files).size() < std::size_t(files)) ||
        (folders > 0 &&
         (NumberedValues(p, "Destination", "Folder", folders).size() < std::size_t(folders) ||
          NumberedValues(p, "Alias", "Folder", folders).size() < std::size_t(folders)));
    return short_ ? "途中で切れている (最後の行に行末がなく、Count の数だけ項目がない)" : "";
  };
  const ProfileFile file =
      ReadSetupFile(fs_, path, {"Source", "Destination", "Alias"}, result.damaged, cutShort);
  result.found = file.state != ProfileFile::State::Missing || result.damaged;
  if (result.damaged) {
    log_.AddLogLine(DamagedFileMessage(*result.damaged));
    return result;
  }
  const Profile& profile = file.profile;

  const int files = profile.GetInt("Source", "Count");
  for (const auto& [index, value] : NumberedValues(profile, "Source", "File", files)) {
    // A source that cannot be found now stays in the list, so that the next save keeps it.
    if (!value.empty()) entries_.AddSourceEntry(value, true);
  }

  const int folders = profile.GetInt("Destination", "Count");
  const auto nodePaths = NumberedValues(profile, "Alias", "Folder", folders);
  // The servers of the destinations answer all at once, before the walks below ask each.
  std::vector<std::string> folderPaths;
  for (const auto& [index, nodePath] : nodePaths) {
    std::string folderPath = profile.GetString("Destination", "Folder" + std::to_string(index));
    if (!nodePath.empty() && !folderPath.empty()) folderPaths.push_back(std::move(folderPath));
  }
  locator_.ListServersAhead(folderPaths);
  for (const auto& [index, nodePath] : nodePaths) {
    if (nodePath.empty()) continue;
    const std::string folderPath =
        profile.GetString("Destination", "Folder" + std::to_string(index));
    locator_.RestoreNodes(nodePath);
    TreeNode* node = locator_.FindNodeByPath(nodePath);
    // A node path that cannot be walked now (the network folder shows other levels than when
    // the list was saved) is found again by the folder it names, when that can be reached.
    if (!node && !folderPath.empty()) node = locator_.RestoreFolderPath(folderPath);
    if (!node) {
      log_.AddLogLine("ノードを再現できませんでした。(" +
                      LogName(folderPath.empty() ? nodePath : folderPath));
      // Kept: a server that is offline now is a destination all the same.
      tree_.AddUnrestored({folderPath, nodePath});
      continue;
    }
    // A loaded mark is set whatever the node's markable flag says.
    tree_.SetStateImage(node, kStateMarked);
    for (TreeNode* up = node->Parent(); up; up = up->Parent()) tree_.Expand(up);
  }
  return result;
}

bool ListFile::SaveList(const std::string& path) {
  log_.AddLogLine("\n配布リスト保存 " + LogName(path));
  if (WriteTextLines(fs_, path, ListFileLines(sources_, tree_))) return true;
  lastSaveError_ = SaveFailureMessage(path, fs_.LastError());
  log_.AddLogLine(lastSaveError_);
  return false;
}

std::string SaveFailureMessage(const std::string& path, const std::string& reason) {
  return "保存できませんでした: " + LogName(path) + (reason.empty() ? "" : " (" + reason + ")");
}

ListCommands::ListCommands(ListFile& listFile, FileSystem& fs, Dialogs& dialogs, Prompts& prompts,
                           ListCommandHooks hooks)
    : listFile_(listFile),
      fs_(fs),
      dialogs_(dialogs),
      prompts_(prompts),
      hooks_(std::move(hooks)) {}

void ListCommands::OpenList(std::string& listPath) {
  OpenFileRequest request;
  request.title = "配布情報を開く";
  request.filter = kListFilter;
  request.filterIndex = 1;
  request.multiSelect = false;
  const auto chosen = dialogs_.OpenFiles(request);
  if (chosen.empty()) return;
  if (fs_.Exists(chosen.front())) {
    listPath = chosen.front();
    Call(hooks_.removeAllSources);
    Call(hooks_.clearMarks);
    Call(hooks_.collapseAll);
    const ListLoad load = listFile_.LoadList(listPath);
    if (load.damaged) prompts_.ShowError(kAppTitle, DamagedFileMessage(*load.damaged));
    Call(hooks_.updateMarkCount);
  }
  Call(hooks_.refreshCommands);
}

void ListCommands::SaveList(const std::string& listPath, const std::string& defaultListPath) {
  Save(listPath.empty() ? defaultListPath : listPath);
}

void ListCommands::Save(const std::string& path) {
  if (!listFile_.SaveList(path)) prompts_.ShowError(kAppTitle, listFile_.LastSaveError());
}

void ListCommands::SaveAsList(std::string& listPath) {
  SaveFileRequest request;
  request.title = "配布情報に名前を付けて保存";
  request.filter = kListFilter;
  request.filterIndex = 1;
  request.defaultExtension = "lst";
  const auto chosen = dialogs_.SaveFile(request);
  if (chosen) {
    if (fs_.Exists(*chosen) &&
        prompts_.AskYesNo(kAppTitle, "同名の配布情報ファイルが存在します。\n上書きしますか？") !=
            PromptAnswer::Yes) {
      return;
    }
    if (!chosen->empty()) {
      listPath = *chosen;
      Save(listPath);
    }
  }
  Call(hooks_.refreshCommands);
}

ListLoad ListCommands::LoadAtStartup(const std::string& listPath,
                                     const std::string& defaultListPath) {
  ListLoad load = listFile_.LoadList(listPath.empty() ? defaultListPath : listPath);
  Call(hooks_.updateMarkCount);
  Call(hooks_.refreshCommands);
  return load;
}

}  // namespace tolvane
