#pragma once

#include <string>

namespace tolvane::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + relative.
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

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

// Makes the process's local time that of the zone (e.g. "Asia/Tokyo"), so that local-time texts
// do not depend on the machine.
void SetTimeZone(const char* zone);

}  // namespace tolvane::test
