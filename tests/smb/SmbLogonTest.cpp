#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "SmbTestBase.h"
#include "engine/CopyEngine.h"
#include "platform/smb/SmbConnection.h"
#include "support/Fakes.h"

namespace tolvane::test {
namespace {

// Answers as a user would, and notes what it was asked.
class FakePrompt : public SmbLoginPrompt {
 public:
  std::optional<SmbCredentials> stored;
  std::vector<std::optional<SmbCredentials>> answers;  // one per Ask, in order
  std::vector<std::string> calls;

  std::optional<SmbCredentials> Stored(const std::string& server) override {
    calls.push_back("Stored " + server);
    return stored;
  }
  std::optional<SmbCredentials> Ask(const std::string& server, const std::string& reason) override {
    calls.push_back("Ask " + server + (reason.empty() ? "" : " (" + reason + ")"));
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  void LoggedOn(const std::string& server, const SmbCredentials& credentials) override {
    calls.push_back("LoggedOn " + server + " " + credentials.user);
  }
};

// A window thread of the test's own: runs what the workers ask of it, one call after another.
class WindowThread {
 public:
  WindowThread() : thread_([this] { Run(); }) {}
  ~WindowThread() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  WindowCall Call() {
    return [this](const std::function<void()>& fn) {
      std::pair<const std::function<void()>*, bool> call{&fn, false};
      std::unique_lock lock(mutex_);
      calls_.push_back(&call);
      changed_.notify_all();
      changed_.wait(lock, [&] { return call.second; });
    };
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stop_ || !calls_.empty(); });
      if (calls_.empty()) return;
      auto* call = calls_.front();
      calls_.pop_front();
      lock.unlock();
      (*call->first)();
      lock.lock();
      call->second = true;
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<const std::function<void()>*, bool>*> calls_;
  bool stop_ = false;
  std::thread thread_;
};

class SmbLogonTest : public SmbTestBase {
 protected:
  std::string CredentialsFile(const std::string& password, mode_t mode) {
    const std::string path = dir / "cred";
    std::ofstream(path) << "username = " << Server().User() << "\npassword=" << password
                        << "\n domain =TESTGRP\n";
    chmod(path.c_str(), mode);
    return path;
  }
  void UseCredentialsFile(const std::string& path) {
    SmbOptions options = client->Options();
    options.credentialsFile = path;
    client->SetOptions(options);
  }

