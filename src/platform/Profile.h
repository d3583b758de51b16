#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvane {

// An INI file read by the private-profile rules of the original platform: section and key
// names match without regard to case, the first occurrence of a key wins, blanks around key
// and value are dropped, one pair of matching quotes around a value is removed, a missing
// key gives the default. A string value comes back whole, however long (the original
// platform's reader cut it to 1023 bytes, and a setup saved back lost the rest).
// Section and key names compare without regard to (ASCII) case.
bool ProfileNamesEqual(std::string_view a, std::string_view b);

class Profile {
 public:
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
  bool HasSection(std::string_view section) const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    // Lower-case key to the first entry of that name, so that a lookup does not walk the
    // section: a list of many thousand entries loads in linear time.
    std::unordered_map<std::string, std::size_t> index;
    bool duplicate = false;
  };
  const Section* FindSection(std::string_view section) const;
  const std::string* Find(std::string_view section, std::string_view key) const;

  std::vector<Section> sections_;
};

// A value as written to one of our INI files, so that the reader gives back exactly value:
// quoted when the reader would otherwise drop blanks at either end or a pair of quotes.
std::string ProfileValueText(const std::string& value);

// Why text (a file's bytes) cannot be one of our INI files with the sections named; empty when
// it can. Line ends may be CR LF, LF or CR alone. Blank files are not damaged (they hold
// nothing to lose).
std::string ProfileTextProblem(std::string_view bytes, const std::vector<std::string>& ourSections);

// What reading one of our INI files found.
struct ProfileFile {
  enum class State { Missing, Blank, Read, Damaged };
  State state = State::Missing;
  Profile profile;      // empty unless Read
  std::string problem;  // why it is damaged
  // The last line has no line end: the file may have been cut off while it was written (ours
  // always end in one).
  bool lastLineOpen = false;
};
ProfileFile ReadProfileFile(FileSystem& fs, const std::string& path,
                            const std::vector<std::string>& ourSections);

}  // namespace tolvane
