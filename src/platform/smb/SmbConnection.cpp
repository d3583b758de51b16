#include "platform/smb/SmbConnection.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <vector>

#include "platform/NetworkPaths.h"
#include "platform/smb/SmbWire.h"

namespace tolvane {
namespace {

std::string ErrorText(int error) { return std::system_category().message(error); }

constexpr char kWrongLogon[] = "ユーザー名かパスワードが違います";

std::string CannotReach(const std::string& server, const std::string& why) {
  return server + " に接続できません: " + why;
}

std::string CannotLogOn(const std::string& server, const std::string& why) {
  return server + " にログオンできません: " + why;
}

// Errors that say the connection to the server is gone, not that one file was refused.
bool IsConnectionError(int error) {
  switch (error) {
    case ETIMEDOUT:
    case ECONNREFUSED:
    case ENETRESET:  // the process that served us ended (the library's word for it)
    case ESHUTDOWN:
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
    case ENOTCONN:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETUNREACH:
    case ENETDOWN:
      return true;
    default:
      return false;
  }
}

bool IsLogonError(int error) { return error == EACCES || error == EPERM; }

std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  const auto end = s.find_last_not_of(" \t\r");
  return s.substr(begin, end - begin + 1);
}

// Whether this user seems to hold Kerberos tickets: only then is a logon by ticket worth a
// try (a failed attempt costs a round trip and counts against the account on some servers).
bool HasTicketCache() {
  if (const char* name = std::getenv("KRB5CCNAME"); name && *name) return true;
  struct stat st;
  const std::string file = "/tmp/krb5cc_" + std::to_string(getuid());
  return stat(file.c_str(), &st) == 0;
}

std::string LoginName() {
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_name;
  const char* user = std::getenv("USER");
  return user ? user : "";
}

void CopyField(char* out, int length, const std::string& value) {
  if (length <= 0) return;
  const std::size_t n = std::min(value.size(), static_cast<std::size_t>(length - 1));
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
}

// The library's own messages go nowhere: never to our standard streams (batch mode prints its
// summary there), and never anywhere a password could leak from.
void Quiet(void*, int, const char*) {}

}  // namespace

std::optional<SmbPath> SplitSmbPath(const std::string& path) {
  if (!IsNetworkPath(path)) return std::nullopt;
  std::vector<std::string> parts;
  const std::string rest = path.substr(2);
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find_first_of("\\/", start);
    if (end == std::string::npos) end = rest.size();
    const std::string component = rest.substr(start, end - start);
    if (component.empty()) {
      if (!(end == rest.size() && !parts.empty())) return std::nullopt;
    } else if (component == "." || component == "..") {
      return std::nullopt;
    } else {
      parts.push_back(component);
    }
    start = end + 1;
  }
  if (parts.empty()) return std::nullopt;
  SmbPath result;
  result.server = parts[0];
  if (parts.size() > 1) result.share = parts[1];
  for (std::size_t i = 2; i < parts.size(); ++i) {
    if (i > 2) result.rest += '/';
    result.rest += parts[i];
  }
  return result;
}

std::string SmbUrlEscape(const std::string& component) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : component) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += ch;
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

namespace {

// Our standard streams pointed at /dev/null for as long as it lives: the library reads the
// user's own smb.conf when it starts and complains about what it does not know on them before
// any of its settings can be changed.
class SilencedStreams {
 public:
  SilencedStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    for (int i = 0; i < 2; ++i) {
      saved_[i] = fcntl(i + 1, F_DUPFD_CLOEXEC, 3);
      if (saved_[i] >= 0) dup2(null, i + 1);
    }
    close(null);
  }
  ~SilencedStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    for (int i = 0; i < 2; ++i) {
      if (saved_[i] < 0) continue;
      dup2(saved_[i], i + 1);
      close(saved_[i]);
    }
  }
  SilencedStreams(const SilencedStreams&) = delete;
  SilencedStreams& operator=(const SilencedStreams&) = delete;

 private:
  int saved_[2] = {-1, -1};
};

// The library's calls from several threads, each on a context of its own. A library that keeps
// its per-call memory per thread once told that threads are used (smbc_thread_posix, which not
// every build of it has) lets them run at once. Any other keeps that memory once for the whole
// process, so two threads must never be inside one copy of it at once: each worker then gets a
// copy of the library of its own, loaded into a namespace of its own (dlmopen), whose globals
// are its own, and the threads of different copies run at once. The window thread's connection
// uses the library linked in; a worker that gets no copy (they ran out, or could not be loaded)
// shares it, and its calls take turns with the window thread's under the copy's lock.
std::recursive_mutex& ProcessMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

