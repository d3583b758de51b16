#include "platform/Profile.h"

#include <cstdint>

#include "platform/Encoding.h"
#include "platform/TextFile.h"

namespace tolvane {
namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Calls f with each line of text; CR LF, LF and CR alone all end a line.
template <typename F>
void ForEachLine(std::string_view text, F f) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    f(text.substr(pos, end - pos));
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;
  }
}

std::string Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

}  // namespace

bool ProfileNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

Profile Profile::Parse(std::string_view text) {
  Profile profile;
  Section* current = nullptr;
  ForEachLine(text, [&](std::string_view raw) {
    const std::string_view line = Trim(raw);
    if (line.empty()) return;
    if (line.front() == '[') {
      const auto close = line.find(']');
      const std::string_view name = Trim(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      bool seen = false;
      for (const auto& s : profile.sections_) seen = seen || ProfileNamesEqual(s.name, name);
      // Only the first section of a name is searched; a later one is read into a section
      // that no lookup finds.
      profile.sections_.push_back(Section{std::string(name), {}, {}, seen});
      current = &profile.sections_.back();
      return;
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || !current) return;
    std::string key(Trim(line.substr(0, eq)));
    current->index.emplace(LowerAscii(key), current->entries.size());
    current->entries.push_back(Entry{std::move(key), Unquote(Trim(line.substr(eq + 1)))});
  });
  return profile;
}

Profile Profile::Load(FileSystem& fs, const std::string& path) {
  const auto text = ReadTextFile(fs, path);
  return text ? Parse(*text) : Profile();
}

const Profile::Section* Profile::FindSection(std::string_view section) const {
  for (const auto& s : sections_) {
    if (!s.duplicate && ProfileNamesEqual(s.name, section)) return &s;
  }
  return nullptr;
}

const std::string* Profile::Find(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  const auto it = s->index.find(LowerAscii(key));
  return it == s->index.end() ? nullptr : &s->entries[it->second].value;
}

std::vector<std::string> Profile::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  if (const Section* s = FindSection(section)) {
    names.reserve(s->entries.size());
    for (const auto& e : s->entries) names.push_back(e.key);
  }
  return names;
}

bool Profile::HasSection(std::string_view section) const { return FindSection(section); }

int Profile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
  const std::string* value = Find(section, key);
  if (!value || value->empty()) return defaultValue;
  std::size_t i = 0;
  bool negative = false;
  if (i < value->size() && ((*value)[i] == '+' || (*value)[i] == '-')) {
    negative = (*value)[i] == '-';
    ++i;
  }
  std::uint32_t result = 0;
  for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
    result = result * 10u + static_cast<std::uint32_t>((*value)[i] - '0');
  }
  if (negative) result = 0u - result;
  return static_cast<int>(result);
}

std::string Profile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
  const std::string* value = Find(section, key);
  if (!value) {
    std::string_view d = defaultValue;
    while (!d.empty() && d.back() == ' ') d.remove_suffix(1);
    return std::string(d);
  }
  // Whole, however long: a value cut here would be saved back cut.
  return *value;
}

std::string ProfileValueText(const std::string& value) {
  if (value.empty()) return value;
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  const bool quotedPair = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                          value.back() == value.front();
  if (blank(value.front()) || blank(value.back()) || quotedPair) return '"' + value + '"';
  return value;
}

std::string ProfileTextProblem(std::string_view bytes,
                               const std::vector<std::string>& ourSections) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    return "UTF-16 のテキスト";
  }
  if (bytes.find('\0') != std::string_view::npos) return "バイナリデータ";
  std::string problem;
  int lineNumber = 0;
  ForEachLine(bytes, [&](std::string_view line) {
    ++lineNumber;
    // A line that is neither UTF-8 nor the system's text.
    if (problem.empty() && !IsValidUtf8(line) &&
        FromSystemText(line).find("\xEF\xBF\xBD") != std::string::npos) {
      problem = std::to_string(lineNumber) + " 行目: 読めない文字コード";
    }
  });
  if (!problem.empty()) return problem;
  const std::string text = DecodeTextLines(bytes);
  bool inSection = false;
  bool anyOurs = false;
  bool anyContent = false;
  lineNumber = 0;
  ForEachLine(text, [&](std::string_view raw) {
    ++lineNumber;
    if (!problem.empty()) return;
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') return;
    anyContent = true;
    const std::string where = std::to_string(lineNumber) + " 行目: ";
    if (line.front() == '[') {
      const auto close = line.find(']');
      if (close == std::string_view::npos) {
        problem = where + "']' のないセクション見出し";
        return;
      }
      const std::string_view name = Trim(line.substr(1, close - 1));
      for (const auto& ours : ourSections) anyOurs = anyOurs || ProfileNamesEqual(name, ours);
      inSection = true;
      return;
    }
    if (line.find('=') == std::string_view::npos) {
      problem = where + "セクション見出しでもキーでもない行";
      return;
    }
    if (!inSection) problem = where + "セクション見出しより前のキー";
  });
  if (problem.empty() && anyContent && !anyOurs) problem = "このプログラムのセクションがない";
  return problem;
}

ProfileFile ReadProfileFile(FileSystem& fs, const std::string& path,
                            const std::vector<std::string>& ourSections) {
  ProfileFile file;
  const auto bytes = fs.ReadFile(path);
  if (!bytes) {
    // A file that is there but cannot be read is not ours to replace either. A folder is no
    // file at all.
    if (fs.Exists(path) && !fs.IsFolder(path)) {
      file.state = ProfileFile::State::Damaged;
      file.problem = "読み込めない";
    }
    return file;
  }
  file.problem = ProfileTextProblem(*bytes, ourSections);
  if (!file.problem.empty()) {
    file.state = ProfileFile::State::Damaged;
    return file;
  }
  const std::string text = DecodeTextLines(*bytes);
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
    file.state = ProfileFile::State::Blank;
    return file;
  }
  file.state = ProfileFile::State::Read;
  file.profile = Profile::Parse(text);
  file.lastLineOpen = bytes->back() != '\n' && bytes->back() != '\r';
  return file;
}

}  // namespace tolvane
