#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// Our strings are UTF-8; the wide Windows calls take UTF-16. Converting at the boundary lets
// every name that the file system holds pass through unchanged.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace tolvane
