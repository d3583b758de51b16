#include <gtest/gtest.h>

#include "SetupHarness.h"
#include "platform/Encoding.h"
#include "platform/TextFile.h"
#include "setup/ListFile.h"
#include "support/Fakes.h"

namespace tolvane::test {
namespace {

std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// Remembers what the tree asked the view to expand.
class ExpandRecorder : public test::NullTreeListener {
 public:
  std::vector<std::string> expanded;
  void ExpandNode(TreeNode* node) override { expanded.push_back(node->Record().nodeName); }
};

// Finds nodes already in the tree; records what it was asked to restore.
class FakeLocator : public NodeLocator {
 public:
  explicit FakeLocator(DestinationTree& tree) : tree_(tree) {}
  std::vector<std::string> restored;
  void RestoreNodes(const std::string& nodePath) override { restored.push_back(nodePath); }
  std::vector<std::vector<std::string>> ahead;
  std::size_t walkedBeforeAhead = 0;
  void ListServersAhead(const std::vector<std::string>& folderPaths) override {
    ahead.push_back(folderPaths);
    walkedBeforeAhead = restored.size();
  }
  TreeNode* FindNodeByPath(const std::string& nodePath) override {
    for (int i = 0; i < tree_.NodeCount(); ++i) {
      if (tree_.NodeAt(i)->Record().nodePath == nodePath) return tree_.NodeAt(i);
    }
    return nullptr;
  }

 private:
  DestinationTree& tree_;
};

constexpr char kRoot[] = "ネットワーク";

// A tree: the network, PC01 with share/apps and 表, PC02 with data.
struct ListHarness : SetupHarness {
  DestinationTree tree;
  ExpandRecorder view;
  FakeLocator locator{tree};
  ListFile listFile{fs, log, entries, sources, tree, locator};
  TreeNode* root;
  TreeNode* apps;
  TreeNode* hyo;
  TreeNode* data;

