#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <system_error>
#include <thread>

#include "SmbTestBase.h"
#include "engine/CopyEngine.h"
#include "platform/posix/NetworkNamespace.h"
#include "platform/smb/SmbNetworkNamespace.h"
#include "support/Fakes.h"

namespace tolvane::test {
namespace {

std::vector<std::string> NamesOnDisk(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(FsPath(folder))) {
    names.push_back(Utf8(e.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadOnDisk(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

using SmbFileSystemTest = SmbTestBase;

TEST_F(SmbFileSystemTest, FindsFilesAndFoldersWithSizesAndTimes) {
  const std::string dir = NewFolder("guest");
  TempDir disk;
  const std::string base = OnDisk("guest", dir);
  std::filesystem::create_directories(base + "/sub");
  {
    std::ofstream(base + "/a.txt") << "hello";
    std::ofstream(base + "/B.TXT") << "hi";
    std::ofstream(base + "/.dot") << "";
  }
  SetMTime(base + "/a.txt", 1700000000);

  auto found = fs->Find(Unc("guest", dir + "\\*.txt"));
  std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.name < b.name; });
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, "B.TXT");
  EXPECT_EQ(found[1].name, "a.txt");
  EXPECT_EQ(found[1].size, 5u);
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(found[1].lastWrite.time_since_epoch())
                .count(),
            1700000000);
  EXPECT_EQ(fs->Find(Unc("guest", dir + "\\*")).size(), 4u);  // dot files too, no "." or ".."

  const auto one = fs->Find(Unc("guest", dir + "\\sub"));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_TRUE(one[0].isFolder);
  EXPECT_TRUE(fs->Find(Unc("guest", dir + "\\missing")).empty());
  EXPECT_TRUE(fs->Find(Unc("guest", "nothere\\*")).empty());

  EXPECT_TRUE(fs->Exists(Unc("guest", dir + "\\a.txt")));
  EXPECT_FALSE(fs->IsFolder(Unc("guest", dir + "\\a.txt")));
  EXPECT_TRUE(fs->IsFolder(Unc("guest", dir + "\\sub")));
  EXPECT_TRUE(fs->IsFolder(Unc("guest")));
  EXPECT_FALSE(fs->Exists(Unc("guest", dir + "\\missing")));
  EXPECT_FALSE(fs->Exists(Unc("noshare", "x")));
  // A path that is no path never reaches the server's root.
  EXPECT_FALSE(fs->Exists(Unc("guest", dir + "\\..\\..")));
}

TEST_F(SmbFileSystemTest, CopiesToTheServerKeepingTheTimeUnderAnEscapedName) {
  const std::string dir = NewFolder("guest");
  TempDir disk;
  const std::string source = disk.Write("src.bin", std::string(3 * 1024 * 1024 + 5, 'x'));
  SetMTime(source, 1600000000, 123456000);
  // Names a URL must escape: spaces, %, #, ?, and Japanese.
  const std::string name = "報告 書 100%#1.bin";

  std::vector<std::uint64_t> seen;
  const auto result = fs->CopyFileWithProgress(
      source, Unc("guest", dir + "\\" + name), true,
      [&](std::uint64_t done, std::uint64_t) { return seen.push_back(done), true; });
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.bytes, 3u * 1024 * 1024 + 5);
  // Told in steps up to the whole file.
  EXPECT_GT(seen.size(), 2u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 3u * 1024 * 1024 + 5);
  EXPECT_EQ(NamesOnDisk(OnDisk("guest", dir)), std::vector<std::string>{name});
  EXPECT_EQ(GetMTime(OnDisk("guest", dir + "/" + name)), 1600000000);

