#pragma once

#include <optional>
#include <string>
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

// Reads a text file as UTF-8: a file that is not valid UTF-8 is taken as the system's text
// (Shift-JIS on Linux, so that files written by the Windows build load).
std::optional<std::string> ReadTextFile(FileSystem& fs, const std::string& path);

}  // namespace tolvane
