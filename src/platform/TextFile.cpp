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
  return fs.AppendToFile(path, ToSystemText(WithCrLf(text + "\n")));
}

std::optional<std::string> ReadTextFile(FileSystem& fs, const std::string& path) {
  auto bytes = fs.ReadFile(path);
  if (!bytes) return std::nullopt;
  if (bytes->size() >= 3 && bytes->compare(0, 3, "\xEF\xBB\xBF") == 0) bytes->erase(0, 3);
  if (IsValidUtf8(*bytes)) return bytes;
  return FromSystemText(*bytes);
}

}  // namespace tolvane
