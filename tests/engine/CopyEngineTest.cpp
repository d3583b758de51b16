#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <regex>
#include <set>

#include "engine/CopyEngine.h"
#ifdef _WIN32
#include "platform/win32/WideText.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/WindowsApi.h"
#else
#include "platform/posix/PosixFileSystem.h"
#endif
#include "support/Fakes.h"
#include "support/FaultFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

using test::FaultFileSystem;
using test::FsOp;
using test::SetMTime;
using test::TempDir;

using test::TestOptions;

// An even second: kT and kT + 1 share one 2-second step (Tokyo's offset is whole hours).
// Sources are written at kT + 1, so a target at kT is earlier to the second, yet not older.
constexpr long long kT = 1700000000;
constexpr long long kSourceTime = kT + 1;
constexpr char kDest[] = R"(\\SRV\share\dest)";

class CopyEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.MakeDir("net/SRV/share");
    log.SetSaveToFileSource([] { return false; });
  }

  // A fresh destination and a fresh start for every case of a table.
  void Reset(bool batch = false) {
    std::filesystem::remove_all(Target(""));
    dir.MakeDir("net/SRV/share/dest");
    sink.lines.clear();
    prompts.asked.clear();
    pump.Reset();
    fs.ClearFaults();
    flags.StartRun();
    flags.stopRequested = false;
    flags.batchMode = batch;
  }

  std::string Source(const std::string& rel, const std::string& content = "new") {
    const std::string path = dir.Write("src/" + rel, content);
    SetMTime(path, kSourceTime);
    return path;
  }
  std::string Target(const std::string& rel) const { return dir / ("net/SRV/share/dest/" + rel); }
  std::string ReadTarget(const std::string& rel) const {
    return dir.Read("net/SRV/share/dest/" + rel);
  }
  std::string PutTarget(const std::string& rel, long long mtime) {
    const std::string path = dir.Write("net/SRV/share/dest/" + rel, "old");
    SetMTime(path, mtime);
    return path;
  }
  // Every file and folder under the destination, relative, folders with a trailing "/".
  std::set<std::string> DestTree() const {
    std::set<std::string> found;
    const std::filesystem::path root = Target("");
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
      found.insert(e.path().lexically_relative(root).generic_string() +
                   (e.is_directory() ? "/" : ""));
    }
    return found;
  }

  TempDir dir;
  test::NativeFileSystem real{dir / "net"};
  FaultFileSystem fs{real};
  test::ScriptedPrompts prompts;
  test::FakeEventPump pump;
  test::VectorLogSink sink;
  StatusLog log{fs, sink};
  TestOptions options;
  RunFlags flags;
  CopyEngine engine{fs, prompts, pump, log, options, flags};
};

TEST(CopyPathsTest, NamesAndPrefixesSplitAtTheSeparatorsThatApply) {
  struct Case {
    const char* path;
    const char* name;
    const char* prefix;
  } cases[] = {
      {R"(\\SRV\share\src\*.*)", "*.*", R"(\\SRV\share\src\)"},
      {R"(\\SRV\share/src\sub/x.txt)", "x.txt", R"(\\SRV\share/src\sub/)"},
      {"*.txt", "*.txt", ""},
#ifdef _WIN32
      {R"(C:\home\u\src\a.txt)", "a.txt", R"(C:\home\u\src\)"},
      {"a:b.txt", "b.txt", "a:"},  // a drive-relative path
#else
      {"/home/u/src/a.txt", "a.txt", "/home/u/src/"},
      {R"(/home/u/a\b.txt)", R"(a\b.txt)", "/home/u/"},  // a local name may hold "\"
      {"a:b.txt", "a:b.txt", ""},                        // no drive letters here
#endif
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractName(c.path), c.name) << c.path;
    EXPECT_EQ(SearchPrefix(c.path), c.prefix) << c.path;
  }
  EXPECT_EQ(JoinPath(kDest, "a.txt"), R"(\\SRV\share\dest\a.txt)");
  EXPECT_EQ(JoinPath(R"(\\SRV\share\)", "a.txt"), R"(\\SRV\share\a.txt)");
  EXPECT_EQ(JoinPath(test::NativeRelative("/local/dir"), "a.txt"),
            test::NativeRelative("/local/dir/a.txt"));
}

