#include "platform/smb/SmbFileSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>
#include <utility>

#include "platform/NetworkPaths.h"
#include "platform/posix/NetworkPath.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/smb/SmbConnection.h"
#include "platform/smb/SmbWire.h"

namespace tolvane {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
// The writes of our own requests after a file's first part.
constexpr std::size_t kStreamPart = std::size_t{256} << 10;
constexpr unsigned kDosFolder = 0x10;

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

std::string LastOf(const SmbPath& p) {
  if (p.share.empty()) return p.server;
  if (p.rest.empty()) return p.share;
  const auto slash = p.rest.rfind('/');
  return slash == std::string::npos ? p.rest : p.rest.substr(slash + 1);
}

SmbPath ParentOf(const SmbPath& p) {
  SmbPath parent = p;
  if (!p.rest.empty()) {
    const auto slash = p.rest.rfind('/');
    parent.rest = slash == std::string::npos ? std::string() : p.rest.substr(0, slash);
  } else {
    parent.share.clear();
  }
  return parent;
}

SmbPath Beside(const SmbPath& p, const std::string& name) {
  SmbPath sibling = ParentOf(p);
  sibling.rest = sibling.rest.empty() ? name : sibling.rest + "/" + name;
  return sibling;
}

// One end of a copy: a local file descriptor or a file on a server.
class CopyEnd {
 public:
  CopyEnd(SmbConnection& smb) : smb_(smb) {}
  ~CopyEnd() { Close(); }
  CopyEnd(const CopyEnd&) = delete;
  CopyEnd& operator=(const CopyEnd&) = delete;

  bool OpenLocal(const std::string& path, int flags, mode_t mode) {
    fd_ = open(path.c_str(), flags | O_CLOEXEC, mode);
    return fd_ >= 0;
  }
  bool OpenSmb(const std::string& url, int flags, mode_t mode) {
    file_ = smb_.Open(url, flags, mode);
    return file_ != nullptr;
  }
  bool Stat(struct stat* st) { return file_ ? smb_.Fstat(file_, st) == 0 : fstat(fd_, st) == 0; }
  ssize_t Read(char* buffer, std::size_t size) {
    for (;;) {
      const ssize_t n = file_ ? smb_.Read(file_, buffer, size) : read(fd_, buffer, size);
      if (n < 0 && errno == EINTR && !file_) continue;
      return n;
    }
  }
  bool WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = file_ ? smb_.Write(file_, data, size) : write(fd_, data, size);
      if (n < 0) {
        if (errno == EINTR && !file_) continue;
        return false;
      }
      if (n == 0) {
        errno = EIO;
        return false;
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }
  int Fd() const { return fd_; }
  bool SeekTo(off_t offset) {
    return (file_ ? smb_.Lseek(file_, offset, SEEK_SET) : lseek(fd_, offset, SEEK_SET)) >= 0;
  }
  // False with errno when the data did not all reach the file.
  bool Close() {
    int r = 0;
    if (file_) {
      r = smb_.Close(file_);
      file_ = nullptr;
    }
    if (fd_ >= 0) {
      r = close(fd_);
      fd_ = -1;
    }
    return r == 0;
  }

 private:
  SmbConnection& smb_;
  SMBCFILE* file_ = nullptr;
  int fd_ = -1;
};

}  // namespace

SmbFileSystem::SmbFileSystem(FileSystem& local, SmbClient& client)
    : local_(local), client_(client) {}

SmbFileSystem::~SmbFileSystem() = default;

SmbFileSystem::SmbFileSystem(std::unique_ptr<FileSystem> local, std::unique_ptr<SmbClient> client)
    : ownedLocal_(std::move(local)),
      ownedClient_(std::move(client)),
      local_(*ownedLocal_),
      client_(*ownedClient_) {}

std::unique_ptr<FileSystem> SmbFileSystem::ForWorker(WindowCall ask) {
  auto local = local_.ForWorker(ask);
  if (!local) return nullptr;
  return std::make_unique<SmbFileSystem>(std::move(local), client_.ForWorker(std::move(ask)));
}

