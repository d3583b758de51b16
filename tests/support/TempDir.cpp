#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tolvane::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tolvane-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
  const std::filesystem::path full = std::filesystem::path(path_) / relative;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out << content;
  return full.string();
}

std::string TempDir::Read(const std::string& relative) const {
  std::ifstream in(std::filesystem::path(path_) / relative, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string TempDir::MakeDir(const std::string& relative) const {
  const std::filesystem::path full = std::filesystem::path(path_) / relative;
  std::filesystem::create_directories(full);
  return full.string();
}

bool TempDir::Exists(const std::string& relative) const {
  return std::filesystem::exists(std::filesystem::path(path_) / relative);
}

void SetMTime(const std::string& path, long long secondsSinceEpoch, long nanoseconds) {
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(secondsSinceEpoch);
  times[0].tv_nsec = nanoseconds;
  times[1] = times[0];
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

long long GetMTime(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_mtim.tv_sec);
}

void SetTimeZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

}  // namespace tolvane::test