enum class TargetState { Absent, Older, Same, Newer };

TEST_F(CopyEngineTest, DecisionTableForOneFile) {
  struct Row {
    const char* what;
    TargetState target;
    bool confirm, butOld, batch;
    std::optional<PromptAnswer> answer;  // the overwrite question is asked exactly when set
    const char* outcome;                 // the log line's ending
    bool overwritten, failed;
  } rows[] = {
      // clang-format off
      {"absent target is created", TargetState::Absent, true, true, false, std::nullopt,
       " -> 成功", true, false},
      {"no confirmation: newer target overwritten", TargetState::Newer, false, false, false,
       std::nullopt, " -> 成功", true, false},
      {"older by a step, old ones not asked", TargetState::Older, true, true,
       false, std::nullopt, " -> 成功", true, false},
      {"older, asked, Yes", TargetState::Older, true, false, false, PromptAnswer::Yes,
       " -> 成功", true, false},
      {"same step counts as not older: asked even with old ones not asked", TargetState::Same,
       true, true, false, PromptAnswer::No, " -> スキップ", false, false},
      {"newer, asked, Yes", TargetState::Newer, true, true, false, PromptAnswer::Yes,
       " -> 成功", true, false},
      {"newer, asked, Cancel", TargetState::Newer, true, true, false, PromptAnswer::Cancel,
       " -> 中止", false, true},
      {"batch overwrites a newer target without asking", TargetState::Newer, true, false, true,
       std::nullopt, " -> 成功", true, false},
      // clang-format on
  };
  const std::string source = Source("a.txt", "new data");
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Reset(r.batch);
    options.confirm = r.confirm;
    options.butOld = r.butOld;
    if (r.target != TargetState::Absent) {
      const int offsets[] = {0, -1, 0, 2};
      PutTarget("a.txt", kT + offsets[static_cast<int>(r.target)]);
    }
    if (r.answer) prompts.answers.push_back(*r.answer);

    EXPECT_EQ(engine.CopyFileToFolder(source, kDest), r.failed);
    EXPECT_EQ(sink.lines, std::vector<std::string>{"  " + source + r.outcome});
    ASSERT_EQ(prompts.asked.size(), r.answer ? 1u : 0u);
    if (r.answer) {
      EXPECT_EQ(prompts.asked[0].kind, "YesNoCancel");
      EXPECT_EQ(prompts.asked[0].caption, "Tolvane 1.05");
      // The question's own lines, then both files' date and size, and whether the existing
      // one is newer.
      const std::string date = R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)";
      EXPECT_TRUE(std::regex_match(
          prompts.asked[0].text,
          std::regex("同名のファイルが存在します。\n  \\\\\\\\SRV\\\\share\\\\dest\\\\a\\.txt\n"
                     "上書きしますか？\n\n既存のファイル：" +
                     date + "  3 バイト\n配布するファイル：" + date + "  8 バイト" +
                     (r.target == TargetState::Newer ? "\n既存のファイルの方が新しいです。" : ""))))
          << prompts.asked[0].text;
    }
    EXPECT_EQ(ReadTarget("a.txt"), r.overwritten ? "new data" : "old");
    if (r.overwritten) {
      EXPECT_EQ(test::GetMTime(Target("a.txt")), kSourceTime);
    }
    // The pause and the pass over pending events follow a copied file only.
    EXPECT_EQ(pump.sleptMs, r.overwritten ? 10 : 0);
    EXPECT_EQ(pump.passes, r.overwritten ? 1 : 0);
    EXPECT_EQ(flags.stopRequested, r.answer == PromptAnswer::Cancel);
  }
}