std::optional<SmbPath> SmbFileSystem::Route(const std::string& path, bool keepRecent) {
  if (!keepRecent) recent_.reset();
  const auto server = client_.ServerOf(path);
  if (!server) return std::nullopt;
  auto split = SplitSmbPath(path);
  if (!split) return SmbPath{};  // ours, but no path: every call on it fails
  split->server = *server;
  return split;
}

bool SmbFileSystem::Local(bool ok) {
  lastWasSmb_ = false;
  return ok;
}

bool SmbFileSystem::Fail(const SmbPath& path, int error) {
  lastWasSmb_ = true;
  recent_.reset();
  client_.Connection().Fail(path.server, error);
  lastError_ = client_.Connection().LastError();
  return false;
}

bool SmbFileSystem::Reach(const SmbPath& path) {
  lastWasSmb_ = true;
  if (path.server.empty()) {
    lastError_ = std::system_category().message(ENOENT);
    return false;
  }
  if (client_.Connection().Prepare(path.server, path.share)) return true;
  lastError_ = client_.Connection().LastError();
  return false;
}

std::optional<std::string> SmbFileSystem::LocalPath(const std::string& path) const {
  if (!IsNetworkPath(path)) return path;
  if (const auto* posix = dynamic_cast<const PosixFileSystem*>(&local_)) {
    return MapNetworkPath(posix->NetworkRoot(), path);
  }
  return std::nullopt;
}

bool SmbFileSystem::StatSmb(const SmbPath& path, struct stat* st) {
  if (!Reach(path)) return false;
  if (path.share.empty() || path.rest.empty()) {
    *st = {};
    st->st_mode = S_IFDIR | 0755;
    return true;
  }
  if (client_.Connection().Stat(client_.Connection().Url(path), st) == 0) return true;
  return Fail(path, errno);
}

bool SmbFileSystem::StatRecent(const SmbPath& path, struct stat* st) {
  if (path.share.empty() || path.rest.empty()) return StatSmb(path, st);
  if (!Reach(path)) return false;
  SmbConnection& smb = client_.Connection();
  const std::string url = smb.Url(path);
  const auto now = std::chrono::steady_clock::now();
  if (!recent_ || recent_->url != url || now - recent_->at > kRecentFor) {
    RecentStat r;
    r.url = url;
    r.at = now;
    errno = 0;
    if (smb.Stat(url, &r.st) != 0) {
      r.error = errno != 0 ? errno : EIO;
      // Only "nothing there" is an answer to keep; anything else is the failure of this call.
      if (r.error != ENOENT) {
        Fail(path, r.error);
        errno = r.error;
        return false;
      }
    }
    recent_ = std::move(r);
  }
  if (recent_->error != 0) {
    errno = recent_->error;
    client_.Connection().Fail(path.server, errno);
    lastError_ = client_.Connection().LastError();
    return false;
  }
  *st = recent_->st;
  return true;
}

bool SmbFileSystem::Exists(const std::string& path) {
  const auto p = Route(path, true);
  if (!p) return Local(local_.Exists(path));
  struct stat st;
  return StatRecent(*p, &st);
}

bool SmbFileSystem::IsFolder(const std::string& path) {
  const auto p = Route(path, true);
  if (!p) return Local(local_.IsFolder(path));
  struct stat st;
  return StatRecent(*p, &st) && S_ISDIR(st.st_mode);
}