bool LibraryKeepsThreadsApart() {
  static const bool apart = [] {
    using Init = void (*)();
    const auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "smbc_thread_posix"));
    if (init) init();
    return init != nullptr;
  }();
  return apart;
}

#define TOLVANE_SMBC_FUNCTIONS(X)                                                              \
  X(smbc_new_context) X(smbc_free_context) X(smbc_init_context) X(smbc_setDebug)               \
  X(smbc_setLogCallback) X(smbc_setOptionUserData) X(smbc_getOptionUserData)                   \
  X(smbc_setFunctionAuthDataWithContext) X(smbc_setOptionNoAutoAnonymousLogin)                 \
  X(smbc_setOptionFallbackAfterKerberos) X(smbc_setOptionUseKerberos) X(smbc_setOptionUseCCache) \
  X(smbc_setOptionProtocols) X(smbc_setPort) X(smbc_setTimeout) X(smbc_getFunctionStat)        \
  X(smbc_getFunctionOpendir) X(smbc_getFunctionReaddir) X(smbc_getFunctionReaddirPlus)         \
  X(smbc_getFunctionClosedir) X(smbc_getFunctionOpen) X(smbc_getFunctionRead)                  \
  X(smbc_getFunctionWrite) X(smbc_getFunctionClose) X(smbc_getFunctionLseek)                   \
  X(smbc_getFunctionFstat) X(smbc_getFunctionUnlink) X(smbc_getFunctionRename)                 \
  X(smbc_getFunctionMkdir) X(smbc_getFunctionUtimes)

}  // namespace

// One copy of the library: its entry points, its lock, and for a copy in a namespace of its
// own the per-thread start of that namespace's C library, which threads it did not start need
// before they call into it (its character tables are per thread).
struct SmbLibrary {
#define TOLVANE_SMBC_POINTER(name) decltype(&::name) name = &::name;
  TOLVANE_SMBC_FUNCTIONS(TOLVANE_SMBC_POINTER)
#undef TOLVANE_SMBC_POINTER
  void (*startThread)() = nullptr;
  // Where that C library keeps the calling thread's errno, which the library's calls set.
  int* (*errnoOf)() = nullptr;
  std::recursive_mutex mutex;
  bool inUse = false;  // a copy: by a worker's connection (under CopiesMutex)
};

namespace {

SmbLibrary& LinkedLibrary() {
  static SmbLibrary library;
  return library;
}

// The copies loaded so far; they stay for the life of the process.
constexpr std::size_t kMaxCopies = 12;  // the C library allows 16 namespaces in all
std::mutex& CopiesMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<std::unique_ptr<SmbLibrary>>& Copies() {
  static std::vector<std::unique_ptr<SmbLibrary>> copies;
  return copies;
}

std::unique_ptr<SmbLibrary> LoadCopy() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&smbc_new_context), &info) || !info.dli_fname) return nullptr;
  void* handle = dlmopen(LM_ID_NEWLM, info.dli_fname, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  auto library = std::make_unique<SmbLibrary>();
  bool complete = true;
#define TOLVANE_SMBC_RESOLVE(name)                                                        \
  library->name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));               \
  complete = complete && library->name;
  TOLVANE_SMBC_FUNCTIONS(TOLVANE_SMBC_RESOLVE)
#undef TOLVANE_SMBC_RESOLVE
  Lmid_t space = 0;
  void* libc = dlinfo(handle, RTLD_DI_LMID, &space) == 0
                   ? dlmopen(space, "libc.so.6", RTLD_NOW | RTLD_NOLOAD)
                   : nullptr;
  library->startThread = libc ? reinterpret_cast<void (*)()>(dlsym(libc, "__ctype_init")) : nullptr;
  library->errnoOf = libc ? reinterpret_cast<int* (*)()>(dlsym(libc, "__errno_location")) : nullptr;
  // Without these the copy cannot be called from our threads; it stays loaded.
  if (!complete || !library->startThread || !library->errnoOf) return nullptr;
  return library;
}