TEST_F(CopyEngineTest, FailedCopyFollowsTheAnswerOrTheOptions) {
  struct Row {
    const char* what;
    int faults;  // failing copies before one succeeds; -1 for all
    bool ignoreError, batch;
    std::vector<PromptAnswer> answers;
    const char* outcome;
    bool failed, stop;
  } rows[] = {
      {"Retry, then success", 1, false, false, {PromptAnswer::Retry}, " -> 成功", false, false},
      {"Retry twice, then Abort",
       -1,
       false,
       false,
       {PromptAnswer::Retry, PromptAnswer::Retry, PromptAnswer::Abort},
       " -> 失敗",
       true,
       true},
      {"Ignore", -1, false, false, {PromptAnswer::Ignore}, " -> 失敗", true, false},
      {"IgnoreError: no question, no stop", -1, true, false, {}, " -> 失敗", true, false},
      {"batch: no question, stop", -1, false, true, {}, " -> 失敗", true, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Reset(r.batch);
    options.ignoreError = r.ignoreError;
    const std::string source = Source("a.txt");
    fs.FailOn(FsOp::CopyFile, "a.txt", r.faults);
    prompts.answers.assign(r.answers.begin(), r.answers.end());

    EXPECT_EQ(engine.CopyFileToFolder(source, kDest), r.failed);
    std::vector<std::string> lines{"  " + source + r.outcome};
    if (r.failed) lines.push_back("    理由: injected fault");
    EXPECT_EQ(sink.lines, lines);
    ASSERT_EQ(prompts.asked.size(), r.answers.size());
    for (const auto& q : prompts.asked) {
      EXPECT_EQ(q.kind, "AbortRetryIgnore");
      EXPECT_EQ(q.caption, "Tolvane 1.05");
      EXPECT_EQ(q.text,
                "エラーみたいですけど、リトライしますか？ 配布先：\\\\SRV\\share\\dest\n\n"
                "ファイル：" +
                    source + "\n理由：" + test::kFaultReason);
    }
    EXPECT_EQ(flags.stopRequested, r.stop);
  }
}

TEST_F(CopyEngineTest, RetryStartsOverFromTheExistenceTest) {
  // The failed attempt leaves a newer file at the target: the retry must see it, ask about
  // overwriting, and then replace it rather than insist on a new file; also when the run's plan
  // found no target there.
  for (const bool planned : {false, true}) {
    Reset();
    const std::string source = Source("a.txt");
    const RunPlan plan = PlanRun(fs, {source}, {kDest});
    engine.SetPlan(planned ? &plan.walk : nullptr, planned ? &plan.destinations[0] : nullptr);
    fs.FailOn(FsOp::CopyFile, "a.txt", 1);
    bool placed = false;
    fs.beforeOp = [&](FsOp op, const std::string&) {
      if (op == FsOp::CopyFile && !placed) {
        placed = true;
        PutTarget("a.txt", kT + 10);
      }
    };
    prompts.answers = {PromptAnswer::Retry, PromptAnswer::Yes};
    EXPECT_FALSE(planned ? engine.CopyEntry(source, kDest)
                         : engine.CopyFileToFolder(source, kDest));
    ASSERT_EQ(prompts.asked.size(), 2u) << planned;
    EXPECT_EQ(prompts.asked[1].kind, "YesNoCancel");
    EXPECT_EQ(ReadTarget("a.txt"), "new");
    fs.beforeOp = nullptr;
  }
  engine.SetPlan(nullptr, nullptr);
}

TEST_F(CopyEngineTest, SourceVanishingBeforeTheQuestionStopsTheRun) {
  const std::string source = Source("a.txt");
  PutTarget("a.txt", kT);
  fs.beforeOp = [&](FsOp op, const std::string& path) {
    if (op == FsOp::Find && path == JoinPath(kDest, "a.txt")) std::filesystem::remove(source);
  };
  EXPECT_TRUE(engine.CopyFileToFolder(source, kDest));
  EXPECT_EQ(sink.lines, std::vector<std::string>{source + "が見つかりません"});
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_TRUE(flags.stopRequested);
  EXPECT_EQ(ReadTarget("a.txt"), "old");
}

TEST_F(CopyEngineTest, TargetFolderOfTheSameNameTakesTheFailurePath) {
  const std::string source = Source("a.txt");
  dir.MakeDir("net/SRV/share/dest/a.txt");
  options.ignoreError = true;
  EXPECT_TRUE(engine.CopyFileToFolder(source, kDest));
  ASSERT_GE(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0], "  " + source + " -> 失敗");
  // The system's reason follows.
  ASSERT_EQ(sink.lines.size(), 2u);
  EXPECT_EQ(sink.lines[1].rfind("    理由: ", 0), 0u);
  EXPECT_TRUE(std::filesystem::is_directory(Target("a.txt")));
}