std::vector<FindEntry> SmbFileSystem::Find(const std::string& pattern) {
  const auto p = Route(pattern);
  if (!p) {
    lastWasSmb_ = false;
    return local_.Find(pattern);
  }
  lastError_.clear();
  std::vector<FindEntry> found;
  const std::string last = LastOf(*p);
  if (p->share.empty() || !HasWildcard(last)) {
    struct stat st;
    if (p->share.empty() || HasWildcard(p->share)) {
      Reach(SmbPath{});  // a server's shares are no files
    } else if (StatSmb(*p, &st)) {
      found.push_back(EntryFromStat(last, st));
    }
    return found;
  }
  const SmbPath folder = ParentOf(*p);
  if (folder.share.empty()) {
    Reach(SmbPath{});
    return found;
  }
  if (!Reach(folder)) return found;
  SmbConnection& smb = client_.Connection();
  SMBCFILE* dir = smb.OpenDir(smb.Url(folder));
  if (!dir) {
    Fail(folder, errno);
    return found;
  }
  while (const libsmb_file_info* info = smb.ReadDirPlus(dir)) {
    if (!info->name) continue;
    const std::string name = info->name;
    if (name == "." || name == ".." || !MatchesSearchPattern(last, name)) continue;
    FindEntry e;
    e.name = name;
    e.isFolder = (info->attrs & kDosFolder) != 0;
    e.size = e.isFolder ? 0 : info->size;
    e.lastWrite = FileTimeOf(info->mtime_ts);
    found.push_back(std::move(e));
  }
  smb.CloseDir(dir);
  return found;
}

bool SmbFileSystem::CreateFolders(const std::string& path) {
  const auto p = Route(path);
  if (!p) return Local(local_.CreateFolders(path));
  lastError_.clear();
  // The server and the share must exist: creating folders cannot make them.
  if (!Reach(*p)) return false;
  SmbConnection& smb = client_.Connection();
  SmbPath partial = *p;
  partial.rest.clear();
  std::size_t start = 0;
  while (start < p->rest.size()) {
    std::size_t end = p->rest.find('/', start);
    if (end == std::string::npos) end = p->rest.size();
    partial.rest = p->rest.substr(0, end);
    if (smb.Mkdir(smb.Url(partial)) != 0 && errno != EEXIST) {
      const int error = errno;
      struct stat st;
      // Some servers answer "denied" for a folder that is already there.
      if (!(smb.Stat(smb.Url(partial), &st) == 0 && S_ISDIR(st.st_mode)))
        return Fail(partial, error);
    }
    start = end + 1;
  }
  struct stat st;
  if (!StatRecent(*p, &st)) return false;
  if (!S_ISDIR(st.st_mode)) return Fail(*p, ENOTDIR);
  return true;
}

bool SmbFileSystem::CopyFile(const std::string& source, const std::string& target,
                             bool failIfExists) {
  return CopyFileWithProgress(source, target, failIfExists, nullptr).ok;
}

CopyResult SmbFileSystem::CopyFailure(const SmbPath* side, int error) {
  if (side) {
    Fail(*side, error);
  } else {
    lastError_ = std::system_category().message(error != 0 ? error : EIO);
  }
  CopyResult result;
  result.error = lastError_;
  return result;
}

