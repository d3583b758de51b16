#pragma once

#include <string_view>

namespace tolvane {

// A network path begins with two backslashes: \\SERVER\share\dir.
inline bool IsNetworkPath(std::string_view path) {
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

}  // namespace tolvane
