#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include "platform/win32/WideText.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/WindowsApi.h"
#else
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#endif

namespace tolvane::test {

namespace fs = std::filesystem;

fs::path FsPath(const std::string& utf8) {
#ifdef _WIN32
  return fs::path(ExtendedLengthPath(Widen(utf8)));
#else
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
#endif
}

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string NativeRelative(std::string relative) {
  if (kSeparator != '/') {
    for (char& c : relative) {
      if (c == '/') c = kSeparator;
    }
  }
  return relative;
}

TempDir::TempDir() {
  const fs::path base = fs::temp_directory_path();
  std::random_device seed;
  std::mt19937 rng(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / ("tolvane-test-" + std::to_string(rng() % 100000000));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = Utf8(candidate);
      while (path_.size() > 1 && (path_.back() == '/' || path_.back() == '\\')) path_.pop_back();
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
  std::error_code ec;
#ifdef _WIN32
  // Read-only files would stop the removal on Windows.
  for (auto it = fs::recursive_directory_iterator(FsPath(path_), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
#endif
  fs::remove_all(FsPath(path_), ec);
}

std::string TempDir::operator/(const std::string& relative) const {
  return path_ + kSeparator + NativeRelative(relative);
}

#ifdef _WIN32
// The standard library's file streams cannot open wide names with mingw: the system's calls.
void WriteWhole(const fs::path& path, const std::string& content) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + Utf8(path));
  DWORD written = 0;
  WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(h);
}

std::string ReadWhole(const fs::path& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string content;
  char buffer[65536];
  DWORD n = 0;
  while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) content.append(buffer, n);
  CloseHandle(h);
  return content;
}
#else
void WriteWhole(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
#endif

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
  const std::string full = *this / relative;
  fs::create_directories(FsPath(full).parent_path());
  WriteWhole(FsPath(full), content);
  return full;
}

std::string TempDir::Read(const std::string& relative) const {
  return ReadWhole(FsPath(*this / relative));
}

std::string TempDir::MakeDir(const std::string& relative) const {
  const std::string full = *this / relative;
  fs::create_directories(FsPath(full));
  return full;
}

bool TempDir::Exists(const std::string& relative) const {
  return fs::exists(FsPath(*this / relative));
}

#ifdef _WIN32

void SetMTime(const std::string& path, long long secondsSinceEpoch, long nanoseconds) {
  const FileTime time{std::chrono::duration_cast<FileTime::duration>(
      std::chrono::seconds(secondsSinceEpoch) + std::chrono::nanoseconds(nanoseconds))};
  const unsigned long long ticks = ToFileTimeTicks(time);
  const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  // Backup semantics let the handle open a folder as well.
  HANDLE h = CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  SetFileTime(h, nullptr, &ft, &ft);
  CloseHandle(h);
}

long long GetMTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  const unsigned long long ticks =
      (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  return std::chrono::floor<std::chrono::seconds>(FromFileTimeTicks(ticks).time_since_epoch())
      .count();
}

#else

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

#endif

}  // namespace tolvane::test