CopyResult SmbFileSystem::CopyFileWithProgress(const std::string& source, const std::string& target,
                                               bool failIfExists, const CopyProgress& progress) {
  const auto from = Route(source, true);
  const auto to = Route(target, true);
  // What the calls just before found at the target; whatever this copy does, it is old after.
  const std::optional<RecentStat> known = std::exchange(recent_, std::nullopt);
  if (!from && !to) {
    lastWasSmb_ = false;
    return local_.CopyFileWithProgress(source, target, failIfExists, progress);
  }
  lastWasSmb_ = true;
  lastError_.clear();
  SmbConnection& smb = client_.Connection();
  CopyResult result;

  std::optional<std::string> fromLocal, toLocal;
  if (from) {
    if (!Reach(*from)) {
      result.error = lastError_;
      return result;
    }
  } else if (!(fromLocal = LocalPath(source))) {
    return CopyFailure(nullptr, ENOENT);
  }
  if (to) {
    if (!Reach(*to)) {
      result.error = lastError_;
      return result;
    }
  } else if (!(toLocal = LocalPath(target))) {
    return CopyFailure(nullptr, ENOENT);
  }
  if ((from && from->rest.empty()) || (to && to->rest.empty())) {
    return CopyFailure(nullptr, EISDIR);
  }

  CopyEnd in(smb);
  struct stat srcStat;
  if (from) {
    if (!in.OpenSmb(smb.Url(*from), O_RDONLY, 0)) return CopyFailure(&*from, errno);
    if (!in.Stat(&srcStat)) return CopyFailure(&*from, errno);
  } else {
    // Non-blocking, so that a named pipe is refused instead of hanging the window.
    if (!in.OpenLocal(*fromLocal, O_RDONLY | O_NONBLOCK, 0) || !in.Stat(&srcStat)) {
      return CopyFailure(nullptr, errno);
    }
  }
  if (!S_ISREG(srcStat.st_mode)) {
    return CopyFailure(nullptr, S_ISDIR(srcStat.st_mode) ? EISDIR : EINVAL);
  }
  // Into a share from here: our own requests, where they serve it.
  if (!from && to) {
    if (SmbWire* wire = WireFor(*to)) {
      return CopyByWire(*wire, in.Fd(), srcStat, *to, failIfExists, progress, known);
    }
  }

  // What is at the target decides whether it may be replaced.
  struct stat dstStat;
  bool exists = false;
  if (to) {
    // Asked once for the caller's questions about this target and this check.
    recent_ = known;
    exists = StatRecent(*to, &dstStat);
    const int error = errno;
    recent_.reset();
    if (!exists && error != ENOENT) return CopyFailure(&*to, error);
  } else {
    exists = stat(toLocal->c_str(), &dstStat) == 0;
  }
  if (exists) {
    // A folder is said to be one, whether or not the target had to be new.
    if (S_ISDIR(dstStat.st_mode)) return CopyFailure(nullptr, EISDIR);
    if (failIfExists) return CopyFailure(nullptr, EEXIST);
    if (!S_ISREG(dstStat.st_mode)) return CopyFailure(nullptr, EINVAL);
    // A read-only file is not replaced: on a server that is the DOS read-only attribute, which
    // the library's stat shows as a missing write bit. (Asking for the attribute itself would
    // open a second connection, to the standard ports whatever SmbPort says.)
    if ((dstStat.st_mode & 0222) == 0) return CopyFailure(nullptr, EACCES);
  }

  const std::string tempName = NewTemporaryFileName();
  std::optional<SmbPath> tempSmb;
  std::string tempLocal;
  CopyEnd out(smb);
  if (to) {
    tempSmb = Beside(*to, tempName);
    if (!out.OpenSmb(smb.Url(*tempSmb), O_WRONLY | O_CREAT | O_EXCL, 0666)) {
      return CopyFailure(&*to, errno);
    }
  } else {
    const auto slash = toLocal->find_last_of('/');
    tempLocal =
        (slash == std::string::npos ? std::string() : toLocal->substr(0, slash + 1)) + tempName;
    if (!out.OpenLocal(tempLocal, O_WRONLY | O_CREAT | O_EXCL, 0666))
      return CopyFailure(nullptr, errno);
  }
  const auto removeTemp = [&] {
    out.Close();
    if (tempSmb) {
      smb.Unlink(smb.Url(*tempSmb));
    } else {
      unlink(tempLocal.c_str());
    }
  };

  const auto size = static_cast<std::uint64_t>(srcStat.st_size);
  std::uint64_t done = 0;
  const std::unique_ptr<char[]> buffer(new char[kChunk]);
  for (;;) {
    const ssize_t n = in.Read(buffer.get(), kChunk);
    if (n == 0) break;
    if (n < 0) {
      const int error = errno;
      removeTemp();
      return CopyFailure(from ? &*from : nullptr, error);
    }
    if (!out.WriteAll(buffer.get(), static_cast<std::size_t>(n))) {
      const int error = errno;
      removeTemp();
      return CopyFailure(to ? &*to : nullptr, error);
    }
    done += static_cast<std::uint64_t>(n);
    if (progress && !progress(done, std::max(size, done))) {
      removeTemp();
      result.cancelled = true;
      return result;
    }
  }
  // A source that was written to meanwhile gives a copy that is neither the old file nor the
  // new one: it never takes the target's name.
  // (On a server, by its path once it is closed: while a file is open the server gives the
  // time it had when it was opened.)
  struct stat after;
  if (from) in.Close();
  if (!(from ? smb.Stat(smb.Url(*from), &after) == 0 : in.Stat(&after))) {
    const int error = errno;
    removeTemp();
    return CopyFailure(from ? &*from : nullptr, error);
  }
  if (done != size || static_cast<std::uint64_t>(after.st_size) != size ||
      after.st_mtim.tv_sec != srcStat.st_mtim.tv_sec ||
      after.st_mtim.tv_nsec != srcStat.st_mtim.tv_nsec) {
    removeTemp();
    result.sourceChanged = true;
    return result;
  }
  // The time is set last, after every write, and before the file takes its name.
  int error = 0;
  bool ok = true;
  if (to) {
    ok = out.Close();
    if (!ok) error = errno;
    const struct timeval times[2] = {{srcStat.st_atim.tv_sec, srcStat.st_atim.tv_nsec / 1000},
                                     {srcStat.st_mtim.tv_sec, srcStat.st_mtim.tv_nsec / 1000}};
    if (ok && smb.Utimes(smb.Url(*tempSmb), times) != 0) {
      ok = false;
      error = errno;
    }
  } else {
    const struct timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
    ok = futimens(out.Fd(), times) == 0;
    if (!ok) error = errno;
    if (!out.Close() && ok) {
      ok = false;
      error = errno;
    }
  }
  if (ok) {
    if (to) {
      // The library replaces whatever is at the target when renaming; with failIfExists the
      // check just before is as close as SMB gets.
      struct stat st;
      if (failIfExists && smb.Stat(smb.Url(*to), &st) == 0) {
        ok = false;
        error = EEXIST;
      } else if (smb.Rename(smb.Url(*tempSmb), smb.Url(*to)) != 0) {
        ok = false;
        error = errno;
      }
    } else if (failIfExists) {
      ok =
          renameat2(AT_FDCWD, tempLocal.c_str(), AT_FDCWD, toLocal->c_str(), RENAME_NOREPLACE) == 0;
      if (!ok) error = errno;
    } else {
      ok = rename(tempLocal.c_str(), toLocal->c_str()) == 0;
      if (!ok) error = errno;
    }
  }
  if (!ok) {
    removeTemp();
    return CopyFailure(to && error != EEXIST ? &*to : nullptr, error);
  }
  result.ok = true;
  result.bytes = done;
  return result;
}

