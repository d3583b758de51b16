#pragma once

#include <libsmbclient.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/smb/SmbClient.h"

namespace tolvane {

// A network path split into what SMB needs: \\SERVER\share\a\b is server "SERVER", share "share"
// and folders/file "a/b" ("" for the share itself; no share for the server itself).
struct SmbPath {
  std::string server;
  std::string share;
  std::string rest;
};

// \\SERVER[\share[\rest]] with "\" or "/" between components; nothing when a component is empty
// (a single trailing separator aside), "." or "..".
std::optional<SmbPath> SplitSmbPath(const std::string& path);
// A component as an SMB URL needs it: everything but letters, digits and "-._~" percent-encoded.
std::string SmbUrlEscape(const std::string& component);

// One libsmbclient context, the state of each server on it (reached, logged on) and the logon
// chain that finds credentials that work. A context serves one thread: each worker of a run has
// a connection of its own, made by ForWorker, which shares with the others what is known of the
// servers (the logons that worked, the failures of late, a cancelled login dialog), and takes
// turns with them at reaching a server and finding its logon, so that one of them asks and the
// others use the answer.
struct SmbLibrary;

class SmbConnection {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // How long a server that failed is left alone.
  static constexpr std::chrono::seconds kRetryAfter{30};

  explicit SmbConnection(SmbOptions options);
  ~SmbConnection();
  SmbConnection(const SmbConnection&) = delete;
  SmbConnection& operator=(const SmbConnection&) = delete;

  // A connection like this one for another thread: the same options, prompt and report, a
  // context of its own, and what this one knows of the servers shared. It asks and reports
  // through ask, which runs its function on the window thread; without ask it never asks and
  // reports nothing (each failure's reason is still its LastError()). It waits for another
  // connection that is reaching the same server or finding its logon, where this one (the
  // window thread's) never waits.
  // ownLibrary: the worker will reach servers, and gets a copy of the library of its own where
  // the library needs one for threads to run at once (loading one takes a while).
  std::unique_ptr<SmbConnection> ForWorker(WindowCall ask, bool ownLibrary = true) const;

  void SetOptions(const SmbOptions& options);
  const SmbOptions& Options() const { return options_; }
  void SetLoginPrompt(SmbLoginPrompt* prompt) { prompt_ = prompt; }
  void SetFailureReport(std::function<void(const std::string&)> report) {
    report_ = std::move(report);
  }
  // Where the time comes from (tests turn it on by hand).
  void SetClock(Clock clock) { clock_ = std::move(clock); }
  // How many times a server's port was tried since the start.
  int ConnectAttempts() const { return connectAttempts_; }

  // A server's or share's name as compared: ASCII case does not matter.
  static std::string Key(const std::string& name);

  // Makes sure server can be used: it answers, and a logon to share (empty: the list of its
  // shares) works. False with the reason in LastError().
  bool Prepare(const std::string& server, const std::string& share);
  // smb://server/share/rest, escaped.
  std::string Url(const std::string& server, const std::string& share = {},
                  const std::string& rest = {}) const;
  std::string Url(const SmbPath& path) const { return Url(path.server, path.share, path.rest); }

  // The logon that opened server's shares on this connection, when it was a name and a
  // password (not a Kerberos ticket): for our own requests to the same shares.
  std::optional<SmbCredentials> LogonOf(const std::string& server) const;

  // Forgets that server (empty: every server) failed lately or that its login dialog was
  // cancelled: the next call tries it again at once, and asks again. For the start of a run
  // and the user's own retry or refresh.
  void ForgetFailures(const std::string& server);

  // Remembers why a call to server failed (errno: error), a lost connection as the server's
  // failure. Always false.
  bool Fail(const std::string& server, int error);
  void SetError(std::string reason) { lastError_ = std::move(reason); }
  const std::string& LastError() const { return lastError_; }

