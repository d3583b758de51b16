#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvane {

// Our text files end every line with CR LF, as the original platform's text-mode files do, and
// hold the system's text (see ToSystemText).

// Replaces the file with the lines, each followed by CR LF; the old file stays whole when the
// write fails.
bool WriteTextLines(FileSystem& fs, const std::string& path, const std::vector<std::string>& lines);

// Appends text and one line end; every line feed inside the text becomes CR LF too.
bool AppendTextLine(FileSystem& fs, const std::string& path, const std::string& text);
// The bytes AppendTextLine writes for text.
std::string TextLineBytes(const std::string& text);

// Reads a text file as UTF-8, line by line: a line that is not valid UTF-8 is taken as the
// system's text (Shift-JIS on Linux, so that files written by the Windows build load), so one
// stray byte garbles only its own line. A byte-order mark is dropped; line ends stay as they are.
std::optional<std::string> ReadTextFile(FileSystem& fs, const std::string& path);
std::string DecodeTextLines(std::string_view bytes);

// Moves a file that cannot be read as ours out of the way, so that nothing saved later
// overwrites it: to path + ".damaged" (or ".damaged1", ".damaged2", ... when that is taken).
// The new path, or nothing when it could not be moved.
std::optional<std::string> SetAsideDamagedFile(FileSystem& fs, const std::string& path);

}  // namespace tolvane