namespace {

// A time as the server keeps it: 100 ns steps since 1601.
std::uint64_t ServerTime(const timespec& t) {
  constexpr std::int64_t kFrom1601 = 11644473600;
  return static_cast<std::uint64_t>((t.tv_sec + kFrom1601) * 10000000 + t.tv_nsec / 100);
}

}  // namespace

SmbWire* SmbFileSystem::WireFor(const SmbPath& path) {
  SmbConnection& smb = client_.Connection();
  const std::string key = SmbConnection::Key(path.server) + "\\" + SmbConnection::Key(path.share);
  const auto it = wires_.find(key);
  if (it != wires_.end()) {
    if (!it->second || it->second->Usable()) return it->second.get();
    wires_.erase(it);
  }
  // A Kerberos logon is the library's to make.
  const auto logon = smb.LogonOf(path.server);
  if (!logon) return nullptr;
  int error = 0;
  auto wire = SmbWire::Open(path.server, smb.Options().port, smb.Options().timeoutSeconds,
                            {logon->user, logon->domain, logon->password}, path.share, &error);
  // A server that does not answer now is tried again with the next file; one that will not
  // take our requests or our logon is left to the library's calls.
  if (!wire && error != EPROTO && error != EACCES) return nullptr;
  return (wires_[key] = std::move(wire)).get();
}

