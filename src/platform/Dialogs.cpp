#include "platform/Dialogs.h"

namespace tolvane {
namespace {

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

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