  // And back, and within the server: nothing left beside the copies either.
  ASSERT_TRUE(fs->CopyFile(Unc("guest", dir + "\\" + name), disk / "back.bin", true))
      << fs->LastError();
  EXPECT_EQ(disk.Read("back.bin").size(), 3u * 1024 * 1024 + 5);
  EXPECT_EQ(GetMTime(disk / "back.bin"), 1600000000);
  ASSERT_TRUE(fs->CreateFolders(Unc("guest", dir + "\\x\\y")));
  ASSERT_TRUE(fs->CopyFile(Unc("guest", dir + "\\" + name), Unc("guest", dir + "\\x\\y\\c"), true))
      << fs->LastError();
  EXPECT_EQ(NamesOnDisk(OnDisk("guest", dir + "/x/y")), std::vector<std::string>{"c"});
  EXPECT_EQ(NamesOnDisk(disk.Path()), (std::vector<std::string>{"back.bin", "src.bin"}));
}

// The workers of a run copy to one server at once, each through a context of its own, while
// the window thread's file system stays usable.
TEST_F(SmbFileSystemTest, WorkersCopyToOneServerAtOnce) {
  TempDir disk;
  const std::vector<std::string> names = {"f0.bin", "f1.bin", "f2.bin", "f3.bin", "f4.bin", "f5.bin"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    disk.Write(names[i], std::string(1500000 + i, static_cast<char>('a' + i)));
  }
  struct Worker {
    std::unique_ptr<FileSystem> fs;
    std::string folder;
    std::vector<std::string> errors;
  } workers[2];
  std::vector<std::thread> threads;
  for (Worker& w : workers) {
    w.fs = fs->ForWorker({});
    ASSERT_TRUE(w.fs);
    w.folder = NewFolder("guest");
    threads.emplace_back([&, &w = w] {
      for (const auto& name : names) {
        const std::string target = Unc("guest", w.folder + "\\" + name);
        if (!w.fs->CopyFile(disk / name, target, true)) w.errors.push_back(w.fs->LastError());
      }
    });
  }
  EXPECT_TRUE(fs->IsFolder(Unc("guest", workers[0].folder))) << fs->LastError();
  for (auto& t : threads) t.join();
  for (const Worker& w : workers) {
    EXPECT_EQ(w.errors, std::vector<std::string>{});
    EXPECT_EQ(NamesOnDisk(OnDisk("guest", w.folder)), names);
    for (const auto& name : names) {
      EXPECT_EQ(ReadOnDisk(OnDisk("guest", w.folder + "/" + name)), disk.Read(name)) << name;
    }
  }
}

TEST_F(SmbFileSystemTest, CancelLeavesNothingBehind) {
  const std::string dir = NewFolder("guest");
  TempDir disk;
  const std::string source = disk.Write("src.bin", std::string(2 * 1024 * 1024 + 1, 'x'));
  const auto result = fs->CopyFileWithProgress(source, Unc("guest", dir + "\\t.bin"), false,
                                               [](std::uint64_t, std::uint64_t) { return false; });
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.cancelled);
  EXPECT_TRUE(NamesOnDisk(OnDisk("guest", dir)).empty());
}

TEST_F(SmbFileSystemTest, DecidesWhatAnExistingTargetAllows) {
  const std::string dir = NewFolder("guest");
  TempDir disk;
  const std::string source = disk.Write("new.txt", "new");
  const std::string base = OnDisk("guest", dir);
  std::ofstream(base + "/plain.txt") << "old";
  std::ofstream(base + "/locked.txt") << "old";
  chmod((base + "/locked.txt").c_str(), 0444);
  std::filesystem::create_directories(base + "/folder.txt");

  struct Case {
    const char* target;
    bool failIfExists;
    bool ok;
    const char* content;  // what the target holds afterwards
    int reason;           // the failure's errno; 0: any reason
  };
  const Case cases[] = {
      {"fresh.txt", true, true, "new", 0},
      {"plain.txt", true, false, "old", EEXIST},
      {"plain.txt", false, true, "new", 0},
      {"locked.txt", false, false, "old", 0},
      // A folder is named as one, also where the target had to be new.
      {"folder.txt", false, false, nullptr, EISDIR},
      {"folder.txt", true, false, nullptr, EISDIR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.target) + (c.failIfExists ? " (must be new)" : ""));
    // Asked first as a run asks, so that the copy may go by these answers.
    const std::string target = Unc("guest", dir + "\\" + c.target);
    const bool existed = fs->Exists(target);
    EXPECT_EQ(existed && fs->IsFolder(target), std::string(c.target) == "folder.txt");
    const auto result = fs->CopyFileWithProgress(source, target, c.failIfExists, nullptr);
    EXPECT_EQ(result.ok, c.ok);
    // What was said before the copy is not taken for what is there after it.
    EXPECT_EQ(fs->Exists(target), existed || c.ok);
    if (!c.ok) {
      EXPECT_FALSE(result.error.empty());
      if (c.reason != 0) {
        EXPECT_EQ(result.error, std::system_category().message(c.reason));
      }
    }
    if (c.content) {
      EXPECT_EQ(ReadOnDisk(base + "/" + c.target), c.content);
    }
  }
  EXPECT_EQ(NamesOnDisk(base),
            (std::vector<std::string>{"folder.txt", "fresh.txt", "locked.txt", "plain.txt"}));
}