CopyResult SmbFileSystem::CopyByWire(SmbWire& wire, int source, const struct stat& srcStat,
                                     const SmbPath& to, bool failIfExists,
                                     const CopyProgress& progress,
                                     const std::optional<RecentStat>& known) {
  CopyResult result;
  // A file that must be new needs no look: the rename refuses to replace anything. Otherwise
  // a folder or a read-only file at the target is not replaced.
  if (!failIfExists) {
    const std::string url = client_.Connection().Url(to);
    bool exists = false, folder = false, readOnly = false;
    if (known && known->url == url && std::chrono::steady_clock::now() - known->at <= kRecentFor) {
      exists = known->error == 0;
      folder = exists && S_ISDIR(known->st.st_mode);
      readOnly = exists && (known->st.st_mode & 0222) == 0;
    } else {
      std::uint32_t attributes = 0;
      const int error = wire.Attributes(to.rest, &attributes);
      if (error != 0 && error != ENOENT) return CopyFailure(&to, error);
      exists = error == 0;
      folder = exists && (attributes & SmbWire::kDirectory) != 0;
      readOnly = exists && (attributes & SmbWire::kReadOnly) != 0;
    }
    if (folder) return CopyFailure(nullptr, EISDIR);
    if (readOnly) return CopyFailure(nullptr, EACCES);
  }

  const SmbPath tempPath = Beside(to, NewTemporaryFileName());
  const std::string& temp = tempPath.rest;
  const SmbWire::Times times{ServerTime(srcStat.st_atim), ServerTime(srcStat.st_mtim)};
  const auto size = static_cast<std::uint64_t>(srcStat.st_size);
  const std::size_t part = wire.MaxWrite();
  const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[part]);
  // Reads the next part of up to size bytes; -1 with errno on failure.
  const auto readPart = [&](std::size_t size) -> ssize_t {
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = read(source, buffer.get() + got, size - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return -1;
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
  };
  // A source that was written to meanwhile gives a copy that is neither the old file nor the
  // new one: it never takes the target's name.
  const auto sourceChanged = [&](std::uint64_t done) {
    struct stat after;
    return done != size || fstat(source, &after) != 0 ||
           static_cast<std::uint64_t>(after.st_size) != size ||
           after.st_mtim.tv_sec != srcStat.st_mtim.tv_sec ||
           after.st_mtim.tv_nsec != srcStat.st_mtim.tv_nsec;
  };
  // A failure of the server's: a temporary file the lost connection left behind is removed
  // over a new one.
  const auto failed = [&](int error) {
    if (!wire.Usable()) client_.Connection().Unlink(client_.Connection().Url(tempPath));
    return CopyFailure(&to, error);
  };
  // Why the target did not take the file's name: a folder is said to be one, whether or not
  // the target had to be new.
  const auto refused = [&](int error) {
    if (!wire.Usable()) return failed(error);
    std::uint32_t attributes = 0;
    if (error == EEXIST && wire.Attributes(to.rest, &attributes) == 0 &&
        (attributes & SmbWire::kDirectory) != 0) {
      error = EISDIR;
    }
    return CopyFailure(error != EEXIST && error != EISDIR ? &to : nullptr, error);
  };

  ssize_t n = readPart(part);
  if (n < 0) return CopyFailure(nullptr, errno);
  std::uint64_t done = static_cast<std::uint64_t>(n);
  if (static_cast<std::size_t>(n) < part) {
    // The whole file in one round trip.
    if (sourceChanged(done)) {
      result.sourceChanged = true;
      return result;
    }
    const int error = wire.PutWhole(temp, to.rest, !failIfExists, buffer.get(),
                                    static_cast<std::size_t>(n), times);
    if (error != 0) return refused(error);
    if (progress) progress(done, done);
  } else {
    SmbWire::FileId id;
    int error = wire.Create(temp, buffer.get(), static_cast<std::size_t>(n), &id);
    if (error != 0) return failed(error);
    for (;;) {
      if (progress && !progress(done, std::max(size, done))) {
        wire.Discard(id, temp);
        result.cancelled = true;
        return result;
      }
      // After the first part, smaller writes a few at a time: the link stays as busy, and a
      // stop waits for less.
      n = readPart(std::min(part, kStreamPart));
      if (n < 0) {
        const int readError = errno;
        wire.Discard(id, temp);
        return CopyFailure(nullptr, readError);
      }
      if (n == 0) break;
      error = wire.WriteAhead(id, done, buffer.get(), static_cast<std::size_t>(n));
      if (error != 0) {
        wire.Discard(id, temp);
        return failed(error);
      }
      done += static_cast<std::uint64_t>(n);
    }
    if (sourceChanged(done)) {
      wire.Discard(id, temp);
      result.sourceChanged = true;
      return result;
    }
    error = wire.Finish(id, temp, to.rest, !failIfExists, times);
    if (error != 0) return refused(error);
  }
  result.ok = true;
  result.bytes = done;
  return result;
}

