#pragma once

#ifndef _WIN32

#include <string>
#include <vector>

namespace tolvane::test {

// A real SMB server on 127.0.0.1, on a free high port, with a private configuration in a
// temporary folder: smbd in its own process group, stopped with all its helpers at the end.
//   guest    - anyone, as guest, may read and write
//   private  - only User() with Password()
//   readonly - anyone may read, nobody may write
//   closed   - refuses User() and guests
// The shares are folders of this machine, so tests look at what arrived on disk.
class SambaServer {
 public:
  // The one server of the test program, started on first use. A server that cannot be started
  // (smbd missing, the port never accepting) fails the calling test with the reason.
  static SambaServer& Shared();

  SambaServer();
  ~SambaServer();
  SambaServer(const SambaServer&) = delete;
  SambaServer& operator=(const SambaServer&) = delete;

  bool Running() const { return pid_ > 0; }
  // Why the server is not running; empty when it is.
  const std::string& Failure() const { return failure_; }

  int Port() const { return port_; }
  // The address to name the server by (\\127.0.0.1\guest).
  const std::string& Host() const { return host_; }
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }
  // The folder on disk behind a share ("guest", "private", "readonly").
  std::string SharePath(const std::string& share) const;
  // A fresh folder in a share for one test, e.g. "t3"; returns its name.
  std::string NewFolder(const std::string& share);
  // Kills the processes that serve clients, as a server that goes down would end every
  // connection; the server itself goes on accepting new ones. How many were ended.
  int DropConnections();

 private:
  void Start();
  void Stop();
  std::vector<int> Helpers() const;

  std::string host_ = "127.0.0.1";
  std::string dir_;
  std::string config_;
  std::string user_;
  std::string password_ = "Pass-w0rd 7";
  std::string failure_;
  int port_ = 0;
  int pid_ = 0;
  int folders_ = 0;
};

// A port on 127.0.0.1 that nothing listens on (bound once, then let go).
int FreeLoopbackPort();

}  // namespace tolvane::test

#endif
