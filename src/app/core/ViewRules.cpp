#include "app/core/ViewRules.h"

#include "tree/DestinationMarks.h"

namespace tolvane {
namespace {

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

int Utf16Length(const std::string& utf8) {
  int units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
    // A four-byte sequence lies outside the basic plane: a surrogate pair.
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

std::optional<MemoSelection> FindFolderPathInMemo(const std::vector<std::string>& lines,
                                                  const std::string& folderPath) {
  const auto match = FindFolderPathInLog(lines, folderPath);
  if (!match) return std::nullopt;
  const std::string& line = lines[match->line];
  return MemoSelection{static_cast<int>(match->line), Utf16Length(line.substr(0, match->offset)),
                       Utf16Length(folderPath)};
}

std::vector<TreeNode*> CollapseOrder(TreeNode* node) {
  std::vector<TreeNode*> open;
  if (!node) return open;
  std::vector<TreeNode*> pending{node};
  while (!pending.empty()) {
    TreeNode* current = pending.back();
    pending.pop_back();
    if (current->ChildCount() == 0) continue;
    open.push_back(current);
    for (int i = 0; i < current->ChildCount(); ++i) pending.push_back(current->Child(i));
  }
  // Every parent was taken before its children: reversed, children come first.
  return {open.rbegin(), open.rend()};
}

std::vector<FileFilter> ParseFileFilter(const std::string& filter) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (true) {
    const auto bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<FileFilter> filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    FileFilter f{parts[i], {}};
    std::string::size_type from = 0;
    const std::string& patterns = parts[i + 1];
    while (from <= patterns.size()) {
      const auto semi = patterns.find(';', from);
      const std::string p =
          Trimmed(patterns.substr(from, semi == std::string::npos ? semi : semi - from));
      if (!p.empty()) f.patterns.push_back(p);
      if (semi == std::string::npos) break;
      from = semi + 1;
    }
    filters.push_back(std::move(f));
  }
  return filters;
}

}  // namespace tolvane
