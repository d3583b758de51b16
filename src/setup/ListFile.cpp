#include "setup/ListFile.h"

#include <algorithm>
#include <climits>

#include "common/AppInfo.h"
#include "platform/Profile.h"
#include "platform/TextFile.h"

namespace tolvane {
namespace {

constexpr char kListFilter[] = "List files (*.lst)|*.lst";

// One more than the highest index of the keys prefix + decimal number in the section, as the
// profile reader would find them (no leading zeros); 0 when there is none.
int KeyIndexEnd(const Profile& profile, const char* section, const std::string& prefix) {
  long long end = 0;
  for (const auto& name : profile.KeyNames(section)) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 10) continue;
    if (!ProfileNamesEqual(std::string_view(name).substr(0, prefix.size()), prefix)) continue;
    const std::string digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    if (digits.size() > 1 && digits[0] == '0') continue;
    end = std::max(end, std::stoll(digits) + 1);
  }
  return static_cast<int>(std::min<long long>(end, INT_MAX));
}

// How many numbered keys to read: the stored count, but never past the last key present, so
// that a huge count in a damaged file does not keep the program busy for nothing.
int ReadBound(const Profile& profile, const char* countSection, const char* keySection,
              const std::string& prefix) {
  const int count = profile.GetInt(countSection, "Count");
  return std::min(count, KeyIndexEnd(profile, keySection, prefix));
}

}  // namespace

std::vector<std::string> ListFileLines(const SourceList& sources, const DestinationTree& tree) {
  std::vector<const TreeNode*> marked;
  for (int i = 0, n = tree.NodeCount(); i < n; ++i) {
    const TreeNode* node = tree.NodeAt(i);
    if (IsMarkedState(node->StateImage())) marked.push_back(node);
  }
  std::vector<std::string> lines{"[Source]", "Count=" + std::to_string(sources.Count())};
  for (int i = 0; i < sources.Count(); ++i) {
    lines.push_back("File" + std::to_string(i) + "=" + sources.At(i).path);
  }
  lines.insert(lines.end(), {"", "[Destination]", "Count=" + std::to_string(marked.size())});
  for (std::size_t k = 0; k < marked.size(); ++k) {
    lines.push_back("Folder" + std::to_string(k) + "=" + marked[k]->Record().folderPath);
  }
  lines.insert(lines.end(), {"", "[Alias]"});
  for (std::size_t k = 0; k < marked.size(); ++k) {
    lines.push_back("Folder" + std::to_string(k) + "=" + marked[k]->Record().nodePath);
  }
  lines.push_back("");
  return lines;
}

ListFile::ListFile(FileSystem& fs, StatusLog& log, SourceEntries& entries,
                   const SourceList& sources, DestinationTree& tree, NodeLocator& locator)
    : fs_(fs), log_(log), entries_(entries), sources_(sources), tree_(tree), locator_(locator) {}

void ListFile::LoadList(const std::string& path) {
  log_.AddLogLine("\n配布リスト読込 " + path);
  const Profile profile = Profile::Load(fs_, path);

  const int files = ReadBound(profile, "Source", "Source", "File");
  for (int i = 0; i < files; ++i) {
    const std::string value = profile.GetString("Source", "File" + std::to_string(i));
    if (!value.empty()) entries_.AddSourceEntry(value);
  }

  const int folders = ReadBound(profile, "Destination", "Alias", "Folder");
  for (int k = 0; k < folders; ++k) {
    const std::string key = "Folder" + std::to_string(k);
    const std::string folderPath = profile.GetString("Destination", key);
    const std::string nodePath = profile.GetString("Alias", key);
    if (nodePath.empty()) continue;
    locator_.RestoreNodes(nodePath);
    TreeNode* node = locator_.FindNodeByPath(nodePath);
    if (!node) {
      log_.AddLogLine("ノードを再現できませんでした。(" +
                      (folderPath.empty() ? nodePath : folderPath));
      continue;
    }
    // A loaded mark is set whatever the node's markable flag says.
    tree_.SetStateImage(node, kStateMarked);
    for (TreeNode* up = node->Parent(); up; up = up->Parent()) tree_.Expand(up);
  }
}

bool ListFile::SaveList(const std::string& path) {
  log_.AddLogLine("\n配布リスト保存 " + path);
  return WriteTextLines(fs_, path, ListFileLines(sources_, tree_));
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
    listFile_.LoadList(listPath);
    Call(hooks_.updateMarkCount);
  }
  Call(hooks_.refreshCommands);
}

void ListCommands::SaveList(const std::string& listPath, const std::string& defaultListPath) {
  listFile_.SaveList(listPath.empty() ? defaultListPath : listPath);
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
      listFile_.SaveList(listPath);
    }
  }
  Call(hooks_.refreshCommands);
}

void ListCommands::LoadAtStartup(const std::string& listPath, const std::string& defaultListPath) {
  listFile_.LoadList(listPath.empty() ? defaultListPath : listPath);
  Call(hooks_.updateMarkCount);
  Call(hooks_.refreshCommands);
}

}  // namespace tolvane