// A source written to while it is read, either way over the wire: nothing takes the target's
// name, and the copy says why it failed.
TEST_F(SmbFileSystemTest, ASourceChangedWhileItIsCopiedLeavesTheTargetAlone) {
  const std::string dir = NewFolder("guest");
  const std::string base = OnDisk("guest", dir);
  TempDir disk;
  const std::string content(2 * 1024 * 1024 + 5, 'x');
  struct Case {
    const char* what;
    bool sourceOnServer;
    std::function<void(const std::string&)> change;  // done to the source after one chunk
  };
  const Case cases[] = {
      {"cut short, from the server", true,
       [](const std::string& path) { std::filesystem::resize_file(FsPath(path), 1000); }},
      {"cut short, to the server", false,
       [](const std::string& path) { std::filesystem::resize_file(FsPath(path), 1000); }},
      {"rewritten in place, from the server", true,
       [](const std::string& path) { SetMTime(path, 1700000100); }},
      {"rewritten in place, to the server", false,
       [](const std::string& path) { SetMTime(path, 1700000100); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string onDisk = c.sourceOnServer ? base + "/src.bin" : disk / "src.bin";
    std::ofstream(onDisk, std::ios::binary | std::ios::trunc) << content;
    SetMTime(onDisk, 1700000000);
    const std::string source = c.sourceOnServer ? Unc("guest", dir + "\\src.bin") : onDisk;
    const std::string target =
        c.sourceOnServer ? disk / "dst.bin" : Unc("guest", dir + "\\dst.bin");
    const std::string targetOnDisk = c.sourceOnServer ? disk / "dst.bin" : base + "/dst.bin";
    std::ofstream(targetOnDisk, std::ios::trunc) << "old";
    int chunks = 0;
    const auto result =
        fs->CopyFileWithProgress(source, target, false, [&](std::uint64_t, std::uint64_t) {
          if (++chunks == 1) c.change(onDisk);
          return true;
        });
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.sourceChanged);
    EXPECT_TRUE(ReadOnDisk(targetOnDisk) == "old");
    // No temporary file beside the target either.
    const std::vector<std::string> src{"src.bin"}, dst{"dst.bin"};
    EXPECT_EQ(NamesOnDisk(base), c.sourceOnServer ? src : dst);
    EXPECT_EQ(NamesOnDisk(disk.Path()), c.sourceOnServer ? dst : src);
    std::filesystem::remove(FsPath(onDisk));
    std::filesystem::remove(FsPath(targetOnDisk));
  }
}

// A server that goes away in the middle of a copy is named as the reason, not whatever the
// clean-up ran into afterwards.
TEST_F(SmbFileSystemTest, AConnectionLostInTheMiddleIsTheReason) {
  const std::string dir = NewFolder("guest");
  TempDir disk;
  const std::string source = disk.Write("src.bin", std::string(2 * 1024 * 1024 + 5, 'x'));
  int chunks = 0;
  const auto result = fs->CopyFileWithProgress(source, Unc("guest", dir + "\\t.bin"), true,
                                               [&](std::uint64_t, std::uint64_t) {
                                                 if (++chunks == 1) Server().DropConnections();
                                                 return true;
                                               });
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.sourceChanged);
  EXPECT_EQ(result.error.rfind(Server().Host() + " との接続が切れました: ", 0), 0u) << result.error;
  EXPECT_TRUE(NamesOnDisk(OnDisk("guest", dir)).empty());
}