bool SmbFileSystem::DeleteFile(const std::string& path) {
  const auto p = Route(path);
  if (!p) return Local(local_.DeleteFile(path));
  if (!Reach(*p)) return false;
  if (p->rest.empty()) return Fail(*p, EISDIR);
  SmbConnection& smb = client_.Connection();
  return smb.Unlink(smb.Url(*p)) == 0 || Fail(*p, errno);
}

std::optional<std::string> SmbFileSystem::ReadFile(const std::string& path) {
  const auto p = Route(path);
  if (!p) {
    lastWasSmb_ = false;
    return local_.ReadFile(path);
  }
  if (!Reach(*p) || p->rest.empty()) return std::nullopt;
  SmbConnection& smb = client_.Connection();
  CopyEnd in(smb);
  struct stat st;
  if (!in.OpenSmb(smb.Url(*p), O_RDONLY, 0) || !in.Stat(&st) || !S_ISREG(st.st_mode)) {
    Fail(*p, errno);
    return std::nullopt;
  }
  std::string content;
  const std::unique_ptr<char[]> buffer(new char[kChunk]);
  for (;;) {
    const ssize_t n = in.Read(buffer.get(), kChunk);
    if (n == 0) break;
    if (n < 0) {
      Fail(*p, errno);
      return std::nullopt;
    }
    content.append(buffer.get(), static_cast<std::size_t>(n));
  }
  return content;
}

bool SmbFileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  const auto p = Route(path);
  if (!p) return Local(local_.ReplaceFile(path, content));
  lastError_.clear();
  if (!Reach(*p)) return false;
  if (p->rest.empty()) return Fail(*p, EISDIR);
  SmbConnection& smb = client_.Connection();
  struct stat old;
  errno = 0;
  if (smb.Stat(smb.Url(*p), &old) == 0) {
    if (!S_ISREG(old.st_mode)) return Fail(*p, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    if ((old.st_mode & 0222) == 0) return Fail(*p, EACCES);
  } else if (errno != ENOENT) {
    return Fail(*p, errno);
  }
  const SmbPath temp = Beside(*p, NewTemporaryFileName());
  CopyEnd out(smb);
  if (!out.OpenSmb(smb.Url(temp), O_WRONLY | O_CREAT | O_EXCL, 0666)) return Fail(*p, errno);
  bool ok = out.WriteAll(content.data(), content.size());
  ok = out.Close() && ok;
  ok = ok && smb.Rename(smb.Url(temp), smb.Url(*p)) == 0;
  if (!ok) {
    const int error = errno;
    smb.Unlink(smb.Url(temp));
    return Fail(*p, error);
  }
  return true;
}

std::unique_ptr<AppendFile> SmbFileSystem::OpenForAppend(const std::string& path) {
  // A local file is held open by the local file system; a file on a share is opened per line.
  if (!Route(path)) {
    auto file = local_.OpenForAppend(path);
    Local(file != nullptr);
    return file;
  }
  return FileSystem::OpenForAppend(path);
}

bool SmbFileSystem::AppendToFile(const std::string& path, const std::string& content) {
  const auto p = Route(path);
  if (!p) return Local(local_.AppendToFile(path, content));
  lastError_.clear();
  if (!Reach(*p)) return false;
  if (p->rest.empty()) return Fail(*p, EISDIR);
  SmbConnection& smb = client_.Connection();
  CopyEnd out(smb);
  struct stat st;
  // The library's O_APPEND is not to be relied on: the end is sought once opened (a log
  // file has one writer).
  if (!out.OpenSmb(smb.Url(*p), O_RDWR | O_CREAT, 0666) || !out.Stat(&st)) {
    return Fail(*p, errno);
  }
  if (!S_ISREG(st.st_mode)) return Fail(*p, EINVAL);
  if (!out.SeekTo(st.st_size)) return Fail(*p, errno);
  bool ok = out.WriteAll(content.data(), content.size());
  const int error = errno;
  ok = out.Close() && ok;
  return ok || Fail(*p, error != 0 ? error : errno);
}