// A copy of the library for one worker's connection, or null.
SmbLibrary* TakeCopy() {
  // The sanitizers know one C library; their builds share the linked copy.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr bool kSanitized = true;
#else
  constexpr bool kSanitized = false;
#endif
  if (kSanitized || LibraryKeepsThreadsApart()) return nullptr;
  std::lock_guard lock(CopiesMutex());
  for (auto& copy : Copies()) {
    if (!copy->inUse) {
      copy->inUse = true;
      return copy.get();
    }
  }
  static bool loadFailed = false;
  if (loadFailed || Copies().size() >= kMaxCopies) return nullptr;
  std::unique_ptr<SmbLibrary> copy = LoadCopy();
  if (!copy) {
    loadFailed = true;
    return nullptr;
  }
  copy->inUse = true;
  Copies().push_back(std::move(copy));
  return Copies().back().get();
}

void GiveBack(SmbLibrary* library) {
  if (library == &LinkedLibrary()) return;
  std::lock_guard lock(CopiesMutex());
  library->inUse = false;
}

// A call into a copy of the library: alone in it (unless the library keeps threads apart
// itself; making and freeing a context is always alone in the whole process, which changes
// the process's standard streams), with the copy's thread start made, and the errno the call
// left in the copy's C library given to ours when it ends.
class LibraryTurn {
 public:
  explicit LibraryTurn(SmbLibrary& library, bool always = false)
      : library_(library),
        lock_(library.mutex, std::defer_lock),
        process_(ProcessMutex(), std::defer_lock) {
    if (always) process_.lock();
    if (always || !LibraryKeepsThreadsApart()) lock_.lock();
    if (library.startThread) library.startThread();
    if (library_.errnoOf) *library_.errnoOf() = 0;
  }
  ~LibraryTurn() {
    if (library_.errnoOf) errno = *library_.errnoOf();
  }
  LibraryTurn(const LibraryTurn&) = delete;
  LibraryTurn& operator=(const LibraryTurn&) = delete;

 private:
  SmbLibrary& library_;
  std::unique_lock<std::recursive_mutex> lock_;
  std::unique_lock<std::recursive_mutex> process_;
};

}  // namespace

struct SmbConnection::Shared {
  std::mutex mutex;
  std::condition_variable turnOver;
  // Servers a connection is reaching or finding a logon for.
  std::set<std::string> busy;
  // Per server, the logons that worked, in the order they were found.
  std::map<std::string, std::vector<Candidate>> known;
  // Servers whose login dialog was cancelled: not asked again until the failure is forgotten.
  std::set<std::string> cancelled;
  std::map<std::string, Failure> failures;
};

class SmbConnection::Turn {
 public:
  // A worker waits while another connection has the server's turn; the window thread's
  // connection never does (a worker may be waiting for the window thread to ask for it).
  Turn(Shared& shared, std::string key, bool wait) : shared_(shared), key_(std::move(key)) {
    std::unique_lock lock(shared_.mutex);
    if (wait) {
      while (shared_.busy.count(key_)) {
        waited_ = true;
        shared_.turnOver.wait(lock);
      }
    }
    mine_ = shared_.busy.insert(key_).second;
  }
  ~Turn() {
    if (!mine_) return;
    {
      const std::lock_guard lock(shared_.mutex);
      shared_.busy.erase(key_);
    }
    shared_.turnOver.notify_all();
  }
  Turn(const Turn&) = delete;
  Turn& operator=(const Turn&) = delete;
  // Another connection had the turn first: what it found out counts.
  bool Waited() const { return waited_; }

 private:
  Shared& shared_;
  std::string key_;
  bool mine_ = false;
  bool waited_ = false;
};

SmbConnection::SmbConnection(SmbOptions options)
    : SmbConnection(std::move(options), std::make_shared<Shared>(), &LinkedLibrary()) {}

