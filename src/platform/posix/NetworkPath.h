#pragma once

#include <optional>
#include <string>

#include "platform/NetworkPaths.h"

namespace tolvane {

// Where network paths lead on Linux: \\SRV\share\a is <networkRoot>/SRV/share/a. A component
// that is empty, "." or ".." makes the path unknown (empty result), so nothing outside the
// network root is reached through a network path. Other paths come back as they are.
std::optional<std::string> MapNetworkPath(const std::string& networkRoot, const std::string& path);

}  // namespace tolvane
