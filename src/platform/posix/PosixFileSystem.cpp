#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <system_error>

#include "platform/posix/NetworkPath.h"

namespace tolvane {
namespace {

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// Length of the UTF-8 character starting at s[i].
std::size_t CharLength(const std::string& s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::size_t n = c < 0x80           ? 1
                  : (c >> 5) == 0x6  ? 2
                  : (c >> 4) == 0xE  ? 3
                  : (c >> 3) == 0x1E ? 4
                                     : 1;
  return std::min(n, s.size() - i);
}

// Names match without regard to ASCII case, as the folder search of the original platform does;
// bytes of multi-byte characters must be equal.
bool SameByte(char a, char b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return lower(a) == lower(b);
}

bool Match(const std::string& p, std::size_t pi, const std::string& n, std::size_t ni) {
  // Iterative matching with one back-track point for the last star.
  std::size_t starP = std::string::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && p[pi] == '*') {
      starP = ++pi;
      starN = ni;
    } else if (pi < p.size() && p[pi] == '?') {
      ++pi;
      ni += CharLength(n, ni);
    } else if (pi < p.size() && SameByte(p[pi], n[ni])) {
      ++pi;
      ++ni;
    } else if (starP != std::string::npos) {
      pi = starP;
      starN += CharLength(n, starN);
      ni = starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

constexpr char kTempPrefix[] = ".tolvane-";
constexpr char kTempSuffix[] = ".tmp";

}  // namespace

// This machine, in the temporary names: a folder on a share is written by other machines too,
// whose process ids say nothing here.
const std::string& TemporaryFileHostTag() {
  static const std::string tag = [] {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::uint32_t h = 2166136261u;
    for (const char* c = host; *c; ++c) h = (h ^ static_cast<unsigned char>(*c)) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", h);
    return std::string(hex);
  }();
  return tag;
}

namespace {

// A fresh hidden name in the folder of path.
std::string TempNameBeside(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return dir + NewTemporaryFileName();
}

// Where path leads when its last component is a link (however many links deep), made absolute
// against the link's folder; path itself when it is no link or does not exist.
std::optional<std::string> FollowLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0) return std::nullopt;
    target.resize(static_cast<std::size_t>(n));
    if (target.empty() || target.front() != '/') {
      const auto slash = path.find_last_of('/');
      target = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
    }
    path = target;
  }
  errno = ELOOP;
  return std::nullopt;
}

