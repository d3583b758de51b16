#pragma once

#include <string>
#include <string_view>

namespace tolvane {

bool IsValidUtf8(std::string_view bytes);

// Shift-JIS (Windows code page 932) to UTF-8. Bytes that are not valid CP932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// Text as this system's text files hold it: UTF-8 on Linux; on Windows the ANSI code page,
// or UTF-8 where the code page cannot hold every character of the text (so nothing is lost).
std::string ToSystemText(std::string_view utf8);
// The reverse for bytes that are not valid UTF-8: Shift-JIS on Linux (files from Windows), the
// ANSI code page on Windows.
std::string FromSystemText(std::string_view bytes);

}  // namespace tolvane
