#pragma once

#include <string>
#include <vector>

namespace tolvane::test {

// A list file's text with the sources and the destinations. A destination is written as its
// path below the network folder, "/"-separated for readability ("PC01/share/apps"): it goes in
// as the network path and as the node path below "ネットワーク".
std::string ListText(const std::vector<std::string>& sources,
                     const std::vector<std::string>& destinations);

}  // namespace tolvane::test