TEST_F(SmbFileSystemTest, AReadOnlyShareRefusesWithAReason) {
  TempDir disk;
  const std::string source = disk.Write("a.txt", "a");
  const auto result = fs->CopyFileWithProgress(source, Unc("readonly", "a.txt"), false, nullptr);
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.empty());
  EXPECT_EQ(fs->LastError(), result.error);
  EXPECT_FALSE(fs->CreateFolders(Unc("readonly", "d")));
  EXPECT_FALSE(fs->LastError().empty());
  EXPECT_TRUE(NamesOnDisk(Server().SharePath("readonly")).empty());
}

TEST_F(SmbFileSystemTest, WritesReadsRenamesAndDeletes) {
  const std::string dir = NewFolder("guest");
  const std::string log = Unc("guest", dir + "\\log.txt");
  ASSERT_TRUE(fs->AppendToFile(log, "one\n")) << fs->LastError();
  ASSERT_TRUE(fs->AppendToFile(log, "two\n")) << fs->LastError();
  EXPECT_EQ(fs->ReadFile(log), "one\ntwo\n");
  ASSERT_TRUE(fs->ReplaceFile(log, "three\n")) << fs->LastError();
  EXPECT_EQ(fs->ReadFile(log), "three\n");
  ASSERT_TRUE(fs->ReplaceFile(Unc("guest", dir + "\\other.txt"), "x"));
  EXPECT_FALSE(fs->RenameFile(log, Unc("guest", dir + "\\other.txt")));  // never replaces
  EXPECT_TRUE(fs->RenameFile(log, Unc("guest", dir + "\\moved.txt")));
  EXPECT_TRUE(fs->DeleteFile(Unc("guest", dir + "\\moved.txt")));
  EXPECT_FALSE(fs->DeleteFile(Unc("guest", dir + "\\moved.txt")));
  EXPECT_EQ(NamesOnDisk(OnDisk("guest", dir)), std::vector<std::string>{"other.txt"});
}

TEST_F(SmbFileSystemTest, RemovesOnlyStaleTemporaryFilesOfThisHost) {
  const std::string dir = NewFolder("guest");
  const std::string base = OnDisk("guest", dir);
  const std::string host = TemporaryFileHostTag();
  // A process id that is surely gone, one that lives (ours), and another host's file.
  const std::string stale = ".tolvane-" + host + "-999999999-0-1.tmp";
  const std::string live = ".tolvane-" + host + "-" + std::to_string(getpid()) + "-0-1.tmp";
  const std::string foreign = ".tolvane-0badf00d-999999999-0-1.tmp";
  for (const auto& n : {stale, live, foreign}) std::ofstream(base + "/" + n) << "x";
  fs->RemoveStaleTemporaryFiles(Unc("guest", dir));
  EXPECT_EQ(NamesOnDisk(base), (std::vector<std::string>{foreign, live}));
}

// SmbPort is the only way to the server: nothing tries the standard ports behind its back (a
// firewall that drops them silently would stall every call that did).
TEST_F(SmbFileSystemTest, EveryCallGoesThroughTheServersPort) {
  std::vector<int> listeners;
  for (const int port : {445, 139}) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0) {
      close(s);
      for (const int l : listeners) close(l);
      GTEST_SKIP() << "cannot listen on port " << port << " here (tests run as root in CI)";
    }
    listeners.push_back(s);
  }
  const std::string dir = NewFolder("guest");
  const std::string base = OnDisk("guest", dir);
  TempDir disk;
  const std::string source = disk.Write("a.txt", "new");
  std::ofstream(base + "/a.txt") << "old";
  // An existing target is replaced: its attributes are looked at first.
  ASSERT_TRUE(fs->CopyFile(source, Unc("guest", dir + "\\a.txt"), false)) << fs->LastError();
  ASSERT_TRUE(fs->CopyFile(Unc("guest", dir + "\\a.txt"), disk / "back.txt", false));
  EXPECT_TRUE(fs->CreateFolders(Unc("guest", dir + "\\x\\y")));
  EXPECT_TRUE(fs->Identity(Unc("guest", dir + "\\x")).has_value());
  fs->RemoveStaleTemporaryFiles(Unc("guest", dir));
  EXPECT_EQ(fs->Find(Unc("guest", dir + "\\*")).size(), 2u);
  EXPECT_TRUE(fs->ReplaceFile(Unc("guest", dir + "\\b.txt"), "b"));
  EXPECT_TRUE(fs->AppendToFile(Unc("guest", dir + "\\b.txt"), "c"));
  EXPECT_TRUE(fs->RenameFile(Unc("guest", dir + "\\b.txt"), Unc("guest", dir + "\\c.txt")));
  EXPECT_TRUE(fs->DeleteFile(Unc("guest", dir + "\\c.txt")));
  // The server's list of shares too.
  PosixNetworkNamespace localNetwork;
  SmbNetworkNamespace network(localNetwork, *client);
  const auto server = network.ParsePath("\\\\" + Server().Host());
  ASSERT_TRUE(server);
  const auto shares = network.Enumerate(*server, true);
  ASSERT_TRUE(shares);
  EXPECT_TRUE(shares->Next());
  for (const int l : listeners) {
    EXPECT_LT(accept(l, nullptr, nullptr), 0) << "a connection to a standard port";
    close(l);
  }
  EXPECT_EQ(ReadOnDisk(base + "/a.txt"), "new");
}