#ifndef _WIN32
TEST_F(CopyEngineTest, ALocalNameHoldingABackslashKeepsItOrIsRefused) {
  // One name here; in a network folder it would name b.txt in a sub-folder a.
  PutTarget("a/b.txt", kT);
  const std::string source = Source(R"(a\b.txt)");
  Source(R"(tree/s\1/x.txt)");
  options.ignoreError = true;
  EXPECT_TRUE(engine.CopyEntry(source, kDest));
  EXPECT_TRUE(engine.CopyEntry(dir / "src/tree", kDest));
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"  " + source + " -> 失敗",
                                                  "  " + (dir / R"(src/tree/s\1)") + " -> 失敗"}));
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_EQ(ReadTarget("a/b.txt"), "old");
  EXPECT_FALSE(dir.Exists("net/SRV/share/dest/s"));

  // A local folder holds it under its own name.
  EXPECT_FALSE(engine.CopyEntry(source, dir / "local"));
  EXPECT_EQ(dir.Read(R"(local/a\b.txt)"), "new");
}
#endif

TEST_F(CopyEngineTest, FolderEntryLandsItsContentsDirectlyUnderTheDestination) {
  Source("tree/a.txt");
  Source("tree/z.txt");
  Source("tree/.hidden");
  Source("tree/s1/x.txt");
  Source("tree/s2/y.txt");
  dir.MakeDir("src/tree/s2/empty");
  const std::string deep = std::string(kDest) + R"(\one\two)";

  EXPECT_FALSE(engine.CopyEntry(dir / "src/tree", deep));
  EXPECT_EQ(DestTree(),
            (std::set<std::string>{"one/", "one/two/", "one/two/a.txt", "one/two/z.txt",
                                   "one/two/.hidden", "one/two/s1/", "one/two/s1/x.txt",
                                   "one/two/s2/", "one/two/s2/y.txt", "one/two/s2/empty/"}));
  EXPECT_EQ(sink.lines.size(), 5u);
  const std::set<std::string> logged(sink.lines.begin(), sink.lines.end());
  EXPECT_TRUE(logged.count("  " + (dir / "src/tree/s1/x.txt") + " -> 成功"));
  EXPECT_EQ(pump.sleeps, 5);
}

TEST_F(CopyEngineTest, EntriesThatCopyNothing) {
  dir.MakeDir("src/empty");
  EXPECT_FALSE(engine.CopyEntry(dir / "src/empty", std::string(kDest) + R"(\new)"));
  EXPECT_TRUE(std::filesystem::is_directory(Target("new")));
  EXPECT_TRUE(sink.lines.empty());
}

