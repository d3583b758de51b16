#pragma once

#include <string>
#include <string_view>

namespace tolvane {

bool IsValidUtf8(std::string_view bytes);

// Shift-JIS (Windows code page 932) to UTF-8. Bytes that are not valid CP932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// Cuts text to at most maxBytes bytes without splitting a UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace tolvane