class NoQuestions : public CopyOptions {
 public:
  bool ConfirmOverWrite() const override { return false; }
  bool ButOldIsIgnore() const override { return false; }
  bool IgnoreError() const override { return true; }
};

// What keeps a run bounded on a local folder keeps it bounded on a share: the server's file ids
// tell a folder reached twice, whatever way it was reached.
TEST_F(SmbFileSystemTest, TheCopyGuardsHoldOnAShare) {
  const std::string dir = NewFolder("guest");
  const std::string base = OnDisk("guest", dir);
  std::filesystem::create_directories(base + "/loop/sub");
  std::ofstream(base + "/loop/a") << "a";
  std::ofstream(base + "/loop/sub/b") << "b";
  // Links made on the server's side, back to the folder itself and to its parent.
  std::filesystem::create_directory_symlink(".", base + "/loop/self");
  std::filesystem::create_directory_symlink("..", base + "/loop/sub/up");
  std::filesystem::create_directories(base + "/dest");
  const std::string host = TemporaryFileHostTag();
  const std::string stale = ".tolvane-" + host + "-999999999-0-1.tmp";
  const std::string foreign = ".tolvane-0badf00d-999999999-0-1.tmp";
  for (const auto& n : {stale, foreign}) std::ofstream(base + "/dest/" + n) << "x";

  NoQuestions options;
  RunFlags flags;
  test::ScriptedPrompts prompts;
  test::FakeEventPump pump;
  test::VectorLogSink sink;
  StatusLog log{*fs, sink};
  log.SetSaveToFileSource([] { return false; });
  CopyEngine engine{*fs, prompts, pump, log, options, flags};
  // Should a guard fail, the run is stopped after a few dozen files rather than never ending.
  int files = 0;
  pump.onProcess = [&] { flags.stopRequested = flags.stopRequested || ++files > 40; };

  // A link loop ends; each folder is copied once. Stale temporary files of ours go first.
  EXPECT_FALSE(engine.CopyEntry(Unc("guest", dir + "\\loop"), Unc("guest", dir + "\\dest")));
  EXPECT_EQ(NamesOnDisk(base + "/dest"), (std::vector<std::string>{foreign, "a", "sub"}));
  EXPECT_EQ(NamesOnDisk(base + "/dest/sub"), std::vector<std::string>{"b"});

  // A destination inside the source folder is not copied into itself.
  sink.lines.clear();
  flags.StartRun();
  files = 0;
  EXPECT_FALSE(
      engine.CopyEntry(Unc("guest", dir + "\\loop"), Unc("guest", dir + "\\loop\\sub\\in")));
  EXPECT_EQ(NamesOnDisk(base + "/loop/sub/in"), (std::vector<std::string>{"a", "sub"}));
  EXPECT_EQ(NamesOnDisk(base + "/loop/sub/in/sub"), std::vector<std::string>{"b"});
  EXPECT_EQ(std::count_if(sink.lines.begin(), sink.lines.end(),
                          [](const std::string& line) {
                            return line.find("配布先のフォルダなので写しません") !=
                                   std::string::npos;
                          }),
            1)
      << ::testing::PrintToString(sink.lines);
}

}  // namespace
}  // namespace tolvane::test
