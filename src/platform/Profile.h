#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvane {

// An INI file read by the private-profile rules of the original platform: section and key
// names match without regard to case, the first occurrence of a key wins, blanks around key
// and value are dropped, one pair of matching quotes around a value is removed, a missing
// key gives the default, and a string value comes back cut to 1023 bytes.
// Section and key names compare without regard to (ASCII) case.
bool ProfileNamesEqual(std::string_view a, std::string_view b);

class Profile {
 public:
  static constexpr std::size_t kMaxValueBytes = 1023;

  static Profile Parse(std::string_view text);
  // A missing or unreadable file is an empty profile.
  static Profile Load(FileSystem& fs, const std::string& path);

  // The leading decimal digits with an optional sign, wrapped to 32 bits; the default when
  // the key is missing or empty; 0 for a value without digits.
  int GetInt(std::string_view section, std::string_view key, int defaultValue = 0) const;
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view defaultValue = {}) const;
  // The key names of the section that lookups search, in file order; empty when it is missing.
  std::vector<std::string> KeyNames(std::string_view section) const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    bool duplicate = false;
  };
  const std::string* Find(std::string_view section, std::string_view key) const;

  std::vector<Section> sections_;
};

}  // namespace tolvane
