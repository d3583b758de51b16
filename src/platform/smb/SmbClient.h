#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvane {

// A user's logon to an SMB server. The password lives in memory only.
struct SmbCredentials {
  std::string user;
  std::string domain;
  std::string password;
  // The user asked to keep the password in the desktop keyring.
  bool keep = false;
};

// How SMB servers are reached; read from the settings at start-up.
struct SmbOptions {
  int port = 445;
  // A server that does not answer within this many seconds fails.
  int timeoutSeconds = 5;
  // A credentials file as smbclient reads it (username=, password=, domain=); empty for none.
  std::string credentialsFile;
};

// Where a logon comes from once Kerberos, the credentials file and a guest logon have not
// worked: the window's keyring and login dialog. Batch mode has none and never asks.
class SmbLoginPrompt {
 public:
  virtual ~SmbLoginPrompt() = default;
  // What the user keeps for server in the desktop keyring, tried before asking.
  virtual std::optional<SmbCredentials> Stored(const std::string& server) = 0;
  // Asks the user for a logon to server (reason: why the last logon failed, may be empty);
  // nothing when the user cancels.
  virtual std::optional<SmbCredentials> Ask(const std::string& server,
                                            const std::string& reason) = 0;
  // The logon that worked for server, as Ask gave it: kept in the keyring when asked to.
  virtual void LoggedOn(const std::string& server, const SmbCredentials& credentials) = 0;
};

class SmbConnection;

// The named SMB servers of the network folder, reached with libsmbclient without mounting
// anything. One object for the life of the program, used from one thread; each further thread
// uses one made for it by ForWorker.
class SmbClient {
 public:
  explicit SmbClient(SmbOptions options = {});
  ~SmbClient();
  SmbClient(const SmbClient&) = delete;
  SmbClient& operator=(const SmbClient&) = delete;

  void SetOptions(const SmbOptions& options);
  const SmbOptions& Options() const;
  // The servers reached over SMB (names or addresses, as the user wrote them); a network path
  // whose server is not among them is none of this client's business.
  void SetServers(std::vector<std::string> servers);
  const std::vector<std::string>& Servers() const;
  // The server of a network path (\\SERVER\...) when it is one of ours (ASCII case does not
  // matter), spelt as in Servers(); nothing otherwise.
  std::optional<std::string> ServerOf(const std::string& path) const;
  bool Routes(const std::string& path) const { return ServerOf(path).has_value(); }

  // Null: never asks (batch mode, tests).
  void SetLoginPrompt(SmbLoginPrompt* prompt);
  // Told once of each server that cannot be reached or logged on to, with a line naming the
  // server and the reason; told again only after the server has worked in between, or after
  // it was left alone for the negative-cache time.
  void SetFailureReport(std::function<void(const std::string& line)> report);

  // Tries a server again at once, as if it had never failed: forgets that it did not answer or
  // refused the logon lately (the 30-second pause), and that its login dialog was cancelled,
  // so that the next call asks again. Empty: every server. For the start of a run, the retry
  // question's Retry and an explicit refresh of the server's node.
  void ForgetFailures(const std::string& server = {});

  // A client for another thread: the same servers, options, prompt and report, a connection
  // of its own, and the logons, the failures and the cancelled dialogs shared with this one
  // (ForgetFailures on either reaches both). ask runs a function on the window thread: the
  // worker asks for logons and reports failures through it; empty, it asks nothing and
  // reports nothing. Made and destroyed on the window thread.
  std::unique_ptr<SmbClient> ForWorker(WindowCall ask) const;

  // The connection that does the work (used by SmbFileSystem and SmbNetworkNamespace).
  SmbConnection& Connection();

 private:
  explicit SmbClient(std::unique_ptr<SmbConnection> connection);

  std::unique_ptr<SmbConnection> connection_;
  std::vector<std::string> servers_;
};

}  // namespace tolvane
