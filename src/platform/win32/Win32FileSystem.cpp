#include "platform/win32/Win32FileSystem.h"

#include <atomic>
#include <cstdio>
#include <random>
#include <string>

#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace tolvane {
namespace {

constexpr unsigned long long kTicksTo1970 = 116444736000000000ull;
// CreateDirectory allows 12 characters less than MAX_PATH: room for an 8.3 name.
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsUnc(const std::wstring& path) {
  return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

unsigned long long Ticks(const FILETIME& ft) {
  return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FindEntry EntryFrom(const WIN32_FIND_DATAW& data) {
  FindEntry e;
  e.name = Narrow(data.cFileName);
  e.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  e.size =
      e.isFolder ? 0 : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  e.lastWrite = FromFileTimeTicks(Ticks(data.ftLastWriteTime));
  return e;
}

constexpr wchar_t kTempPrefix[] = L"~tolvane-";
constexpr wchar_t kTempSuffix[] = L".tmp";

const std::wstring& HostTag() {
  static const std::wstring tag = Widen(TemporaryFileHostTag());
  return tag;
}

// A fresh name in the folder of path: "~tolvane-HOST-PID-N-R.tmp". It does not grow with the
// file's own name, so a name near the length limit can still be copied.
std::wstring TempNameBeside(const std::wstring& path) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 rng{std::random_device{}()};
  const auto sep = path.find_last_of(L"\\/");
  const std::wstring dir = sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
  return dir + kTempPrefix + HostTag() + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++) + L"-" + std::to_wstring(rng() % 1000000) + kTempSuffix;
}

// The process that wrote one of this machine's temporary files; nothing for any other name.
std::optional<DWORD> TemporaryWriter(const std::wstring& name) {
  const std::wstring prefix = kTempPrefix + HostTag() + L"-";
  const std::size_t suffix = std::char_traits<wchar_t>::length(kTempSuffix);
  if (name.size() <= prefix.size() + suffix || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kTempSuffix) != 0) {
    return std::nullopt;
  }
  // PID-N-R
  const std::wstring body = name.substr(prefix.size(), name.size() - prefix.size() - suffix);
  std::size_t parts = 1;
  for (const wchar_t c : body) {
    if (c == L'-') {
      ++parts;
    } else if (c < L'0' || c > L'9') {
      return std::nullopt;
    }
  }
  const std::size_t dash = body.find(L'-');
  if (parts != 3 || dash == 0 || dash > 10) return std::nullopt;
  const unsigned long long pid = std::stoull(body.substr(0, dash));
  if (pid > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<DWORD>(pid);
}

// Whether a process of that id is running now.
bool ProcessAlive(DWORD pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

std::uint64_t SizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Whether the source's size or last-write time is not what it was before the copy, or the copy
// holds another number of bytes than the source had.
bool SourceChanged(const std::wstring& source, const std::wstring& temp,
                   const WIN32_FILE_ATTRIBUTE_DATA& before) {
  WIN32_FILE_ATTRIBUTE_DATA after, copied;
  if (!GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &after) ||
      !GetFileAttributesExW(temp.c_str(), GetFileExInfoStandard, &copied)) {
    return true;
  }
  return SizeOf(after) != SizeOf(before) || SizeOf(copied) != SizeOf(before) ||
         Ticks(after.ftLastWriteTime) != Ticks(before.ftLastWriteTime);
}

// Removes a temporary file, also when it took the read-only attribute from its source.
void RemoveTemporary(const std::wstring& temp) {
  SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(temp.c_str());
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const bool ok = CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

bool WriteAll(HANDLE h, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, content.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// The progress routine of CopyFileExW: hands the counts to our progress and turns its answer
// into the system's.
DWORD CALLBACK OnCopyProgress(LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER,
                              LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
  const auto& progress = *static_cast<const CopyProgress*>(data);
  const bool goOn = progress(static_cast<std::uint64_t>(transferred.QuadPart),
                             static_cast<std::uint64_t>(total.QuadPart));
  return goOn ? PROGRESS_CONTINUE : PROGRESS_CANCEL;
}

}  // namespace

std::string SystemErrorText(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n > 0 && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  // A message of several lines becomes one: a log line holds no line end of its own.
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (message[i] != L'\r' && message[i] != L'\n') continue;
    std::size_t end = i;
    while (end < message.size() && (message[end] == L'\r' || message[end] == L'\n')) ++end;
    if (end < message.size()) message.replace(i, end - i, L" ");
  }
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) return "エラー " + std::to_string(error);
  return Narrow(message);
}

