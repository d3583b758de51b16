#include "platform/TextFile.h"

#include "platform/Encoding.h"

namespace tolvane {
namespace {

std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

bool WriteTextLines(FileSystem& fs, const std::string& path,
                    const std::vector<std::string>& lines) {
  std::string content;
  for (const auto& line : lines) content += WithCrLf(line + "\n");
  return fs.ReplaceFile(path, ToSystemText(content));
}

bool AppendTextLine(FileSystem& fs, const std::string& path, const std::string& text) {
  return fs.AppendToFile(path, TextLineBytes(text));
}

std::string TextLineBytes(const std::string& text) { return ToSystemText(WithCrLf(text + "\n")); }

std::string DecodeTextLines(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  // CR and LF are single bytes in both encodings, never part of a character.
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 2);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(pos, end - pos);
    if (IsValidUtf8(line)) {
      text += line;
    } else {
      text += FromSystemText(line);
    }
    if (end < bytes.size()) text += bytes[end];
    pos = end + 1;
  }
  return text;
}

std::optional<std::string> ReadTextFile(FileSystem& fs, const std::string& path) {
  const auto bytes = fs.ReadFile(path);
  if (!bytes) return std::nullopt;
  return DecodeTextLines(*bytes);
}

std::optional<std::string> SetAsideDamagedFile(FileSystem& fs, const std::string& path) {
  for (int i = 0; i < 100; ++i) {
    const std::string aside = path + ".damaged" + (i == 0 ? std::string() : std::to_string(i));
    if (fs.Exists(aside)) continue;
    if (fs.RenameFile(path, aside)) return aside;
    if (!fs.Exists(path)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace tolvane
