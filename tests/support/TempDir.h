#pragma once

#include <filesystem>
#include <string>

namespace tolvane::test {

// The separator of local paths on this system.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// A UTF-8 path as the standard library's path, and back (the narrow forms of std::filesystem
// use the ANSI code page on Windows).
std::filesystem::path FsPath(const std::string& utf8);
std::string Utf8(const std::filesystem::path& path);
// A relative path written with "/" in this system's separator.
std::string NativeRelative(std::string relative);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path(), the separator, and relative with its "/" turned into the system's separator.
  std::string operator/(const std::string& relative) const;

  // Writes a file (creating its folders) and returns its full path.
  std::string Write(const std::string& relative, const std::string& content) const;
  std::string Read(const std::string& relative) const;
  std::string MakeDir(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

 private:
  std::string path_;
};

// Sets a file's last-write time, in seconds since the epoch.
void SetMTime(const std::string& path, long long secondsSinceEpoch, long nanoseconds = 0);
long long GetMTime(const std::string& path);

#ifndef _WIN32
// Makes the process's local time that of the zone (e.g. "Asia/Tokyo"), so that local-time texts
// do not depend on the machine.
void SetTimeZone(const char* zone);
#endif

}  // namespace tolvane::test