FileTime FromFileTimeTicks(unsigned long long ticks) {
  using Ticks = std::chrono::duration<long long, std::ratio<1, 10000000>>;
  // Our clock counts finer than the file time and so reaches less far: times outside its
  // range (around 1678 and 2262) are held at its ends.
  const long long since1970 = static_cast<long long>(ticks) - static_cast<long long>(kTicksTo1970);
  const auto lowest = std::chrono::duration_cast<Ticks>(FileTime::duration::min()).count() + 1;
  const auto highest = std::chrono::duration_cast<Ticks>(FileTime::duration::max()).count() - 1;
  if (static_cast<long long>(ticks) < 0 || since1970 > highest) return FileTime::max();
  if (since1970 < lowest) return FileTime::min();
  return FileTime(std::chrono::duration_cast<FileTime::duration>(Ticks(since1970)));
}

unsigned long long ToFileTimeTicks(FileTime time) {
  using Ticks = std::chrono::duration<long long, std::ratio<1, 10000000>>;
  const long long since1970 = std::chrono::floor<Ticks>(time.time_since_epoch()).count();
  // Before 1601 there is no file time: the earliest one stands for it.
  if (since1970 < -static_cast<long long>(kTicksTo1970)) return 0;
  return static_cast<unsigned long long>(since1970) + kTicksTo1970;
}

// This machine, in the temporary names: a folder on a share is written by other machines too,
// whose process ids say nothing here.
const std::string& TemporaryFileHostTag() {
  static const std::string tag = [] {
    wchar_t host[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(host, &size)) host[0] = L'\0';
    std::uint32_t h = 2166136261u;
    for (const wchar_t* c = host; *c; ++c) h = (h ^ static_cast<std::uint32_t>(*c)) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(h));
    return std::string(hex);
  }();
  return tag;
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.size() < kPlainPathLimit || path.rfind(L"\\\\?\\", 0) == 0) return path;
  // The prefixed form takes the path as it stands: "/", "." and ".." must be resolved first.
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD len = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (len == 0 || len >= n) return path;
  full.resize(len);
  if (IsUnc(full)) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring Win32FileSystem::NativePath(const std::string& path) const {
  return ExtendedLengthPath(Widen(path));
}

bool Win32FileSystem::Fail(unsigned long error) {
  lastError_ = SystemErrorText(error);
  SetLastError(error);
  return false;
}

bool Win32FileSystem::CopyToTemporary(const std::wstring& source, const std::wstring& temp,
                                      const CopyProgress& progress) {
  return CopyFileExW(source.c_str(), temp.c_str(), progress ? OnCopyProgress : nullptr,
                     const_cast<CopyProgress*>(&progress), nullptr, COPY_FILE_FAIL_IF_EXISTS) != 0;
}