bool SmbFileSystem::RenameFile(const std::string& from, const std::string& to) {
  const auto a = Route(from);
  const auto b = Route(to);
  if (!a && !b) return Local(local_.RenameFile(from, to));
  lastError_.clear();
  if (!a || !b || a->server != b->server ||
      SmbConnection::Key(a->share) != SmbConnection::Key(b->share)) {
    lastWasSmb_ = true;
    lastError_ = std::system_category().message(EXDEV);
    return false;
  }
  if (!Reach(*a)) return false;
  if (a->rest.empty() || b->rest.empty()) return Fail(*a, EISDIR);
  SmbConnection& smb = client_.Connection();
  // The library replaces an existing target; a rename never does.
  struct stat st;
  if (smb.Stat(smb.Url(*b), &st) == 0) return Fail(*b, EEXIST);
  return smb.Rename(smb.Url(*a), smb.Url(*b)) == 0 || Fail(*a, errno);
}

std::string SmbFileSystem::LastError() const {
  return lastWasSmb_ ? lastError_ : local_.LastError();
}

std::optional<FileIdentity> SmbFileSystem::Identity(const std::string& path) {
  const auto p = Route(path, true);
  if (!p) return local_.Identity(path);
  if (p->share.empty() || !Reach(*p)) return std::nullopt;
  struct stat st;
  if (!StatRecent(*p, &st)) return std::nullopt;
  FileIdentity id;
  // Server and share as they are compared; the library's device number is no help, as it
  // tells the spellings of a share's name apart.
  id.volume = "\\\\" + SmbConnection::Key(p->server) + "\\" + SmbConnection::Key(p->share);
  id.inode = static_cast<std::uint64_t>(st.st_ino);
  if (id.inode == 0) {
    // No file id from this server: the path stands in for it, links on the server unseen.
    id.path = id.volume;
    if (!p->rest.empty()) id.path += "\\" + p->rest;
    std::replace(id.path.begin(), id.path.end(), '/', '\\');
  }
  return id;
}

bool SmbFileSystem::LeadsOutsideNetwork(const std::string& path) {
  if (Route(path)) return false;
  return local_.LeadsOutsideNetwork(path);
}

void SmbFileSystem::ForgetFailures(const std::string& path) {
  if (path.empty()) {
    client_.ForgetFailures();
    local_.ForgetFailures(path);
  } else if (const auto server = client_.ServerOf(path)) {
    client_.ForgetFailures(*server);
  } else {
    local_.ForgetFailures(path);
  }
}

void SmbFileSystem::RemoveStaleTemporaryFiles(const std::string& folder) {
  const auto p = Route(folder);
  if (!p) return local_.RemoveStaleTemporaryFiles(folder);
  if (p->share.empty() || !Reach(*p)) return;
  SmbConnection& smb = client_.Connection();
  SMBCFILE* dir = smb.OpenDir(smb.Url(*p));
  if (!dir) return;
  std::vector<std::string> stale;
  while (const smbc_dirent* entry = smb.ReadDir(dir)) {
    if (entry->smbc_type != SMBC_FILE) continue;
    const auto writer = TemporaryFileWriter(entry->name);
    if (!writer || *writer == getpid()) continue;
    // Only when the writer is gone; a live process, whoever it is now, keeps its file.
    if (kill(static_cast<pid_t>(*writer), 0) != 0 && errno == ESRCH) stale.push_back(entry->name);
  }
  smb.CloseDir(dir);
  for (const auto& name : stale) {
    SmbPath file = *p;
    file.rest = file.rest.empty() ? name : file.rest + "/" + name;
    smb.Unlink(smb.Url(file));
  }
}

}  // namespace tolvane