SmbConnection::SmbConnection(SmbOptions options, std::shared_ptr<Shared> shared,
                             SmbLibrary* library)
    : options_(std::move(options)), shared_(std::move(shared)), lib_(library) {
  LibraryKeepsThreadsApart();
  const LibraryTurn turn(*lib_, true);
  const SilencedStreams silenced;
  context_ = lib_->smbc_new_context();
  if (!context_) return;
  lib_->smbc_setDebug(context_, 0);
  lib_->smbc_setLogCallback(context_, nullptr, Quiet);
  lib_->smbc_setOptionUserData(context_, this);
  lib_->smbc_setFunctionAuthDataWithContext(context_, Auth);
  // The guest logon is one of ours, tried in its turn: the library must not slip into an
  // anonymous session behind a logon that failed.
  lib_->smbc_setOptionNoAutoAnonymousLogin(context_, true);
  lib_->smbc_setOptionFallbackAfterKerberos(context_, true);
  lib_->smbc_setOptionUseKerberos(context_, false);
  lib_->smbc_setOptionUseCCache(context_, false);
  if (!lib_->smbc_init_context(context_)) {
    lib_->smbc_free_context(context_, 1);
    context_ = nullptr;
    return;
  }
  // SMB1 is neither offered nor accepted.
  lib_->smbc_setOptionProtocols(context_, "SMB2_02", "SMB3");
  SetOptions(options_);
}

SmbConnection::~SmbConnection() {
  if (context_) {
    const LibraryTurn turn(*lib_, true);
    lib_->smbc_free_context(context_, 1);
  }
  GiveBack(lib_);
}

std::unique_ptr<SmbConnection> SmbConnection::ForWorker(WindowCall ask, bool ownLibrary) const {
  SmbLibrary* copy = ownLibrary ? TakeCopy() : nullptr;
  std::unique_ptr<SmbConnection> worker(
      new SmbConnection(options_, shared_, copy ? copy : &LinkedLibrary()));
  worker->prompt_ = ask ? prompt_ : nullptr;
  worker->report_ = report_;
  worker->clock_ = clock_;
  worker->window_ = std::move(ask);
  worker->worker_ = true;
  return worker;
}

void SmbConnection::OnWindow(const std::function<void()>& fn) {
  if (window_) {
    window_(fn);
  } else {
    fn();
  }
}

void SmbConnection::Report(const std::string& line) {
  if (!report_ || (worker_ && !window_)) return;
  OnWindow([&] { report_(line); });
}

void SmbConnection::SetOptions(const SmbOptions& options) {
  if (options.credentialsFile != options_.credentialsFile) {
    // Servers not logged on yet go through the chain again with the new file.
    for (auto& [key, state] : servers_) {
      if (!state.worked) state = Server{};
    }
  }
  options_ = options;
  if (options_.timeoutSeconds < 1) options_.timeoutSeconds = 1;
  if (!context_) return;
  const LibraryTurn turn(*lib_);
  lib_->smbc_setPort(context_, static_cast<uint16_t>(options_.port));
  lib_->smbc_setTimeout(context_, options_.timeoutSeconds * 1000);
}

std::chrono::steady_clock::time_point SmbConnection::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