  ListHarness() {
    root = tree.AddNode(nullptr, {"", kRoot, kRoot, false}, kRoot, NodeIcon::Network, kStateNone);
    TreeNode* pc01 = Add(root, "PC01", R"(\\PC01)");
    TreeNode* share = Add(pc01, "share", R"(\\PC01\share)");
    apps = Add(share, "apps", R"(\\PC01\share\apps)");
    hyo = Add(pc01, "表", R"(\\PC01\表)");
    data = Add(Add(root, "PC02", R"(\\PC02)"), "data", R"(\\PC02\data)");
    tree.SetListener(&view);
  }
  TreeNode* Add(TreeNode* parent, const std::string& name, const std::string& folder) {
    return tree.AddNode(parent, {folder, name, parent->Record().nodePath + "\t" + name, true}, name,
                        NodeIcon::Folder, kStateUnmarked);
  }
  std::vector<std::string> Marked() const {
    std::vector<std::string> names;
    for (int i = 0; i < tree.NodeCount(); ++i) {
      if (IsMarkedState(tree.NodeAt(i)->StateImage())) {
        names.push_back(tree.NodeAt(i)->Record().nodeName);
      }
    }
    return names;
  }
};

TEST(ListFileTest, EmptySetupIsExactlyEightLines) {
  ListHarness h;
  ASSERT_TRUE(h.listFile.SaveList(h.dir / "empty.lst"));
  EXPECT_EQ(h.dir.Read("empty.lst"),
            Crlf({"[Source]", "Count=0", "", "[Destination]", "Count=0", "", "[Alias]", ""}));
  EXPECT_EQ(h.sink.lines, (std::vector<std::string>{"配布リスト保存 " + (h.dir / "empty.lst")}));
}

TEST(ListFileTest, RoundTripRestoresEntriesAndMarksAndWritesTheSameBytes) {
  ListHarness h;
  const std::string file = h.dir.Write("dist/setup.exe", "exe");
  const std::string folder = h.dir / "dist";
  h.entries.AddDroppedFiles({file, folder});
  h.tree.SetStateImage(h.data, kStateFailed);  // a red mark is saved like a blue one
  h.tree.SetStateImage(h.apps, kStateMarked);
  ASSERT_TRUE(h.listFile.SaveList(h.dir / "a.lst"));
  const std::string saved = h.dir.Read("a.lst");
  EXPECT_EQ(saved, ToSystemText(Crlf({"[Source]", "Count=2", "File0=" + file, "File1=" + folder, "",
                                      "[Destination]", "Count=2", R"(Folder0=\\PC01\share\apps)",
                                      R"(Folder1=\\PC02\data)", "", "[Alias]",
                                      "Folder0=ネットワーク\tPC01\tshare\tapps",
                                      "Folder1=ネットワーク\tPC02\tdata", ""})));

  ListHarness other;
  other.listFile.LoadList(h.dir / "a.lst");
  EXPECT_EQ(other.sources.Entries(), h.sources.Entries());
  EXPECT_EQ(other.Marked(), (std::vector<std::string>{"apps", "data"}));
  EXPECT_EQ(other.apps->StateImage(), kStateMarked);
  EXPECT_EQ(other.data->StateImage(), kStateMarked);
  // Each found node's ancestors open from its parent up; the node itself stays as it is.
  EXPECT_EQ(other.view.expanded, (std::vector<std::string>{"share", "PC01", kRoot, "PC02", kRoot}));
  EXPECT_EQ(other.sink.lines.at(0), "配布リスト読込 " + (h.dir / "a.lst"));
  ASSERT_TRUE(other.listFile.SaveList(h.dir / "b.lst"));
  EXPECT_EQ(h.dir.Read("b.lst"), saved);
}

TEST(ListFileTest, LoadTakesOnlyWhatCountAndKeysAllow) {
  ListHarness h;
  const std::string a = h.dir.Write("a", "a");
  const std::string b = h.dir.Write("b", "b");
  const std::string longValue = "/" + std::string(1499, 'L');
  struct Case {
    const char* name;
    std::string source;
    std::vector<std::string> paths;
    std::vector<std::string> log;
  } cases[] = {
      {"count past the keys", "Count=4\nFile0=" + a + "\nFile2=" + b + "\nFile3=\n", {a, b}, {}},
      {"keys past the count", "Count=1\nFile0=" + a + "\nFile1=" + b + "\n", {a}, {}},
      {"negative count", "Count=-3\nFile0=" + a + "\n", {}, {}},
      {"missing count", "File0=" + a + "\n", {}, {}},
      {"huge count, one high key",
       "Count=2147483647\nFile0=" + a + "\nFile2000000000=" + b + "\n",
       {a, b},
       {}},
      {"CR line ends", "Count=2\rFile0=" + a + "\rFile1=" + b + "\r", {a, b}, {}},
      {"same path twice", "Count=2\nfile0=" + a + "\nFILE1=" + a + "\n", {a, a}, {}},
      {"leading zeros are other keys", "Count=2\nFile00=" + a + "\nFile1=" + b + "\n", {b}, {}},
      // A missing source stays listed, so that the next save keeps it.
      {"long value kept whole although missing",
       "Count=1\nFile0=" + longValue + "\n",
       {longValue},
       {"ファイル無いみたいです " + longValue}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    h.sources.Clear();
    h.sink.lines.clear();
    h.listFile.LoadList(h.dir.Write("c.lst", "[Source]\n" + c.source));
    EXPECT_EQ(h.Paths(), c.paths);
    std::vector<std::string> log(h.sink.lines.begin() + 1, h.sink.lines.end());
    EXPECT_EQ(log, c.log);
  }
}

TEST(ListFileTest, DestinationsAreFoundByNodePathOnly) {
  ListHarness h;
  h.listFile.LoadList(h.dir.Write(
      "d.lst",
      "[Destination]\nCount=7\n"
      "Folder0=\\\\ELSEWHERE\\x\nFolder1=\\\\NONE\\lost\nFolder3=\\\\PC01\\share\\apps\n"
      "Folder4=\\\\ignored\nFolder5=\\\\PC01\\share\\apps\n"
      "[Alias]\nFolder0=ネットワーク\tPC02\tdata\nFolder1=ネットワーク\tNONE\tlost\n"
      "Folder2=ネットワーク\tGONE\nFolder3=ネットワーク\tPC01\tshare\tapps\nFolder4=\n"
      "Folder5=ネットワーク\tPC01\tshare\tapps\nFolder6=ネットワーク\n"));
  // The root cannot be marked by a click, but a list may still mark it.
  EXPECT_EQ(h.Marked(), (std::vector<std::string>{kRoot, "apps", "data"}));
  EXPECT_EQ(h.locator.restored.size(), 6u);  // the empty alias is not looked for
  // Their servers are asked all at once before the first walk.
  EXPECT_EQ(
      h.locator.ahead,
      (std::vector<std::vector<std::string>>{{"\\\\ELSEWHERE\\x", "\\\\NONE\\lost",
                                              "\\\\PC01\\share\\apps", "\\\\PC01\\share\\apps"}}));
  EXPECT_EQ(h.locator.walkedBeforeAhead, 0u);
  EXPECT_EQ(h.sink.lines, (std::vector<std::string>{
                              "配布リスト読込 " + (h.dir / "d.lst"),
                              "ノードを再現できませんでした。(\\\\NONE\\lost",
                              "ノードを再現できませんでした。(ネットワーク\\x09GONE",
                          }));
  // What could not be found again is saved again as it was read, after the marked nodes.
  ASSERT_TRUE(h.listFile.SaveList(h.dir / "e.lst"));
  const std::string saved = DecodeTextLines(h.dir.Read("e.lst"));
  EXPECT_NE(saved.find("[Destination]\r\nCount=5\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Folder3=\\\\NONE\\lost\r\nFolder4=\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Folder3=ネットワーク\tNONE\tlost\r\nFolder4=ネットワーク\tGONE\r\n"),
            std::string::npos);
}

TEST(ListFileTest, ShiftJisListFromWindowsLoadsIntact) {
  if (!SystemTextIsShiftJis()) GTEST_SKIP() << "this Windows does not write Shift-JIS";
  ListHarness h;
  const std::string file = h.dir.Write("表.txt", "x");
  // "表" is 0x95 0x5C in Shift-JIS: its second byte is a backslash.
  const std::string bytes =
      "[Source]\r\nCount=1\r\nFile0=" + h.dir.Path() + kSeparator + "\x95\x5C.txt\r\n\r\n" +
      "[Destination]\r\nCount=1\r\nFolder0=\\\\PC01\\\x95\x5C\r\n\r\n" +
      "[Alias]\r\nFolder0=\x83\x6C\x83\x62\x83\x67\x83\x8F\x81\x5B\x83\x4E\tPC01\t\x95\x5C\r\n";
  h.listFile.LoadList(h.dir.Write("sjis.lst", bytes));
  EXPECT_EQ(h.Paths(), (std::vector<std::string>{file}));
  EXPECT_EQ(h.hyo->StateImage(), kStateMarked);
  EXPECT_EQ(h.sink.lines.size(), 1u);
}

TEST(ListFileTest, FailedSaveLogsAndLeavesTheOldFileWhole) {
  ListHarness h;
  const std::string old = Crlf({"[Source]", "Count=0"});
  const std::string path = h.dir.Write("keep.lst", old);
  h.tree.SetStateImage(h.apps, kStateMarked);
  h.fs.FailOn(FsOp::ReplaceFile);
  EXPECT_FALSE(h.listFile.SaveList(path));
  EXPECT_EQ(h.dir.Read("keep.lst"), old);
  EXPECT_EQ(h.sink.lines,
            (std::vector<std::string>{"配布リスト保存 " + path,
                                      "保存できませんでした: " + path + " (injected fault)"}));
}

// The commands, with hooks that record what the main window was asked to do.
struct CommandHarness : ListHarness {
  ScriptedDialogs dialogs;
  ScriptedPrompts prompts;
  std::vector<std::string> calls;
  ListCommands commands{listFile, fs, dialogs, prompts,
                        ListCommandHooks{
                            [this] {
                              calls.push_back("clearMarks");
                              for (int i = 0; i < tree.NodeCount(); ++i) {
                                if (IsMarkedState(tree.NodeAt(i)->StateImage())) {
                                  tree.SetStateImage(tree.NodeAt(i), kStateUnmarked);
                                }
                              }
                            },
                            [this] { calls.push_back("collapse"); },
                            [this] {
                              calls.push_back("removeAll");
                              entries.RemoveAll();
                            },
                            [this] { calls.push_back("count"); },
                            [this] { calls.push_back("refresh"); },
                        }};
};

TEST(ListCommandsTest, OpenReplacesTheSetupOnlyWithAnExistingFile) {
  CommandHarness h;
  const std::string file = h.dir.Write("f", "f");
  const std::string list = h.dir.Write("n.lst", "[Source]\nCount=1\nFile0=" + file +
                                                    "\n[Destination]\nCount=1\n[Alias]\n"
                                                    "Folder0=ネットワーク\tPC02\tdata\n");
  h.entries.AddDroppedFiles({file, file});
  h.tree.SetStateImage(h.apps, kStateMarked);
  std::string listPath;
  h.dialogs.openResults = {{}, {h.dir / "missing.lst"}, {list}};

  h.commands.OpenList(listPath);  // cancelled
  EXPECT_TRUE(h.calls.empty());
  const OpenFileRequest& request = h.dialogs.openRequests.at(0);
  EXPECT_EQ(request.title, "配布情報を開く");
  EXPECT_EQ(request.filter, "List files (*.lst)|*.lst");
  EXPECT_EQ(request.filterIndex, 1);
  EXPECT_FALSE(request.multiSelect);
  EXPECT_EQ(request.initialFolder, "");

  h.commands.OpenList(listPath);
  EXPECT_EQ(h.calls, (std::vector<std::string>{"refresh"}));
  EXPECT_EQ(listPath, "");
  EXPECT_EQ(h.sources.Count(), 2);

  h.calls.clear();
  h.commands.OpenList(listPath);
  EXPECT_EQ(h.calls,
            (std::vector<std::string>{"removeAll", "clearMarks", "collapse", "count", "refresh"}));
  EXPECT_EQ(listPath, list);
  EXPECT_EQ(h.Paths(), (std::vector<std::string>{file}));
  EXPECT_EQ(h.Marked(), (std::vector<std::string>{"data"}));
}

TEST(ListCommandsTest, SaveAsAsksBeforeReplacingAndNoLeavesEverything) {
  CommandHarness h;
  const std::string existing = h.dir.Write("old.lst", "old");
  const std::string fresh = h.dir / "new.lst";
  std::string listPath = "/was/current.lst";
  h.dialogs.saveResults = {std::nullopt, existing, existing, fresh};
  h.prompts.answers = {PromptAnswer::No, PromptAnswer::Yes};

  h.commands.SaveAsList(listPath);  // cancelled: only the refresh
  EXPECT_EQ(h.calls, (std::vector<std::string>{"refresh"}));
  const SaveFileRequest& request = h.dialogs.saveRequests.at(0);
  EXPECT_EQ(request.title, "配布情報に名前を付けて保存");
  EXPECT_EQ(request.filter, "List files (*.lst)|*.lst");
  EXPECT_EQ(request.filterIndex, 1);
  EXPECT_EQ(request.defaultExtension, "lst");

  h.calls.clear();
  h.commands.SaveAsList(listPath);  // No
  EXPECT_TRUE(h.calls.empty());
  EXPECT_EQ(listPath, "/was/current.lst");
  EXPECT_EQ(h.dir.Read("old.lst"), "old");
  ASSERT_EQ(h.prompts.asked.size(), 1u);
  EXPECT_EQ(h.prompts.asked[0].kind, "YesNo");
  EXPECT_EQ(h.prompts.asked[0].caption, "Tolvane 1.05");
  EXPECT_EQ(h.prompts.asked[0].text, "同名の配布情報ファイルが存在します。\n上書きしますか？");

  h.commands.SaveAsList(listPath);  // Yes
  EXPECT_EQ(listPath, existing);
  EXPECT_EQ(h.dir.Read("old.lst").substr(0, 8), "[Source]");

  h.commands.SaveAsList(listPath);  // a new name: no question
  EXPECT_EQ(h.prompts.asked.size(), 2u);
  EXPECT_EQ(listPath, fresh);
  EXPECT_TRUE(h.dir.Exists("new.lst"));
}

TEST(ListCommandsTest, SaveAndStartUpFallBackToTheDefaultList) {
  CommandHarness h;
  const std::string defaultList = h.dir / "Pelmo.lst";
  h.commands.LoadAtStartup("", defaultList);
  EXPECT_EQ(h.sink.lines.back(), "配布リスト読込 " + defaultList);
  EXPECT_EQ(h.calls, (std::vector<std::string>{"count", "refresh"}));
  h.commands.SaveList("", defaultList);
  EXPECT_TRUE(h.dir.Exists("Pelmo.lst"));
  h.commands.SaveList(h.dir / "named.lst", defaultList);
  EXPECT_TRUE(h.dir.Exists("named.lst"));
}

}  // namespace
}  // namespace tolvane::test
