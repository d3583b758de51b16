#include "platform/posix/NetworkPath.h"

namespace tolvane {

std::optional<std::string> MapNetworkPath(const std::string& networkRoot, const std::string& path) {
  if (!IsNetworkPath(path)) return path;
  std::string mapped = networkRoot;
  while (mapped.size() > 1 && mapped.back() == '/') mapped.pop_back();
  const std::string rest = path.substr(2);
  std::size_t start = 0;
  bool any = false;
  while (start <= rest.size()) {
    std::size_t end = rest.find_first_of("\\/", start);
    if (end == std::string::npos) end = rest.size();
    const std::string component = rest.substr(start, end - start);
    const bool last = end == rest.size();
    if (component.empty()) {
      // One trailing separator is harmless (\\SRV\share\); anything else is not a path.
      if (!(last && any)) return std::nullopt;
    } else if (component == "." || component == "..") {
      return std::nullopt;
    } else {
      mapped += '/';
      mapped += component;
      any = true;
    }
    start = end + 1;
  }
  if (!any) return std::nullopt;
  return mapped;
}

}  // namespace tolvane