std::string SmbConnection::Key(const std::string& server) {
  std::string key = server;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

std::string SmbConnection::Url(const std::string& server, const std::string& share,
                               const std::string& rest) const {
  std::string url = "smb://" + SmbUrlEscape(server) + "/";
  if (share.empty()) return url;
  url += SmbUrlEscape(share) + "/";
  std::size_t start = 0;
  while (start < rest.size()) {
    std::size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    url += SmbUrlEscape(rest.substr(start, end - start));
    if (end < rest.size()) url += '/';
    start = end + 1;
  }
  return url;
}

std::string SmbConnection::NoAnswer(const std::string& server) const {
  return server + " がポート " + std::to_string(options_.port) + " で " +
         std::to_string(options_.timeoutSeconds) + " 秒以内に応答しません";
}

bool SmbConnection::Blocked(const std::string& key) {
  const auto now = Now();
  const std::lock_guard lock(shared_->mutex);
  auto& failures = shared_->failures;
  const auto it = failures.find(key);
  if (it == failures.end()) return false;
  if (now - it->second.at < kRetryAfter) {
    lastError_ = it->second.reason;
    return true;
  }
  failures.erase(it);
  return false;
}

bool SmbConnection::Failed(const std::string& key, std::string reason) {
  {
    const auto now = Now();
    const std::lock_guard lock(shared_->mutex);
    shared_->failures[key] = Failure{now, reason};
  }
  Report(reason);
  lastError_ = std::move(reason);
  return false;
}

bool SmbConnection::Cancelled(const std::string& key) {
  const std::lock_guard lock(shared_->mutex);
  return shared_->cancelled.count(key) > 0;
}

namespace {

template <typename C>
bool SameLogon(const C& a, const C& b) {
  return a.user == b.user && a.domain == b.domain && a.password == b.password &&
         a.kerberos == b.kerberos;
}

}  // namespace

std::optional<SmbConnection::Candidate> SmbConnection::NextKnown(const std::string& server,
                                                                 Server& state) {
  const std::lock_guard lock(shared_->mutex);
  const auto it = shared_->known.find(Key(server));
  if (it == shared_->known.end()) return std::nullopt;
  for (const Candidate& c : it->second) {
    const bool tried = std::any_of(state.tried.begin(), state.tried.end(),
                                   [&](const Candidate& t) { return SameLogon(t, c); });
    if (tried) continue;
    state.tried.push_back(c);
    return c;
  }
  return std::nullopt;
}

bool SmbConnection::AddKnown(const std::string& server, const Candidate& candidate) {
  const std::lock_guard lock(shared_->mutex);
  auto& known = shared_->known[Key(server)];
  for (const Candidate& c : known) {
    if (SameLogon(c, candidate)) return false;
  }
  known.push_back(candidate);
  return true;
}

bool SmbConnection::Reach(const std::string& server) {
  ++connectAttempts_;
  std::string resolveError;
  const int s = ConnectWithin(
      server, options_.port,
      std::chrono::steady_clock::now() + std::chrono::seconds(options_.timeoutSeconds),
      &resolveError);
  if (s >= 0) {
    close(s);
    return true;
  }
  const int error = errno;
  if (error == 0) {
    lastError_ = server + " が見つかりません: " + resolveError;
  } else {
    lastError_ = error == ETIMEDOUT ? NoAnswer(server) : CannotReach(server, ErrorText(error));
  }
  return false;
}

std::optional<SmbCredentials> SmbConnection::LogonOf(const std::string& server) const {
  const auto it = servers_.find(Key(server));
  if (it == servers_.end() || !it->second.worked || it->second.worked->kerberos) {
    return std::nullopt;
  }
  const Candidate& c = *it->second.worked;
  return SmbCredentials{c.user, c.domain, c.password, c.keep};
}

std::optional<SmbConnection::Candidate> SmbConnection::FromCredentialsFile(Server& state) {
  const std::string& file = options_.credentialsFile;
  const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    state.fileRefusal = "資格情報ファイル " + file + " を読めません: " + ErrorText(errno);
    return std::nullopt;
  }
  struct stat st;
  std::string text;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    state.fileRefusal = "資格情報ファイル " + file + " は通常のファイルではないため使いません";
  } else if (st.st_mode & (S_IRGRP | S_IROTH)) {
    // A password others can read is no secret: whoever put it there must fix that first.
    state.fileRefusal = "資格情報ファイル " + file + " は他のユーザーも読めるため使いません";
  } else {
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 && text.size() < (1u << 16)) {
      text.append(buffer, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  if (!state.fileRefusal.empty()) return std::nullopt;
  Candidate c;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key == "username") {
      c.user = value;
    } else if (key == "password") {
      c.password = value;
    } else if (key == "domain") {
      c.domain = value;
    }
  }
  if (c.user.empty()) {
    state.fileRefusal = "資格情報ファイル " + file + " にユーザー名がありません";
    return std::nullopt;
  }
  return c;
}

std::optional<SmbConnection::Candidate> SmbConnection::NextCandidate(const std::string& server,
                                                                     Server& state) {
  // What worked for another connection comes before anything of the chain's own.
  if (auto known = NextKnown(server, state)) return known;
  auto chosen = [&state](Candidate c) {
    state.tried.push_back(c);
    return std::optional<Candidate>(std::move(c));
  };
  for (;;) {
    switch (state.next) {
      case Stage::Kerberos:
        state.next = Stage::File;
        if (HasTicketCache()) {
          Candidate c;
          c.user = LoginName();
          c.kerberos = true;
          return chosen(std::move(c));
        }
        break;
      case Stage::File:
        state.next = Stage::Guest;
        if (!options_.credentialsFile.empty()) {
          if (auto c = FromCredentialsFile(state)) return chosen(std::move(*c));
        }
        break;
      case Stage::Guest: {
        state.next = Stage::Stored;
        Candidate c;
        c.user = "guest";
        return chosen(std::move(c));
      }
      case Stage::Stored:
        state.next = Stage::Ask;
        if (prompt_) {
          std::optional<SmbCredentials> stored;
          OnWindow([&] { stored = prompt_->Stored(server); });
          if (stored) {
            return chosen(Candidate{stored->user, stored->domain, stored->password, false, true,
                                    stored->keep});
          }
        }
        break;
      case Stage::Ask:
        if (prompt_ && !Cancelled(Key(server))) {
          std::optional<SmbCredentials> asked;
          std::optional<Candidate> known;
          bool cancelled = false;
          OnWindow([&] {
            // Another connection may have asked for this server while this question waited
            // for its turn on the window thread: its answer counts, and nothing is asked twice.
            if ((known = NextKnown(server, state))) return;
            if ((cancelled = Cancelled(Key(server)))) return;
            asked = prompt_->Ask(server, state.askReason);
          });
          if (known) return known;
          if (asked) {
            return chosen(
                Candidate{asked->user, asked->domain, asked->password, false, true, asked->keep});
          }
          if (!cancelled) {
            const std::lock_guard lock(shared_->mutex);
            shared_->cancelled.insert(Key(server));
          }
        }
        state.next = Stage::Done;
        break;
      case Stage::Done:
        return std::nullopt;
    }
  }
}