TEST_F(CopyEngineTest, WhatIsNotCopiedIsLoggedAndFails) {
  Source("a.txt");
  Source("tree/s1/x");
  Source("tree/s2/y");
  const std::string a = dir / "src/a.txt";
  const std::string s1 = dir / "src/tree/s1";
  const std::string y = dir / "src/tree/s2/y";
  const std::string tree = dir / "src/tree";
  // The system's reason, in its own words (Windows: its error code's text).
  const auto because = [](const std::string& reason, unsigned long windowsError) {
#ifdef _WIN32
    (void)reason;
    return " (" + SystemErrorText(windowsError) + ")";
#else
    (void)windowsError;
    return " (" + reason + ")";
#endif
  };
  struct Row {
    const char* what;
    std::string entry;
    std::string folder;
    std::function<void()> arrange;
    std::vector<std::string> lines;
    int failed = 1;  // files counted as failed: every file that was to be copied
  } rows[] = {
      {"an entry gone since it was listed",
       dir / "src/missing.txt",
       kDest,
       {},
       {(dir / "src/missing.txt") + "が見つかりません",
        "  " + (dir / "src/missing.txt") + " -> 失敗"}},
      {"no such server",
       a,
       R"(\\NOSRV\share\d)",
       {},
       {R"(  フォルダを作成できません: \\NOSRV\share\d)" + because("No such file or directory", 3 /* ERROR_PATH_NOT_FOUND */),
        "  " + a + " -> 失敗"}},
      {"creating the folder refused",
       a,
       std::string(kDest) + R"(\other)",
       [&] { fs.FailOn(FsOp::CreateFolders); },
       {R"(  フォルダを作成できません: \\SRV\share\dest\other (injected fault))",
        "  " + a + " -> 失敗"}},
      {"a folder entry whose destination cannot be made",
       tree,
       std::string(kDest) + R"(\other)",
       [&] { fs.FailOn(FsOp::CreateFolders); },
       {R"(  フォルダを作成できません: \\SRV\share\dest\other (injected fault))",
        "  " + tree + " -> 失敗"},
       2},
      {"a sub-folder that cannot be read",
       tree,
       kDest,
       [&] { fs.FailOn(FsOp::Find, "s1"); },
       {"  フォルダを読めません: " + s1 + " (injected fault)", "  " + s1 + " -> 失敗",
        "  " + y + " -> 成功"}},
      {"a sub-folder whose name is a file at the destination",
       tree,
       kDest,
       [&] { PutTarget("s1", kT); },
       {R"(  フォルダを作成できません: \\SRV\share\dest\s1)" + because("Not a directory", 183 /* ERROR_ALREADY_EXISTS */),
        "  " + s1 + " -> 失敗", "  " + y + " -> 成功"}},
  };
  std::vector<Row> table(std::begin(rows), std::end(rows));
#ifndef _WIN32
  // Said as what it is, not as a way out of the network folder.
  const std::string tooLong = std::string(kDest) + "\\" + std::string(300, 'n');
  table.push_back({"a destination name too long for the system",
                   a,
                   tooLong,
                   {},
                   {"  フォルダを作成できません: " + tooLong + " (File name too long)",
                    "  " + a + " -> 失敗"}});
#endif
  for (const Row& r : table) {
    SCOPED_TRACE(r.what);
    Reset();
    if (r.arrange) r.arrange();
    test::ManualClock clock;
    RunProgress progress(clock, nullptr);
    progress.StartRun(1);
    engine.SetProgress(&progress);
    EXPECT_TRUE(engine.CopyEntry(r.entry, r.folder));
    engine.SetProgress(nullptr);
    // The order of sub-folders is the file system's: compare as sets.
    EXPECT_EQ(std::multiset<std::string>(sink.lines.begin(), sink.lines.end()),
              std::multiset<std::string>(r.lines.begin(), r.lines.end()));
    EXPECT_TRUE(prompts.asked.empty());
    // The summary counts as failed what the log calls failed, file by file.
    EXPECT_EQ(progress.Counts().failed, r.failed);
  }
  EXPECT_FALSE(dir.Exists("net/NOSRV"));
}

TEST_F(CopyEngineTest, LinksAndOwnDestinationsBoundTheWork) {
  // A destination inside the source folder; a stale temporary file of a dead process; (where
  // links are made here) a source folder with links back to itself, and a share link that
  // leads out of the network folder.
  Source("own/b");
  PutTarget("c", kT);
  EXPECT_FALSE(engine.CopyEntry(dir / "net/SRV/share/dest", std::string(kDest) + R"(\inside)"));
  EXPECT_EQ(DestTree(), (std::set<std::string>{"c", "inside/", "inside/c"}));

  Reset();
#ifdef _WIN32
  const std::string ours = "~tolvane-" + TemporaryFileHostTag();
  const std::string foreign = PutTarget("~tolvane-0000-999999999-0-1.tmp", kT);
#else
  const std::string ours = ".tolvane-" + TemporaryFileHostTag();
  const std::string foreign = PutTarget(".tolvane-0000-999999999-0-1.tmp", kT);
#endif
  const std::string stale = PutTarget(ours + "-999999999-0-1.tmp", kT);
  EXPECT_FALSE(engine.CopyEntry(dir / "src/own/b", kDest));
  EXPECT_FALSE(std::filesystem::exists(test::FsPath(stale)));
  EXPECT_TRUE(std::filesystem::exists(test::FsPath(foreign)));  // another machine's, or not ours

  Reset();
  Source("loop/a");
#ifdef _WIN32
  // Links to folders (junctions behave alike) where the system makes and follows them; Wine 8
  // makes them but cannot open a folder through one.
  const auto removeLinks = [this] {
    for (const char* link : {"src/loop/l1", "src/loop/l2"}) {
      RemoveDirectoryW(Widen(dir / link).c_str());
    }
  };
  bool linked = true;
  for (const char* link : {"src/loop/l1", "src/loop/l2"}) {
    linked = linked &&
             CreateSymbolicLinkW(
                 Widen(dir / link).c_str(), Widen(dir / "src/loop").c_str(),
                 SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
             real.Identity(dir / link);
  }
  if (!linked) {
    removeLinks();
    std::cout << "skipped: this system makes or follows no folder links here\n";
    return;
  }
#else
  std::filesystem::create_directory_symlink(".", dir / "src/loop/l1");
  std::filesystem::create_directory_symlink(dir / "src/loop", dir / "src/loop/l2");
#endif
  EXPECT_FALSE(engine.CopyEntry(dir / "src/loop", kDest));
  EXPECT_EQ(DestTree(), (std::set<std::string>{"a"}));
  EXPECT_EQ(sink.lines.size(), 3u);  // a, and one line for each link not followed
#ifdef _WIN32
  // The links go first: the clean-up of the folder must not walk into them.
  removeLinks();
#else

  Reset();
  dir.MakeDir("outside");
  std::filesystem::create_directory_symlink(dir / "outside", Target("escape"));
  EXPECT_TRUE(engine.CopyEntry(dir / "src/loop/a", std::string(kDest) + R"(\escape)"));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "outside"));
  EXPECT_EQ(sink.lines.front(),
            R"(  ネットワークフォルダの外を指すため書き込みません: \\SRV\share\dest\escape)");

  Reset();
  std::filesystem::remove_all(dir / "src/loop");
  dir.MakeDir("net/SRV/share/dest/inside");
  std::filesystem::create_directory_symlink(Target("inside"), dir / "src/own/out");
  EXPECT_FALSE(engine.CopyEntry(dir / "src/own", std::string(kDest) + R"(\inside)"));
  EXPECT_EQ(DestTree(), (std::set<std::string>{"inside/", "inside/b"}));