// The deepest part of path that exists, with its links resolved.
std::optional<std::string> ResolveExistingPart(std::string path) {
  for (;;) {
    if (char* real = realpath(path.c_str(), nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
    if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return std::nullopt;
    path.erase(slash);
  }
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int r = close(fd_);
    fd_ = -1;
    return r == 0;
  }
  void Release() { fd_ = -1; }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

// It does not grow with the file's own name, so a name near the length limit can still be copied.
// Whether the source changed while it was copied: its size or last-write time is no longer
// what it was when the copy began, or the copy does not hold that many bytes.
bool SourceChanged(int in, int out, const struct stat& before) {
  struct stat now;
  struct stat written;
  if (fstat(in, &now) != 0 || fstat(out, &written) != 0) return true;
  return now.st_size != before.st_size || now.st_mtim.tv_sec != before.st_mtim.tv_sec ||
         now.st_mtim.tv_nsec != before.st_mtim.tv_nsec || written.st_size != before.st_size;
}

std::string NewTemporaryFileName() {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 rng{std::random_device{}()};
  // Asked once: the process does not fork, and a file costs one system call less.
  static const std::string pid = std::to_string(getpid());
  return kTempPrefix + TemporaryFileHostTag() + "-" + pid + "-" + std::to_string(counter++) + "-" +
         std::to_string(rng() % 1000000) + kTempSuffix;
}

FileTime FileTimeOf(const struct timespec& ts) {
  return FileTime(std::chrono::duration_cast<FileTime::duration>(
      std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
}

FindEntry EntryFromStat(const std::string& name, const struct stat& st) {
  FindEntry e;
  e.name = name;
  e.isFolder = S_ISDIR(st.st_mode);
  e.size = e.isFolder ? 0 : static_cast<std::uint64_t>(st.st_size);
  e.lastWrite = FileTimeOf(st.st_mtim);
  return e;
}

bool MatchesSearchPattern(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  if (Match(pattern, 0, name, 0)) return true;
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos) {
    return Match(pattern.substr(0, pattern.size() - 2), 0, name, 0);
  }
  return false;
}

std::optional<long> TemporaryFileWriter(const std::string& name) {
  const std::size_t prefix = sizeof kTempPrefix - 1;
  const std::size_t suffix = sizeof kTempSuffix - 1;
  if (name.size() <= prefix + suffix || name.compare(0, prefix, kTempPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kTempSuffix) != 0) {
    return std::nullopt;
  }
  // HOST-PID-N-R
  const std::string body = name.substr(prefix, name.size() - prefix - suffix);
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dash = body.find('-', start);
    parts.push_back(body.substr(start, dash == std::string::npos ? dash : dash - start));
    if (dash == std::string::npos) break;
    start = dash + 1;
  }
  if (parts.size() != 4 || parts[0] != TemporaryFileHostTag()) return std::nullopt;
  for (std::size_t i = 1; i < 4; ++i) {
    if (parts[i].empty() || parts[i].size() > 18 ||
        parts[i].find_first_not_of("0123456789") != std::string::npos) {
      return std::nullopt;
    }
  }
  return std::stol(parts[1]);
}

PosixFileSystem::PosixFileSystem(std::string networkRoot) : networkRoot_(std::move(networkRoot)) {}

std::unique_ptr<FileSystem> PosixFileSystem::ForWorker(WindowCall) {
  auto worker = std::make_unique<PosixFileSystem>(networkRoot_);
  worker->SetChunkSize(chunkSize_);
  return worker;
}

bool PosixFileSystem::Fail() {
  lastError_ = std::strerror(errno);
  return false;
}

std::string PosixFileSystem::LastError() const { return lastError_; }

std::optional<FileIdentity> PosixFileSystem::Identity(const std::string& path) {
  const auto p = Map(path);
  struct stat st;
  if (!p || stat(p->c_str(), &st) != 0) return std::nullopt;
  FileIdentity id;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.inode = static_cast<std::uint64_t>(st.st_ino);
  return id;
}

bool PosixFileSystem::LeadsOutsideNetwork(const std::string& path) {
  if (!IsNetworkPath(path)) return false;
  const auto p = Map(path);
  if (!p) return false;  // not a path at all: every operation on it fails anyway
  const auto root = ResolveExistingPart(networkRoot_);
  const auto resolved = ResolveExistingPart(*p);
  // A path too long for the system cannot be written at all, and the write says why.
  if (root && !resolved && errno == ENAMETOOLONG) return false;
  if (!root || !resolved) return true;
  if (*root == "/") return false;
  return !(*resolved == *root || resolved->compare(0, root->size() + 1, *root + "/") == 0);
}

void PosixFileSystem::RemoveStaleTemporaryFiles(const std::string& folder) {
  const auto p = Map(folder);
  if (!p) return;
  DIR* d = opendir(p->c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (struct dirent* ent = readdir(d)) {
    const auto writer = TemporaryFileWriter(ent->d_name);
    if (!writer || *writer == getpid()) continue;
    // Only when the writer is gone; a live process, whoever it is now, keeps its file.
    if (kill(static_cast<pid_t>(*writer), 0) != 0 && errno == ESRCH) stale.push_back(ent->d_name);
  }
  const int dfd = dirfd(d);
  for (const auto& name : stale) {
    struct stat st;
    if (fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      unlinkat(dfd, name.c_str(), 0);
    }
  }
  closedir(d);
}

std::optional<std::string> PosixFileSystem::Map(const std::string& path) const {
  if (path.empty()) return std::nullopt;
  return MapNetworkPath(networkRoot_, path);
}

bool PosixFileSystem::Exists(const std::string& path) {
  const auto p = Map(path);
  struct stat st;
  return p && stat(p->c_str(), &st) == 0;
}

bool PosixFileSystem::IsFolder(const std::string& path) {
  const auto p = Map(path);
  struct stat st;
  return p && stat(p->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<FindEntry> PosixFileSystem::Find(const std::string& pattern) {
  lastError_.clear();
  std::vector<FindEntry> found;
  const auto p = Map(pattern);
  if (!p) {
    errno = ENOENT;
    Fail();
    return found;
  }
  const auto slash = p->find_last_of('/');
  const std::string dir =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : p->substr(0, slash));
  const std::string last = slash == std::string::npos ? *p : p->substr(slash + 1);
  if (last.empty()) return found;
  if (!HasWildcard(last)) {
    struct stat st;
    if (last != "." && last != ".." && stat(p->c_str(), &st) == 0) {
      found.push_back(EntryFromStat(last, st));
    } else {
      Fail();
    }
    return found;
  }
  DIR* d = opendir(dir.c_str());
  if (!d) {
    Fail();
    return found;
  }
  const int dfd = dirfd(d);
  while (struct dirent* ent = readdir(d)) {
    const std::string name = ent->d_name;
    if (name == "." || name == ".." || !MatchesSearchPattern(last, name)) continue;
    struct stat st;
    if (fstatat(dfd, name.c_str(), &st, 0) != 0 &&
        fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // gone since it was listed
    }
    found.push_back(EntryFromStat(name, st));
  }
  closedir(d);
  return found;
}

bool PosixFileSystem::CreateFolders(const std::string& path) {
  lastError_.clear();
  const auto p = Map(path);
  if (!p) {
    errno = ENOENT;
    return Fail();
  }
  // A server or a share cannot be made by creating a folder: when one is missing the folder
  // cannot be created, rather than landing on the local disk under the network root.
  std::size_t mustExist = 0;
  if (IsNetworkPath(path)) {
    mustExist = networkRoot_.size();
    while (mustExist > 1 && networkRoot_[mustExist - 1] == '/') --mustExist;
    for (int i = 0; i < 2 && mustExist < p->size(); ++i) {
      mustExist = p->find('/', mustExist + 1);
      if (mustExist == std::string::npos) mustExist = p->size();
    }
  }
  std::size_t pos = 0;
  while (pos <= p->size()) {
    std::size_t next = p->find('/', pos);
    if (next == std::string::npos) next = p->size();
    const std::string partial = p->substr(0, next);
    if (!partial.empty() && next > mustExist) {
      if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return Fail();
    }
    pos = next + 1;
  }
  struct stat st;
  if (stat(p->c_str(), &st) != 0) return Fail();
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return Fail();
  }
  return true;
}

PosixFileSystem::DataCopy PosixFileSystem::CopyData(int in, int out, std::uint64_t size,
                                                    const CopyProgress& progress) {
  std::uint64_t done = 0;
  // Tells progress where the copy stands after a chunk; false when it asked to stop.
  const auto reportAt = [&](std::uint64_t position) {
    done = position;
    return !progress || progress(done, std::max(size, done));
  };
  const std::size_t bufferSize = std::min<std::size_t>(chunkSize_, std::size_t{1} << 20);
  std::unique_ptr<char[]> buffer;
  // Moves [from, to) at the same offsets, in chunks; Done also when the source ended early
  // (it was cut meanwhile: the caller's check of the source tells).
  const auto copyRange = [&](std::uint64_t from, std::uint64_t to) {
    bool kernel = true;
    while (from < to) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, chunkSize_));
      ssize_t n;
      if (kernel) {
        loff_t inOff = static_cast<loff_t>(from);
        loff_t outOff = static_cast<loff_t>(from);
        n = copy_file_range(in, &inOff, out, &outOff, want, 0);
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
          kernel = false;
          continue;
        }
      } else {
        if (!buffer) buffer.reset(new char[bufferSize]);
        n = pread(in, buffer.get(), std::min(want, bufferSize), static_cast<off_t>(from));
        if (n > 0) {
          for (ssize_t put = 0; put < n;) {
            const ssize_t w = pwrite(out, buffer.get() + put, static_cast<std::size_t>(n - put),
                                     static_cast<off_t>(from) + put);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return DataCopy::Failed;
            put += w;
          }
        }
      }
      if (n < 0) {
        if (errno == EINTR) continue;
        return DataCopy::Failed;
      }
      if (n == 0) return DataCopy::Done;
      from += static_cast<std::uint64_t>(n);
      if (!reportAt(from)) return DataCopy::Cancelled;
    }
    return DataCopy::Done;
  };

  // A file with holes (fewer blocks than its size) keeps them: only its data is copied, and
  // the holes stay holes in the copy, as far as the target's file system allows.
  struct stat st;
  if (fstat(in, &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::uint64_t>(st.st_blocks) * 512 < size) {
    std::uint64_t position = 0;
    bool seekable = true;
    for (;;) {
      const off_t data = lseek(in, static_cast<off_t>(position), SEEK_DATA);
      if (data < 0) {
        if (errno == ENXIO) break;  // nothing but a hole up to the end
        seekable = false;
        break;
      }
      const off_t hole = lseek(in, data, SEEK_HOLE);
      if (hole < 0) {
        seekable = false;
        break;
      }
      const DataCopy piece = copyRange(static_cast<std::uint64_t>(data), static_cast<std::uint64_t>(hole));
      if (piece != DataCopy::Done) return piece;
      position = static_cast<std::uint64_t>(hole);
    }
    if (seekable) {
      // A hole at the end is the file's size without data.
      struct stat written;
      if (fstat(out, &written) != 0) return DataCopy::Failed;
      if (static_cast<std::uint64_t>(written.st_size) < size &&
          ftruncate(out, static_cast<off_t>(size)) != 0) {
        return DataCopy::Failed;
      }
      if (!reportAt(std::max(position, size))) return DataCopy::Cancelled;
      return DataCopy::Done;
    }
    // The file system cannot tell data from holes: the whole file as it stands.
    if (ftruncate(out, 0) != 0) return DataCopy::Failed;
  }
  // The kernel's copy path: no buffer of our own, and server-side copies where the file
  // system offers them; read and write where it cannot. A file that grows meanwhile is
  // copied to its end, and the check of the source afterwards tells.
  return copyRange(0, std::numeric_limits<std::uint64_t>::max());
}