void SmbConnection::ApplyLogonOptions(const Candidate& candidate) {
  const LibraryTurn turn(*lib_);
  lib_->smbc_setOptionUseKerberos(context_, candidate.kerberos);
  lib_->smbc_setOptionUseCCache(context_, candidate.kerberos);
}

void SmbConnection::Auth(SMBCCTX* context, const char* server, const char*, char* workgroup,
                         int workgroupLength, char* user, int userLength, char* password,
                         int passwordLength) {
  // The copy that called reads its own context the same way as the linked one.
  auto* self = static_cast<SmbConnection*>(smbc_getOptionUserData(context));
  if (!self || !server) return;
  const auto it = self->servers_.find(Key(server));
  if (it == self->servers_.end() || !it->second.candidate) {
    // A server we have not chosen a logon for: the guest logon, never anyone's password.
    CopyField(user, userLength, "guest");
    CopyField(password, passwordLength, "");
    return;
  }
  const Candidate& c = *it->second.candidate;
  self->ApplyLogonOptions(c);
  if (!c.domain.empty()) CopyField(workgroup, workgroupLength, c.domain);
  CopyField(user, userLength, c.user);
  CopyField(password, passwordLength, c.password);
}

bool SmbConnection::Prepare(const std::string& server, const std::string& share) {
  lastError_.clear();
  if (!context_) {
    lastError_ = CannotReach(server, "SMB のライブラリを開始できません");
    return false;
  }
  const std::string key = Key(server);
  const std::string shareKey = key + "\\" + Key(share);
  if (Blocked(key) || Blocked(shareKey)) return false;
  Server& state = StateOf(server);
  if (state.reached && state.sharesLoggedOn.count(Key(share))) return true;
  // One connection at a time reaches a server and finds its logon; one that waited for
  // another takes its answer: the failure it met, or the logon it found (tried first below).
  const Turn turn(*shared_, key, worker_);
  if (turn.Waited() && (Blocked(key) || Blocked(shareKey))) return false;
  if (!state.reached) {
    if (!Reach(server)) return Failed(key, lastError_);
    state.reached = true;
  }
  if (state.sharesLoggedOn.count(Key(share))) return true;

  std::string lastLogonError;
  for (;;) {
    if (!state.candidate) {
      state.candidate = NextCandidate(server, state);
      if (!state.candidate) {
        // The chain has ended: start it again when the server is next tried.
        // A refused credentials file is the reason, also where a guest logon let us list the
        // shares: it is what the user has to mend.
        std::string reason =
            !state.fileRefusal.empty()
                ? state.fileRefusal
                : (lastLogonError.empty() ? "ログオン情報がありません" : lastLogonError);
        state.candidate = state.worked;
        state.next = Stage::Kerberos;
        state.tried.clear();
        if (state.worked) state.tried.push_back(*state.worked);
        state.askReason.clear();
        state.fileRefusal.clear();
        return Failed(shareKey, CannotLogOn(server, reason));
      }
    }
    ApplyLogonOptions(*state.candidate);
    errno = 0;
    SMBCFILE* dir = OpenDir(Url(server, share));
    if (dir) {
      CloseDir(dir);
      state.sharesLoggedOn.insert(Key(share));
      // The user's logon is told once, by the connection that found it.
      if (AddKnown(server, *state.candidate) && state.candidate->fromPrompt && prompt_) {
        SmbCredentials credentials{state.candidate->user, state.candidate->domain,
                                   state.candidate->password, state.candidate->keep};
        OnWindow([&] { prompt_->LoggedOn(server, credentials); });
      }
      state.worked = state.candidate;
      state.askReason.clear();
      {
        const std::lock_guard lock(shared_->mutex);
        shared_->failures.erase(shareKey);
      }
      return true;
    }
    const int error = errno != 0 ? errno : EIO;
    if (IsLogonError(error)) {
      lastLogonError = error == EACCES ? kWrongLogon : ErrorText(error);
      if (state.candidate->fromPrompt) state.askReason = CannotLogOn(server, lastLogonError);
      state.candidate.reset();
      continue;
    }
    if (IsConnectionError(error)) {
      state.reached = false;
      return Failed(key,
                    error == ETIMEDOUT ? NoAnswer(server) : CannotReach(server, ErrorText(error)));
    }
    // No such share, or the like: nothing wrong with the server or the logon.
    lastError_ = share.empty()
                     ? server + " の共有を一覧できません: " + ErrorText(error)
                     : "\\\\" + server + "\\" + share + " を開けません: " + ErrorText(error);
    return false;
  }
}