#endif
}

TEST_F(CopyEngineTest, WildcardEntryCopiesWhatMatches) {
  Source("a.txt");
  Source("B.TXT");
  Source(".dot.txt");
  Source("c.doc");
  EXPECT_FALSE(engine.CopyEntry(dir / "src/*.txt", kDest));
  EXPECT_EQ(DestTree(), (std::set<std::string>{"a.txt", "B.TXT", ".dot.txt"}));
}

TEST_F(CopyEngineTest, FailedFileLeavesTheRestOfItsFolderLevel) {
  for (const char* name : {"a", "b", "c", "d", "e"}) Source(std::string("lvl/") + name);
  options.ignoreError = true;
  fs.FailOn(FsOp::CopyFile, R"(\c)");
  std::set<std::string> before;
  for (const auto& e : real.Find(dir / "src/lvl/*.*")) {
    if (e.name == "c") break;
    before.insert(e.name);
  }

  test::ManualClock clock;
  RunProgress progress(clock, nullptr);
  progress.StartRun(1);
  engine.SetProgress(&progress);
  EXPECT_TRUE(engine.CopyEntry(dir / "src/lvl", kDest));
  engine.SetProgress(nullptr);
  EXPECT_EQ(DestTree(), before);
  // c and every file after it did not arrive.
  EXPECT_EQ(progress.Counts().failed, static_cast<int>(5 - before.size()));
  ASSERT_EQ(sink.lines.size(), before.size() + 3);
  EXPECT_EQ(sink.lines[before.size()], "  " + (dir / "src/lvl/c") + " -> 失敗");
  // What is left of the level is not copied, and the log says so.
  EXPECT_EQ(sink.lines.back(), "  このフォルダの残りは写しません: " + (dir / "src/lvl"));
  EXPECT_FALSE(flags.stopRequested);  // the run goes on with the next entry
}