bool Win32FileSystem::Exists(const std::string& path) {
  return !path.empty() && GetFileAttributesW(NativePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32FileSystem::IsFolder(const std::string& path) {
  if (path.empty()) return false;
  const DWORD a = GetFileAttributesW(NativePath(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<FindEntry> Win32FileSystem::Find(const std::string& pattern) {
  std::vector<FindEntry> found;
  lastError_.clear();
  // A bare drive ("C:") would find the drive's current folder under another name: a whole
  // disk is no item of a search.
  if (pattern.empty() || (pattern.size() == 2 && pattern[1] == ':')) {
    Fail(ERROR_PATH_NOT_FOUND);
    return found;
  }
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileExW(NativePath(pattern).c_str(), FindExInfoBasic, &data,
                              FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) {
    // No match in a folder that could be searched is no failure.
    if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND) Fail(error);
    return found;
  }
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    found.push_back(EntryFrom(data));
  } while (FindNextFileW(h, &data));
  FindClose(h);
  return found;
}

bool Win32FileSystem::CreateFolders(const std::string& path) {
  if (path.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  const std::wstring wide = Widen(path);
  // The part that is never created: a drive ("C:"), or the server and share of a network
  // path, which a folder of that name on the local disk must not stand in for.
  std::size_t pos = 0;
  if (IsUnc(wide)) {
    pos = 2;
    for (int i = 0; i < 2 && pos != std::wstring::npos; ++i) {
      pos = wide.find_first_of(L"\\/", pos);
      if (pos != std::wstring::npos) ++pos;
    }
    if (pos == std::wstring::npos) return IsFolder(path) || Fail(ERROR_BAD_NETPATH);
  } else if (wide.size() >= 2 && wide[1] == L':') {
    pos = 2;
  }
  while (pos <= wide.size()) {
    std::size_t next = wide.find_first_of(L"\\/", pos);
    if (next == std::wstring::npos) next = wide.size();
    if (next > pos) {
      const std::string partial = Narrow(wide.substr(0, next));
      if (!CreateDirectoryW(NativePath(partial).c_str(), nullptr)) {
        if (const DWORD error = GetLastError(); error != ERROR_ALREADY_EXISTS) return Fail(error);
      }
    }
    pos = next + 1;
  }
  // Something that is not a folder stands where one was to be.
  return IsFolder(path) || Fail(ERROR_ALREADY_EXISTS);
}

bool Win32FileSystem::CopyFile(const std::string& source, const std::string& target,
                               bool failIfExists) {
  return CopyFileWithProgress(source, target, failIfExists, nullptr).ok;
}

CopyResult Win32FileSystem::CopyFileWithProgress(const std::string& source,
                                                 const std::string& target, bool failIfExists,
                                                 const CopyProgress& progress) {
  CopyResult result;
  // Fails with the reason, which also stays the thread's last error as the system's copy leaves it.
  const auto fail = [this, &result](DWORD error) {
    Fail(error);
    result.error = lastError_;
    return result;
  };
  if (source.empty() || target.empty()) return fail(ERROR_PATH_NOT_FOUND);
  const std::wstring from = NativePath(source);
  const std::wstring to = NativePath(target);
  WIN32_FILE_ATTRIBUTE_DATA sourceData;
  if (!GetFileAttributesExW(from.c_str(), GetFileExInfoStandard, &sourceData)) {
    return fail(GetLastError());
  }
  if (sourceData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return fail(ERROR_ACCESS_DENIED);
  const DWORD targetAttributes = GetFileAttributesW(to.c_str());
  if (targetAttributes != INVALID_FILE_ATTRIBUTES) {
    if (failIfExists) return fail(ERROR_FILE_EXISTS);
    // The system's own copy refuses read-only and hidden targets with "access denied".
    if (targetAttributes &
        (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) {
      return fail(ERROR_ACCESS_DENIED);
    }
  }
  const std::wstring temp = TempNameBeside(to);
  bool ok = CopyToTemporary(from, temp, progress);
  if (ok && SourceChanged(from, temp, sourceData)) {
    // Rewritten or cut while it was read: what was copied is no version of the file.
    RemoveTemporary(temp);
    result.sourceChanged = true;
    return result;
  }
  if (ok) {
    // Without the replace flag the move fails when a file came into being since the check.
    ok = MoveFileExW(temp.c_str(), to.c_str(),
                     MOVEFILE_WRITE_THROUGH | (failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING)) != 0;
  }
  if (!ok) {
    const DWORD error = GetLastError();
    RemoveTemporary(temp);
    result.cancelled = error == ERROR_REQUEST_ABORTED;
    return fail(error);
  }
  result.ok = true;
  result.bytes =
      (static_cast<std::uint64_t>(sourceData.nFileSizeHigh) << 32) | sourceData.nFileSizeLow;
  return result;
}

bool Win32FileSystem::DeleteFile(const std::string& path) {
  return !path.empty() && DeleteFileW(NativePath(path).c_str()) != 0;
}

bool Win32FileSystem::RenameFile(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
  return !from.empty() && !to.empty() &&
         MoveFileExW(NativePath(from).c_str(), NativePath(to).c_str(), 0) != 0;
}

std::optional<std::string> Win32FileSystem::ReadFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  Handle h(CreateFileW(NativePath(path).c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid() || GetFileType(h.get()) != FILE_TYPE_DISK) return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h.get(), buffer, sizeof buffer, &n, nullptr)) return std::nullopt;
    if (n == 0) break;
    content.append(buffer, n);
  }
  return content;
}

bool Win32FileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  if (path.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  const std::wstring to = NativePath(path);
  const DWORD old = GetFileAttributesW(to.c_str());
  // A read-only file is not written over, as it cannot be opened for writing.
  if (old != INVALID_FILE_ATTRIBUTES &&
      (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  const std::wstring temp = TempNameBeside(to);
  Handle out(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr));
  if (!out.valid()) return Fail(GetLastError());
  bool ok = WriteAll(out.get(), content) && FlushFileBuffers(out.get());
  ok = out.Close() && ok;
  // The new file keeps what the old one showed (hidden, archive).
  if (ok && old != INVALID_FILE_ATTRIBUTES) {
    ok = SetFileAttributesW(temp.c_str(), old) != 0;
  }
  ok = ok && MoveFileExW(temp.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    const DWORD error = GetLastError();
    RemoveTemporary(temp);
    return Fail(error);
  }
  return true;
}

bool Win32FileSystem::AppendToFile(const std::string& path, const std::string& content) {
  if (path.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  Handle h(CreateFileW(NativePath(path).c_str(), FILE_APPEND_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) return Fail(GetLastError());
  // Only a file on a disk keeps what is written to it: a device (NUL, CON, a pipe) would lose
  // it or wait, and a folder is no file.
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h.get()) != FILE_TYPE_DISK) return Fail(ERROR_NOT_SUPPORTED);
  if (GetFileInformationByHandle(h.get(), &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  const bool written = WriteAll(h.get(), content);
  const DWORD error = GetLastError();
  if (!h.Close() || !written) return Fail(written ? GetLastError() : error);
  return true;
}

std::optional<FileIdentity> Win32FileSystem::Identity(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // Backup semantics open folders too; links and junctions are followed.
  Handle h(CreateFileW(NativePath(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.valid()) return std::nullopt;
  FileIdentity id;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(h.get(), &info)) {
    id.device = info.dwVolumeSerialNumber;
    id.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  if (id.inode == 0) {
    // No file index on this file system: the path with its links resolved stands in, in one
    // case, as the system compares names.
    const DWORD n = GetFinalPathNameByHandleW(h.get(), nullptr, 0, FILE_NAME_NORMALIZED);
    if (n == 0) return std::nullopt;
    std::wstring resolved(n, L'\0');
    const DWORD len = GetFinalPathNameByHandleW(h.get(), resolved.data(), n, FILE_NAME_NORMALIZED);
    if (len == 0 || len >= n) return std::nullopt;
    resolved.resize(len);
    CharUpperBuffW(resolved.data(), static_cast<DWORD>(resolved.size()));
    id.device = 0;
    id.path = Narrow(resolved);
  }
  return id;
}

void Win32FileSystem::RemoveStaleTemporaryFiles(const std::string& folder) {
  if (folder.empty()) return;
  std::wstring dir = NativePath(folder);
  if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileExW((dir + kTempPrefix + L"*").c_str(), FindExInfoBasic, &data,
                              FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> stale;
  do {
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    const auto writer = TemporaryWriter(data.cFileName);
    // Only when the writer is gone; a live process, whoever it is now, keeps its file.
    if (writer && *writer != GetCurrentProcessId() && !ProcessAlive(*writer)) {
      stale.push_back(data.cFileName);
    }
  } while (FindNextFileW(h, &data));
  FindClose(h);
  for (const std::wstring& name : stale) RemoveTemporary(dir + name);
}

}  // namespace tolvane