  TempDir dir;
  std::vector<std::string> reports;
};

TEST_F(SmbLogonTest, ACredentialsFileLogsOnToTheUsersShare) {
  UseCredentialsFile(CredentialsFile(Server().Password(), 0600));
  const std::string folder = NewFolder("private");
  const std::string source = dir.Write("a.txt", "a");
  ASSERT_TRUE(fs->CopyFile(source, Unc("private", folder + "\\a.txt"), true)) << fs->LastError();
  std::ifstream in(OnDisk("private", folder + "/a.txt"));
  EXPECT_TRUE(in.good());
  // The guest share still works with the same logon.
  EXPECT_TRUE(fs->IsFolder(Unc("guest"))) << fs->LastError();
  // A share that refuses every logon there is leaves the one that worked in use.
  EXPECT_FALSE(fs->IsFolder(Unc("closed")));
  EXPECT_TRUE(fs->CopyFile(source, Unc("private", folder + "\\b.txt"), true)) << fs->LastError();
}

// Between the client and the server: passes everything on, and counts the messages the client
// sends (each waits for its answer, so each is a round trip).
class CountingRelay {
 public:
  explicit CountingRelay(int serverPort) : serverPort_(serverPort) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 8) ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
      return;
    }
    port_ = ntohs(a.sin_port);
    pipe2(stop_, O_CLOEXEC);
    thread_ = std::thread([this] { Run(); });
  }
  ~CountingRelay() {
    if (thread_.joinable()) {
      (void)!write(stop_[1], "x", 1);
      thread_.join();
    }
    close(listener_);
  }
  int Port() const { return port_; }
  int Messages() const { return messages_; }

 private:
  struct Pair {
    int client, server;
    std::size_t frameLeft = 0;  // of the client's message being passed on
    std::size_t headerGot = 0;
    unsigned char header[4] = {};
  };
  void Run() {
    std::vector<Pair> pairs;
    for (;;) {
      std::vector<pollfd> fds{{stop_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
      for (const Pair& p : pairs) {
        fds.push_back({p.client, POLLIN, 0});
        fds.push_back({p.server, POLLIN, 0});
      }
      if (poll(fds.data(), fds.size(), -1) < 0) continue;
      if (fds[0].revents) break;
      // A pair accepted now is polled from the next round on.
      const std::size_t polled = pairs.size();
      if (fds[1].revents & POLLIN) {
        const int c = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(serverPort_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
          pairs.push_back(Pair{c, s, 0, 0, {}});
        } else {
          close(c);
          close(s);
        }
      }
      std::vector<Pair> open;
      for (std::size_t i = 0; i < pairs.size(); ++i) {
        Pair& p = pairs[i];
        bool ok = true;
        if (i < polled && fds[2 + 2 * i].revents) ok = Pass(p, p.client, p.server, true);
        if (ok && i < polled && fds[3 + 2 * i].revents) ok = Pass(p, p.server, p.client, false);
        if (ok) {
          open.push_back(p);
        } else {
          close(p.client);
          close(p.server);
        }
      }
      pairs = std::move(open);
    }
    for (const Pair& p : pairs) close(p.client), close(p.server);
  }
  bool Pass(Pair& p, int from, int to, bool count) {
    unsigned char buffer[65536];
    const ssize_t n = read(from, buffer, sizeof buffer);
    if (n <= 0) return false;
    for (ssize_t at = 0; count && at < n;) {
      if (p.frameLeft > 0) {
        const std::size_t take = std::min(p.frameLeft, static_cast<std::size_t>(n - at));
        p.frameLeft -= take;
        at += static_cast<ssize_t>(take);
        continue;
      }
      p.header[p.headerGot++] = buffer[at++];
      if (p.headerGot == 4) {
        p.headerGot = 0;
        p.frameLeft = std::size_t{p.header[1]} << 16 | std::size_t{p.header[2]} << 8 | p.header[3];
        ++messages_;
      }
    }
    for (ssize_t at = 0; at < n;) {
      const ssize_t w = write(to, buffer + at, static_cast<std::size_t>(n - at));
      if (w <= 0) return false;
      at += w;
    }
    return true;
  }

  int serverPort_;
  int listener_ = -1;
  int port_ = 0;
  int stop_[2] = {-1, -1};
  std::atomic<int> messages_{0};
  std::thread thread_;
};

// A small file goes into a share in one round trip: a compound of our own, not the library's
// calls by path. Also signed, as the server wants every request of a user's session.
TEST_F(SmbLogonTest, ASmallFileIsOneRoundTripAlsoSigned) {
  CountingRelay relay(Server().Port());
  ASSERT_GT(relay.Port(), 0);
  SmbOptions options = client->Options();
  options.port = relay.Port();
  client->SetOptions(options);
  UseCredentialsFile(CredentialsFile(Server().Password(), 0600));
  for (const std::string share : {"guest", "private"}) {
    const std::string folder = NewFolder(share);
    int before = 0;
    const char* const names[] = {"s0", "s1", "s2", "s3"};
    for (int i = 0; i < 4; ++i) {
      // The first copy logs on; the others are counted.
      if (i == 1) before = relay.Messages();
      const std::string name = names[i];
      const std::string source = dir.Write(name, std::string(20000 * i + 1, 's'));
      ASSERT_TRUE(fs->CopyFile(source, Unc(share, folder + "\\" + name), true)) << fs->LastError();
      EXPECT_EQ(std::filesystem::file_size(OnDisk(share, folder + "/" + name)), 20000u * i + 1);
    }
    EXPECT_EQ(relay.Messages() - before, 3) << share;
  }
}

TEST_F(SmbLogonTest, RefusedLogonsSayWhyWithoutThePassword) {
  struct Case {
    const char* name;
    std::string password;
    mode_t mode;
    std::string reasonHas;
  };
  const std::string secret = "Wr0ng-Secret";
  const Case cases[] = {
      {"wrong password", secret, 0600, "ユーザー名かパスワードが違います"},
      {"readable by others", Server().Password(), 0644, "他のユーザーも読めるため使いません"},
      {"readable by the group", Server().Password(), 0640, "他のユーザーも読めるため使いません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();  // a client that has not logged on yet
    reports.clear();
    client->SetFailureReport([this](const std::string& line) { reports.push_back(line); });
    const std::string file = CredentialsFile(c.password, c.mode);
    UseCredentialsFile(file);
    EXPECT_FALSE(fs->IsFolder(Unc("private")));
    const std::string reason = fs->LastError();
    EXPECT_NE(reason.find(Server().Host() + " にログオンできません: "), std::string::npos)
        << reason;
    EXPECT_NE(reason.find(c.reasonHas), std::string::npos) << reason;
    if (c.mode != 0600) {
      EXPECT_NE(reason.find(file), std::string::npos) << reason;
    }
    EXPECT_EQ(reason.find(c.password), std::string::npos) << reason;
    // Told once, however often the share is tried.
    EXPECT_FALSE(fs->Exists(Unc("private", "x")));
    EXPECT_EQ(reports, std::vector<std::string>{reason});
  }
}

TEST_F(SmbLogonTest, AsksAfterTheStoredLogonAndRemembersWhatWorked) {
  FakePrompt prompt;
  prompt.stored = SmbCredentials{Server().User(), "", "stale-password", false};
  prompt.answers = {SmbCredentials{Server().User(), "", "typo", false},
                    SmbCredentials{Server().User(), "", Server().Password(), true}};
  client->SetLoginPrompt(&prompt);
  const std::string host = Server().Host();

  EXPECT_TRUE(fs->IsFolder(Unc("private"))) << fs->LastError();
  // Asked once for the server: not again for the next call or another share.
  EXPECT_TRUE(fs->IsFolder(Unc("private"))) << fs->LastError();
  EXPECT_TRUE(fs->IsFolder(Unc("guest"))) << fs->LastError();
  const std::string refused =
      " (" + host + " にログオンできません: ユーザー名かパスワードが違います)";
  EXPECT_EQ(prompt.calls, (std::vector<std::string>{
                              "Stored " + host, "Ask " + host + refused, "Ask " + host + refused,
                              "LoggedOn " + host + " " + Server().User()}));
  for (const auto& call : prompt.calls) EXPECT_EQ(call.find("typo"), std::string::npos);
}

TEST_F(SmbLogonTest, ACancelledQuestionEndsTheLogonUntilTheServerIsTriedAgain) {
  FakePrompt prompt;
  client->SetLoginPrompt(&prompt);
  std::chrono::steady_clock::time_point now{};
  client->Connection().SetClock([&now] { return now; });
  EXPECT_FALSE(fs->IsFolder(Unc("private")));
  EXPECT_NE(fs->LastError().find(" にログオンできません"), std::string::npos) << fs->LastError();
  EXPECT_EQ(prompt.calls.size(), 2u);  // Stored, Ask
  // Not asked again for every file that follows, nor once the pause after a failure is over.
  EXPECT_FALSE(fs->Exists(Unc("private", "a")));
  now += std::chrono::minutes(1);
  EXPECT_FALSE(fs->Exists(Unc("private", "a")));
  EXPECT_EQ(std::count(prompt.calls.begin(), prompt.calls.end(), "Ask " + Server().Host()), 1);
  // Removed and added again, the server is asked about again (cancelled once more here).
  client->SetServers({});
  client->SetServers({Server().Host()});
  EXPECT_FALSE(fs->IsFolder(Unc("private")));
  EXPECT_EQ(std::count(prompt.calls.begin(), prompt.calls.end(), "Ask " + Server().Host()), 2);
  // A new run, a retry or an expansion asks again.
  prompt.answers = {SmbCredentials{Server().User(), "", Server().Password(), false}};
  fs->ForgetFailures(Unc("private"));
  EXPECT_TRUE(fs->IsFolder(Unc("private"))) << fs->LastError();
  EXPECT_EQ(std::count(prompt.calls.begin(), prompt.calls.end(), "Ask " + Server().Host()), 3);
}

// Two workers that need a logon for one server at once: one asks on the window thread, the
// other takes its answer, and so does the window thread's own client; a cancel counts for all.
TEST_F(SmbLogonTest, WorkersNeedingOneServersLogonAskOnce) {
  const std::optional<SmbCredentials> answers[] = {
      SmbCredentials{Server().User(), "", Server().Password(), false}, std::nullopt};
  for (const auto& answer : answers) {
    SCOPED_TRACE(answer ? "answered" : "cancelled");
    SetUp();
    FakePrompt prompt;
    prompt.answers = {answer};
    client->SetLoginPrompt(&prompt);
    WindowThread window;
    std::unique_ptr<FileSystem> workers[] = {fs->ForWorker(window.Call()),
                                             fs->ForWorker(window.Call())};
    bool opened[2] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
      threads.emplace_back([&, i] { opened[i] = workers[i]->IsFolder(Unc("private")); });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(opened[0], answer.has_value());
    EXPECT_EQ(opened[1], answer.has_value());
    EXPECT_EQ(fs->IsFolder(Unc("private")), answer.has_value()) << fs->LastError();
    EXPECT_EQ(std::count(prompt.calls.begin(), prompt.calls.end(), "Ask " + Server().Host()), 1);
    EXPECT_EQ(std::count(prompt.calls.begin(), prompt.calls.end(), "Stored " + Server().Host()), 1);
  }
}

// A server that is not there, with the time in the test's hands.
class SmbServerDownTest : public SmbTestBase {
 protected:
  void SetUp() override {
    SmbTestBase::SetUp();
    client->Connection().SetClock([this] { return now; });
    client->SetFailureReport([this](const std::string& line) { reports.push_back(line); });
  }
  void UsePort(int port, int timeoutSeconds) {
    SmbOptions options = client->Options();
    options.port = port;
    options.timeoutSeconds = timeoutSeconds;
    client->SetOptions(options);
  }

  std::chrono::steady_clock::time_point now{};
  std::vector<std::string> reports;
};

TEST_F(SmbServerDownTest, ARefusedConnectionFailsAndIsNotTriedAgainForAWhile) {
  UsePort(FreeLoopbackPort(), 5);
  TempDir disk;
  const std::string source = disk.Write("a.txt", "a");
  const auto result = fs->CopyFileWithProgress(source, Unc("guest", "a.txt"), false, nullptr);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Server().Host() + " に接続できません: Connection refused");
  EXPECT_EQ(client->Connection().ConnectAttempts(), 1);

  now += std::chrono::seconds(29);
  EXPECT_FALSE(fs->Exists(Unc("guest", "a.txt")));
  EXPECT_EQ(fs->LastError(), result.error);
  EXPECT_EQ(client->Connection().ConnectAttempts(), 1);
  EXPECT_EQ(reports.size(), 1u);

  now += std::chrono::seconds(2);
  EXPECT_FALSE(fs->Exists(Unc("guest", "a.txt")));
  EXPECT_EQ(client->Connection().ConnectAttempts(), 2);
  EXPECT_EQ(reports.size(), 2u);  // left alone long enough to be told again

  // A worker of a run knows of the failure without trying the server itself.
  auto worker = client->ForWorker({});
  SmbFileSystem workerFs(local, *worker);
  EXPECT_FALSE(workerFs.Exists(Unc("guest", "a.txt")));
  EXPECT_EQ(workerFs.LastError(), result.error);
  EXPECT_EQ(worker->Connection().ConnectAttempts(), 0);

  // The user's retry, a refresh or a new run does not wait: tried again at once, once, also
  // by the workers.
  fs->ForgetFailures(Unc("guest", "a.txt"));
  EXPECT_FALSE(workerFs.Exists(Unc("guest", "a.txt")));
  EXPECT_FALSE(fs->Exists(Unc("guest", "a.txt")));
  EXPECT_FALSE(fs->Exists(Unc("guest", "a.txt")));
  EXPECT_EQ(worker->Connection().ConnectAttempts(), 1);
  EXPECT_EQ(client->Connection().ConnectAttempts(), 2);
}

class AskOnError : public CopyOptions {
 public:
  bool ConfirmOverWrite() const override { return false; }
  bool ButOldIsIgnore() const override { return false; }
  bool IgnoreError() const override { return false; }
};

// The server is back while the retry question is shown: 再試行 reaches it at once, without the
// pause that keeps a failed server from being tried for every file.
TEST_F(SmbServerDownTest, RetryTriesTheServerAgainAtOnce) {
  const int port = client->Options().port;
  UsePort(FreeLoopbackPort(), 5);
  const std::string dir = NewFolder("guest");
  TempDir disk;
  const std::string source = disk.Write("a.txt", "a");
  AskOnError options;
  RunFlags flags;
  ScriptedPrompts prompts;
  prompts.answers = {PromptAnswer::Retry};
  prompts.whileShown = [&] { UsePort(port, 5); };
  FakeEventPump pump;
  VectorLogSink sink;
  StatusLog log{*fs, sink};
  log.SetSaveToFileSource([] { return false; });
  CopyEngine engine{*fs, prompts, pump, log, options, flags};
  EXPECT_FALSE(engine.CopyFileToFolder(source, Unc("guest", dir)));
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_NE(prompts.asked[0].text.find(Server().Host() + " に接続できません"), std::string::npos)
      << prompts.asked[0].text;
  EXPECT_TRUE(std::ifstream(OnDisk("guest", dir + "/a.txt")).good());
}

TEST_F(SmbServerDownTest, AServerThatNeverAnswersFails) {
  // Accepts connections (the kernel does, for the backlog) but never says a word.
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 8), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int port = ntohs(address.sin_port);
  UsePort(port, 1);

  EXPECT_FALSE(fs->IsFolder(Unc("guest")));
  EXPECT_EQ(fs->LastError(),
            Server().Host() + " がポート " + std::to_string(port) + " で 1 秒以内に応答しません");
  EXPECT_EQ(reports, std::vector<std::string>{fs->LastError()});
  close(listener);
}

}  // namespace
}  // namespace tolvane::test

namespace tolvane::test {
namespace {

// Batch mode prints its summary on the standard streams: the library must add nothing there,
// not even about a user's smb.conf it cannot make sense of. (It reads that once per process,
// so this finds the fault when run on its own, as CTest runs every test.)
TEST(SmbQuietTest, StartingTheClientPrintsNothing) {
  TempDir home;
  home.Write(".smb/smb.conf", "[global]\n  no such parameter = 1\nnot a line of a config\n");
  const char* oldHome = std::getenv("HOME");
  const std::string saved = oldHome ? oldHome : "";
  setenv("HOME", home.Path().c_str(), 1);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  { SmbClient client; }
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  if (oldHome) {
    setenv("HOME", saved.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
}

}  // namespace
}  // namespace tolvane::test
