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
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      const std::string_view name = Trim(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      bool seen = false;
      for (const auto& s : profile.sections_) seen = seen || ProfileNamesEqual(s.name, name);
      // Only the first section of a name is searched; a later one is read into a section
      // that no lookup finds.
      profile.sections_.push_back(Section{std::string(name), {}, seen});
      current = &profile.sections_.back();
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || !current) continue;
    current->entries.push_back(
        Entry{std::string(Trim(line.substr(0, eq))), Unquote(Trim(line.substr(eq + 1)))});
  }
  return profile;
}

Profile Profile::Load(FileSystem& fs, const std::string& path) {
  const auto text = ReadTextFile(fs, path);
  return text ? Parse(*text) : Profile();
}

const std::string* Profile::Find(std::string_view section, std::string_view key) const {
  for (const auto& s : sections_) {
    if (s.duplicate || !ProfileNamesEqual(s.name, section)) continue;
    for (const auto& e : s.entries) {
      if (ProfileNamesEqual(e.key, key)) return &e.value;
    }
    return nullptr;
  }
  return nullptr;
}

std::vector<std::string> Profile::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  for (const auto& s : sections_) {
    if (s.duplicate || !ProfileNamesEqual(s.name, section)) continue;
    for (const auto& e : s.entries) names.push_back(e.key);
    break;
  }
  return names;
}

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
    return CutUtf8(d, kMaxValueBytes);
  }
  return CutUtf8(*value, kMaxValueBytes);
}

}  // namespace tolvane