  // The library's calls on this context; -1 / null with errno on failure, as theirs.
  int Stat(const std::string& url, struct stat* st);
  SMBCFILE* OpenDir(const std::string& url);
  smbc_dirent* ReadDir(SMBCFILE* dir);
  // The next entry with its size, times and DOS attributes (no call per entry).
  const libsmb_file_info* ReadDirPlus(SMBCFILE* dir);
  void CloseDir(SMBCFILE* dir);
  SMBCFILE* Open(const std::string& url, int flags, mode_t mode);
  ssize_t Read(SMBCFILE* file, void* buffer, std::size_t size);
  ssize_t Write(SMBCFILE* file, const void* buffer, std::size_t size);
  int Close(SMBCFILE* file);
  off_t Lseek(SMBCFILE* file, off_t offset, int whence);
  int Fstat(SMBCFILE* file, struct stat* st);
  int Unlink(const std::string& url);
  int Rename(const std::string& from, const std::string& to);
  int Mkdir(const std::string& url);
  int Utimes(const std::string& url, const struct timeval times[2]);

 private:
  struct Candidate {
    std::string user;
    std::string domain;
    std::string password;
    bool kerberos = false;
    bool fromPrompt = false;  // Stored or Ask
    bool keep = false;
  };
  enum class Stage { Kerberos, File, Guest, Stored, Ask, Done };
  struct Server {
    bool reached = false;
    std::optional<Candidate> candidate;
    // The logon that worked, kept for the shares it opened when another share refuses every
    // logon the chain has.
    std::optional<Candidate> worked;
    Stage next = Stage::Kerberos;
    // The logons this chain has tried, so that one found by another connection meanwhile is
    // tried once and no logon twice.
    std::vector<Candidate> tried;
    std::string askReason;
    std::string fileRefusal;
    std::set<std::string> sharesLoggedOn;
  };
  struct Failure {
    std::chrono::steady_clock::time_point at;
    std::string reason;
  };
  // What every connection made from the same first one knows of the servers; defined with
  // the code.
  struct Shared;
  // A server's turn for reaching it and finding its logon, held for one Prepare.
  class Turn;

  SmbConnection(SmbOptions options, std::shared_ptr<Shared> shared, SmbLibrary* library);

  static void Auth(SMBCCTX* context, const char* server, const char* share, char* workgroup,
                   int workgroupLength, char* user, int userLength, char* password,
                   int passwordLength);
  Server& StateOf(const std::string& server) { return servers_[Key(server)]; }
  std::chrono::steady_clock::time_point Now() const;
  // A TCP connection to the server's port within the timeout; false with the reason.
  bool Reach(const std::string& server);
  // The next logon to try; nothing when the chain has ended.
  std::optional<Candidate> NextCandidate(const std::string& server, Server& state);
  // A logon that worked for server on any connection and that this chain has not tried yet.
  std::optional<Candidate> NextKnown(const std::string& server, Server& state);
  // Keeps a logon that worked for every connection; false when it was known already.
  bool AddKnown(const std::string& server, const Candidate& candidate);
  bool Cancelled(const std::string& key);
  // Runs fn where the prompt may be used: on the window thread.
  void OnWindow(const std::function<void()>& fn);
  void Report(const std::string& line);
  std::optional<Candidate> FromCredentialsFile(Server& state);
  bool Blocked(const std::string& key);
  // Records a failure of key (a server, or server\share) and tells the report. False.
  bool Failed(const std::string& key, std::string reason);
  std::string NoAnswer(const std::string& server) const;
  void ApplyLogonOptions(const Candidate& candidate);

  SmbOptions options_;
  SMBCCTX* context_ = nullptr;
  SmbLoginPrompt* prompt_ = nullptr;
  std::function<void(const std::string&)> report_;
  Clock clock_;
  std::map<std::string, Server> servers_;
  std::shared_ptr<Shared> shared_;
  // The copy of the library this connection calls: the one linked in, or a worker's own.
  SmbLibrary* lib_;
  // A worker's: how it reaches the window thread, and that it waits for other connections.
  WindowCall window_;
  bool worker_ = false;
  std::string lastError_;
  int connectAttempts_ = 0;
};

}  // namespace tolvane