TEST_F(CopyEngineTest, ASourceWrittenWhileItIsCopiedIsCopiedOnceMoreThenFails) {
#ifdef _WIN32
  GTEST_SKIP() << "Wine's CopyFileExW does not call the progress routine";
#endif
  const std::string reason = "    理由: コピーの間にファイルが変更されました";
  struct Row {
    const char* what;
    int changes;  // how many copies see their source change
    bool batch;
    std::vector<std::string> lines;  // after the source path
    std::string target;              // what the target holds afterwards
  } rows[] = {
      {"cut once", 1, false, {" -> 成功"}, ""},
      {"grows every time, errors ignored", 9, false, {" -> 失敗", reason}, "old"},
      {"grows every time, batch mode", 9, true, {" -> 失敗", reason}, "old"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Reset(r.batch);
    options.confirm = false;
    options.ignoreError = !r.batch;
    const std::string source = Source("a.txt", "the source as it was when the copy began");
    PutTarget("a.txt", kT);
    int changes = r.changes;
    fs.duringCopy = [&](const std::string& path) {
      if (changes-- <= 0) return;
      if (r.changes == 1) {
        std::filesystem::resize_file(path, 0);
      } else {
        dir.Write("src/a.txt", dir.Read("src/a.txt") + "+");
      }
    };
    EXPECT_TRUE(engine.CopyEntry(source, kDest) == (r.lines.front() != " -> 成功"));
    fs.duringCopy = nullptr;
    std::vector<std::string> expected{"  " + source + r.lines.front()};
    expected.insert(expected.end(), r.lines.begin() + 1, r.lines.end());
    EXPECT_EQ(sink.lines, expected);
    // The old target stays whole; nothing half-made is left beside it.
    EXPECT_EQ(ReadTarget("a.txt"), r.target);
    EXPECT_EQ(DestTree(), std::set<std::string>{"a.txt"});
    EXPECT_EQ(flags.stopRequested, r.batch);
  }
  options.confirm = true;
  options.ignoreError = false;
}

TEST_F(CopyEngineTest, StopIsNoticedAfterEachItem) {
  struct Row {
    const char* what;
    bool batch;
  } rows[] = {{"stop asked while events ran", false}, {"first failure in batch mode", true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Reset(r.batch);
    // Two sub-folders, so that a stop raised inside one must also end the level above it.
    Source("f/s1/a");
    Source("f/s2/b");
    if (r.batch) {
      fs.FailOn(FsOp::CopyFile);
    } else {
      pump.onProcess = [&] { flags.stopRequested = true; };
    }

    EXPECT_TRUE(engine.CopyEntry(dir / "src/f", kDest));
    EXPECT_EQ(sink.lines.size(), r.batch ? 2u : 1u);  // the failure has its reason
    EXPECT_TRUE(flags.stopRequested);
  }
}

TEST_F(CopyEngineTest, StopDuringALargeFileEndsItWithoutAPartialTarget) {
  if (test::RunningUnderWine()) {
    GTEST_SKIP() << "Wine's CopyFileExW does not call the progress routine";
  }
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "replacing an older file" : "a new file");
    Reset();
    const std::string source = Source("big.bin", std::string(8 << 20, 'b'));
    if (overwrite) PutTarget("big.bin", kT - 10);
#ifndef _WIN32
    real.SetChunkSize(1 << 20);
#endif
    test::ManualClock clock;
    RunProgress progress(clock, nullptr);
    progress.StartRun(1);
    engine.SetProgress(&progress);
    // The window is served between chunks, where Go asks the run to stop.
    pump.onProcess = [&] { flags.stopRequested = true; };

    EXPECT_TRUE(engine.CopyFileToFolder(source, kDest));
    EXPECT_EQ(sink.lines, std::vector<std::string>{"  " + source + " -> 中止"});
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(pump.passes, 1);
    EXPECT_EQ(pump.sleeps, 0);
    EXPECT_EQ(DestTree(), overwrite ? std::set<std::string>{"big.bin"} : std::set<std::string>{});
    if (overwrite) {
      EXPECT_EQ(ReadTarget("big.bin"), "old");
    }
    EXPECT_EQ(progress.Counts().failed, 1);
    EXPECT_EQ(progress.Counts().bytes, 0u);
    engine.SetProgress(nullptr);
  }
}

TEST_F(CopyEngineTest, OptionsAreReadWhenNeeded) {
  // Turning IgnoreError on while the retry question is shown applies to the next file: the
  // second file fails without a question.
  Source("f/a");
  Source("f/b");
  fs.FailOn(FsOp::CopyFile);
  prompts.answers = {PromptAnswer::Ignore};
  prompts.whileShown = [&] { options.ignoreError = true; };
  EXPECT_TRUE(engine.CopyFileToFolder(dir / "src/f/a", kDest));
  EXPECT_TRUE(engine.CopyFileToFolder(dir / "src/f/b", kDest));
  EXPECT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(sink.lines.size(), 4u);
}

}  // namespace
}  // namespace tolvane
