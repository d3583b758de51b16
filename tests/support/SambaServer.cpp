#ifndef _WIN32

#include "support/SambaServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSmbd = "/usr/sbin/smbd";
constexpr const char* kSmbpasswd = "/usr/bin/smbpasswd";

std::string CurrentUser() {
  const passwd* pw = getpwuid(geteuid());
  return pw ? pw->pw_name : "root";
}

// Runs a program with input on its standard input and its output thrown away; its exit code.
int RunWithInput(const std::vector<std::string>& argv, const std::string& input) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    dup2(fds[0], 0);
    close(fds[0]);
    close(fds[1]);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[0]);
  const ssize_t written = write(fds[1], input.data(), input.size());
  (void)written;
  close(fds[1]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Accepts(int port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s);
  return ok;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int FreeLoopbackPort() {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  close(s);
  return port;
}

SambaServer& SambaServer::Shared() {
  // Never destroyed by the static's destructor order: stopped at exit explicitly.
  static SambaServer* server = [] {
    auto* s = new SambaServer();
    std::atexit([] { delete &Shared(); });
    return s;
  }();
  return *server;
}

SambaServer::SambaServer() : user_(CurrentUser()) { Start(); }

SambaServer::~SambaServer() { Stop(); }

std::string SambaServer::SharePath(const std::string& share) const {
  // "private" would clash with smbd's own private folder.
  return dir_ + "/" + (share == "private" ? "private-share" : share);
}

std::string SambaServer::NewFolder(const std::string& share) {
  std::string name = "t";
  name += std::to_string(++folders_);
  fs::create_directories(SharePath(share) + "/" + name);
  return name;
}

int SambaServer::DropConnections() {
  // smbd serves each client in a child of its own, named as smbd itself; its other children
  // (smbd-notifyd, smbd-cleanupd) are named for what they do.
  int ended = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = ReadAll(entry.path().string() + "/stat");
    const auto close = stat.rfind(')');
    if (stat.find("(smbd)") == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    char state = 0;
    int parent = 0;
    rest >> state >> parent;
    if (pid_ > 0 && parent == pid_ && kill(std::atoi(name.c_str()), SIGKILL) == 0) ++ended;
  }
  return ended;
}

void SambaServer::Start() {
  if (access(kSmbd, X_OK) != 0) {
    failure_ = std::string(kSmbd) + " is not installed (scripts/setup installs samba)";
    return;
  }
  char templ[] = "/tmp/tolvane-smbd-XXXXXX";
  if (!mkdtemp(templ)) {
    failure_ = std::string("no temporary folder: ") + std::strerror(errno);
    return;
  }
  dir_ = templ;
  for (const char* sub : {"private", "lock", "state", "cache", "pid", "ncalrpc", "log", "guest",
                          "private-share", "readonly", "closed"}) {
    fs::create_directories(dir_ + "/" + sub);
  }
  // The share folders are written by the user the server acts as, whoever that is.
  for (const char* share : {"guest", "private-share", "readonly"}) {
    fs::permissions(dir_ + "/" + share, fs::perms::all);
  }
  port_ = FreeLoopbackPort();
  config_ = dir_ + "/smb.conf";
  std::ofstream conf(config_);
  conf << "[global]\n"
          "    server role = standalone server\n"
          "    workgroup = TESTGRP\n"
          "    netbios name = TESTSRV\n"
          "    interfaces = lo\n"
          "    bind interfaces only = yes\n"
          "    smb ports = " << port_ << "\n"
          "    disable netbios = yes\n"
          "    private dir = " << dir_ << "/private\n"
          "    lock directory = " << dir_ << "/lock\n"
          "    state directory = " << dir_ << "/state\n"
          "    cache directory = " << dir_ << "/cache\n"
          "    pid directory = " << dir_ << "/pid\n"
          "    ncalrpc dir = " << dir_ << "/ncalrpc\n"
          "    log file = " << dir_ << "/log/samba.log\n"
          "    max log size = 0\n"
          "    log level = 1\n"
          "    passdb backend = tdbsam:" << dir_ << "/private/passdb.tdb\n"
          "    map to guest = Bad User\n"
          "    guest account = nobody\n"
          "    load printers = no\n"
          "    printing = bsd\n"
          "    printcap name = /dev/null\n"
          "    disable spoolss = yes\n"
          "    usershare path =\n"
          "    server min protocol = SMB2_02\n"
          // Every request of a user's session signed.
          "    server signing = mandatory\n"
          "    map archive = no\n"
          // The DOS read-only attribute is the owner's missing write bit, so tests make a file
          // read-only with chmod.
          "    store dos attributes = no\n"
          "    map readonly = yes\n"
          "\n[guest]\n"
          "    path = " << dir_ << "/guest\n"
          "    read only = no\n"
          "    guest ok = yes\n"
          "    force user = " << user_ << "\n"
          "\n[private]\n"
          "    path = " << dir_ << "/private-share\n"
          "    read only = no\n"
          "    guest ok = no\n"
          "    valid users = " << user_ << "\n"
          "    force user = " << user_ << "\n"
          "\n[closed]\n"
          "    path = " << dir_ << "/closed\n"
          "    guest ok = no\n"
          "    invalid users = " << user_ << "\n"
          "\n[readonly]\n"
          "    path = " << dir_ << "/readonly\n"
          "    read only = yes\n"
          "    guest ok = yes\n"
          "    force user = " << user_ << "\n";
  conf.close();

  const std::string pw = password_ + "\n" + password_ + "\n";
  if (RunWithInput({kSmbpasswd, "-c", config_, "-a", "-s", user_}, pw) != 0) {
    failure_ = "smbpasswd could not add " + user_;
    return;
  }

  const pid_t pid = fork();
  if (pid < 0) {
    failure_ = std::string("fork: ") + std::strerror(errno);
    return;
  }
  if (pid == 0) {
    setsid();
    // A test program that crashes takes its server with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int out = open((dir_ + "/log/smbd.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(out, 2);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    execl(kSmbd, kSmbd, "--foreground", "--debug-stdout", "--no-process-group", "-s",
          config_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  pid_ = pid;
  // Bounded: smbd listens within a second or two; give it up to 20 s on a loaded machine.
  for (int i = 0; i < 400; ++i) {
    if (Accepts(port_)) return;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = 0;
      failure_ = "smbd ended at start: " + ReadAll(dir_ + "/log/smbd.out");
      return;
    }
    poll(nullptr, 0, 50);
  }
  failure_ = "smbd did not accept on port " + std::to_string(port_);
  Stop();
}

// The helpers smbd started that went into their own session (samba-dcerpcd and its workers),
// by the pid files in the private pid folder; only while they still run with our configuration.
std::vector<int> SambaServer::Helpers() const {
  std::vector<int> helpers;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir_ + "/pid", ec)) {
    if (entry.path().extension() != ".pid") continue;
    const pid_t pid = static_cast<pid_t>(std::atol(ReadAll(entry.path().string()).c_str()));
    if (pid <= 1 || pid == pid_) continue;
    const std::string cmdline = ReadAll("/proc/" + std::to_string(pid) + "/cmdline");
    if (cmdline.find(config_) != std::string::npos) helpers.push_back(pid);
  }
  return helpers;
}

void SambaServer::Stop() {
  for (const pid_t helper : Helpers()) {
    kill(-helper, SIGTERM);
    kill(helper, SIGTERM);
  }
  if (pid_ > 0) {
    // The whole group: smbd and the helpers it started (samba-dcerpcd and the rest).
    kill(-pid_, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
      ended = waitpid(pid_, &status, WNOHANG) == pid_;
      if (!ended) poll(nullptr, 0, 50);
    }
    kill(-pid_, SIGKILL);
    if (!ended) waitpid(pid_, &status, 0);
    pid_ = 0;
  }
  if (!dir_.empty()) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    dir_.clear();
  }
}

}  // namespace tolvane::test

#endif