bool PosixFileSystem::CopyFile(const std::string& source, const std::string& target,
                               bool failIfExists) {
  return CopyFileWithProgress(source, target, failIfExists, nullptr).ok;
}

CopyResult PosixFileSystem::CopyFileWithProgress(const std::string& source,
                                                 const std::string& target, bool failIfExists,
                                                 const CopyProgress& progress) {
  CopyResult result;
  lastError_.clear();
  const auto fail = [this, &result](int error) {
    result.error = std::system_category().message(error);
    lastError_ = result.error;
    return result;
  };
  const auto from = Map(source);
  const auto to = Map(target);
  if (!from || !to) return fail(ENOENT);
  // Non-blocking, so that a named pipe among the sources is refused instead of hanging the
  // window; for a regular file the flag changes nothing.
  Fd in(open(from->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat srcStat;
  if (in.get() < 0 || fstat(in.get(), &srcStat) != 0) return fail(errno);
  if (!S_ISREG(srcStat.st_mode)) return fail(S_ISDIR(srcStat.st_mode) ? EISDIR : EINVAL);

  struct stat dstStat;
  if (stat(to->c_str(), &dstStat) == 0) {
    // A folder is named as what it is, whether or not a file was expected there.
    if (S_ISDIR(dstStat.st_mode)) return fail(EISDIR);
    if (failIfExists) return fail(EEXIST);
    if (!S_ISREG(dstStat.st_mode)) return fail(EINVAL);
    // A read-only file is not replaced, as on the original platform.
    if ((dstStat.st_mode & 0222) == 0) return fail(EACCES);
  }

  const std::string temp = TempNameBeside(*to);
  Fd out(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (out.get() < 0) return fail(errno);
  int error = 0;
  const DataCopy copied =
      CopyData(in.get(), out.get(), static_cast<std::uint64_t>(srcStat.st_size), progress);
  bool ok = copied == DataCopy::Done;
  if (copied == DataCopy::Failed) error = errno;
  if (ok && SourceChanged(in.get(), out.get(), srcStat)) {
    // Written while we read it: what we have is neither the old file nor the new one.
    ok = false;
    result.sourceChanged = true;
  }
  if (ok) {
    // The permission bits travel with the file (a read-only source gives a read-only copy),
    // but never set-id bits. The time is set last, after every write.
    const struct timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
    ok = fchmod(out.get(), srcStat.st_mode & 0777) == 0 && futimens(out.get(), times) == 0;
    if (!ok) error = errno;
  }
  if (!out.Close() && ok) {
    ok = false;
    error = errno;
  }
  if (ok) {
    if (failIfExists) {
      // Never replace a file that came into being since the check above.
      ok = renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) == 0;
      if (!ok && (errno == EINVAL || errno == ENOSYS)) {
        ok = link(temp.c_str(), to->c_str()) == 0;
        if (ok) {
          unlink(temp.c_str());
        } else if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) {
          // Neither is offered here: the last check and the rename are as close as it gets.
          struct stat st;
          if (lstat(to->c_str(), &st) == 0) {
            errno = EEXIST;
          } else {
            ok = errno == ENOENT && rename(temp.c_str(), to->c_str()) == 0;
          }
        }
      }
    } else {
      ok = rename(temp.c_str(), to->c_str()) == 0;
    }
    if (!ok) error = errno;
  }
  if (!ok) unlink(temp.c_str());
  result.ok = ok;
  result.cancelled = copied == DataCopy::Cancelled;
  if (ok) {
    result.bytes = static_cast<std::uint64_t>(srcStat.st_size);
  } else if (!result.cancelled && !result.sourceChanged) {
    result.error = std::system_category().message(error != 0 ? error : EIO);
    lastError_ = result.error;
  }
  return result;
}

bool PosixFileSystem::DeleteFile(const std::string& path) {
  const auto p = Map(path);
  return p && unlink(p->c_str()) == 0;
}

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path) {
  const auto p = Map(path);
  if (!p) return std::nullopt;
  // Non-blocking, so that a named pipe is refused instead of waited for.
  Fd fd(open(p->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return content;
}

bool PosixFileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  lastError_.clear();
  const auto p = Map(path);
  if (!p) {
    errno = ENOENT;
    return Fail();
  }
  // A link is written through: the new file takes the place of the file it leads to, and the
  // link stays a link.
  const auto target = FollowLinks(*p);
  if (!target) return Fail();
  struct stat old;
  const bool hadOld = stat(target->c_str(), &old) == 0;
  if (hadOld && !S_ISREG(old.st_mode)) {
    errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
    return Fail();
  }
  // Replacing needs only the folder's permission; a file the user could not write in place is
  // not theirs to replace either.
  if (hadOld && faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0) return Fail();
  const std::string temp = TempNameBeside(*target);
  // A new file gets the permissions a plain write would give it (the umask applies).
  Fd out(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (out.get() < 0) return Fail();
  bool ok = WriteAll(out.get(), content.data(), content.size());
  if (ok && hadOld) {
    // The old file's owner where we may give it (as root), and its mode.
    if (fchown(out.get(), old.st_uid, old.st_gid) != 0) errno = 0;
    ok = fchmod(out.get(), old.st_mode & 07777) == 0;
  }
  ok = ok && fsync(out.get()) == 0;
  ok = out.Close() && ok;
  ok = ok && rename(temp.c_str(), target->c_str()) == 0;
  if (!ok) {
    Fail();
    unlink(temp.c_str());
  }
  return ok;
}

bool PosixFileSystem::AppendToFile(const std::string& path, const std::string& content) {
  lastError_.clear();
  const auto p = Map(path);
  if (!p) {
    errno = ENOENT;
    return Fail();
  }
  // Non-blocking, so that a named pipe without a reader is refused instead of waited for.
  Fd fd(open(p->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644));
  if (fd.get() < 0) return Fail();
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return Fail();
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return Fail();
  }
  const bool ok = WriteAll(fd.get(), content.data(), content.size());
  if (!ok) Fail();
  return fd.Close() && ok;
}

namespace {

class OpenAppendFile : public AppendFile {
 public:
  explicit OpenAppendFile(int fd) : fd_(fd) {}
  ~OpenAppendFile() override { close(fd_); }
  bool Append(const std::string& content) override {
    return WriteAll(fd_, content.data(), content.size());
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<AppendFile> PosixFileSystem::OpenForAppend(const std::string& path) {
  lastError_.clear();
  const auto p = Map(path);
  if (!p) {
    errno = ENOENT;
    Fail();
    return nullptr;
  }
  Fd fd(open(p->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
    Fail();
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    Fail();
    return nullptr;
  }
  auto file = std::make_unique<OpenAppendFile>(fd.get());
  fd.Release();
  return file;
}

bool PosixFileSystem::RenameFile(const std::string& from, const std::string& to) {
  lastError_.clear();
  const auto a = Map(from);
  const auto b = Map(to);
  if (!a || !b) {
    errno = ENOENT;
    return Fail();
  }
  if (renameat2(AT_FDCWD, a->c_str(), AT_FDCWD, b->c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return Fail();
  struct stat st;
  if (lstat(b->c_str(), &st) == 0) {
    errno = EEXIST;
    return Fail();
  }
  return rename(a->c_str(), b->c_str()) == 0 || Fail();
}

}  // namespace tolvane