void SmbConnection::ForgetFailures(const std::string& server) {
  const std::lock_guard lock(shared_->mutex);
  auto& failures = shared_->failures;
  if (server.empty()) {
    failures.clear();
    shared_->cancelled.clear();
    return;
  }
  const std::string key = Key(server);
  for (auto it = failures.begin(); it != failures.end();) {
    // The server's own failure, and its shares' (server\share).
    const bool its = it->first == key || it->first.rfind(key + "\\", 0) == 0;
    it = its ? failures.erase(it) : std::next(it);
  }
  shared_->cancelled.erase(key);
}

bool SmbConnection::Fail(const std::string& server, int error) {
  if (error == 0) error = EIO;
  if (IsConnectionError(error)) {
    StateOf(server).reached = false;
    return Failed(Key(server), error == ETIMEDOUT
                                   ? NoAnswer(server)
                                   : server + " との接続が切れました: " + ErrorText(error));
  }
  lastError_ = ErrorText(error);
  return false;
}

int SmbConnection::Stat(const std::string& url, struct stat* st) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionStat(context_)(context_, url.c_str(), st);
}
SMBCFILE* SmbConnection::OpenDir(const std::string& url) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionOpendir(context_)(context_, url.c_str());
}
smbc_dirent* SmbConnection::ReadDir(SMBCFILE* dir) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionReaddir(context_)(context_, dir);
}
const libsmb_file_info* SmbConnection::ReadDirPlus(SMBCFILE* dir) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionReaddirPlus(context_)(context_, dir);
}
void SmbConnection::CloseDir(SMBCFILE* dir) {
  const LibraryTurn turn(*lib_);
  lib_->smbc_getFunctionClosedir(context_)(context_, dir);
}
SMBCFILE* SmbConnection::Open(const std::string& url, int flags, mode_t mode) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionOpen(context_)(context_, url.c_str(), flags, mode);
}
ssize_t SmbConnection::Read(SMBCFILE* file, void* buffer, std::size_t size) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionRead(context_)(context_, file, buffer, size);
}
ssize_t SmbConnection::Write(SMBCFILE* file, const void* buffer, std::size_t size) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionWrite(context_)(context_, file, buffer, size);
}
int SmbConnection::Close(SMBCFILE* file) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionClose(context_)(context_, file);
}
off_t SmbConnection::Lseek(SMBCFILE* file, off_t offset, int whence) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionLseek(context_)(context_, file, offset, whence);
}
int SmbConnection::Fstat(SMBCFILE* file, struct stat* st) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionFstat(context_)(context_, file, st);
}
int SmbConnection::Unlink(const std::string& url) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionUnlink(context_)(context_, url.c_str());
}
int SmbConnection::Rename(const std::string& from, const std::string& to) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionRename(context_)(context_, from.c_str(), context_, to.c_str());
}
int SmbConnection::Mkdir(const std::string& url) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionMkdir(context_)(context_, url.c_str(), 0777);
}
int SmbConnection::Utimes(const std::string& url, const struct timeval times[2]) {
  const LibraryTurn turn(*lib_);
  return lib_->smbc_getFunctionUtimes(context_)(context_, url.c_str(), const_cast<timeval*>(times));
}

}  // namespace tolvane
