#include "support/ListText.h"

namespace tolvane::test {

std::string ListText(const std::vector<std::string>& sources,
                     const std::vector<std::string>& destinations) {
  std::string list = "[Source]\r\nCount=" + std::to_string(sources.size()) + "\r\n";
  for (std::size_t k = 0; k < sources.size(); ++k) {
    list += "File" + std::to_string(k) + "=" + sources[k] + "\r\n";
  }
  list += "\r\n[Destination]\r\nCount=" + std::to_string(destinations.size()) + "\r\n";
  std::string alias = "[Alias]\r\n";
  for (std::size_t k = 0; k < destinations.size(); ++k) {
    std::string unc = "\\\\" + destinations[k];
    std::string path = "ネットワーク\t" + destinations[k];
    for (auto& c : unc) c = c == '/' ? '\\' : c;
    for (auto& c : path) c = c == '/' ? '\t' : c;
    list += "Folder" + std::to_string(k) + "=" + unc + "\r\n";
    alias += "Folder" + std::to_string(k) + "=" + path + "\r\n";
  }
  return list + "\r\n" + alias + "\r\n";
}

}  // namespace tolvane::test
