#include <gtest/gtest.h>

#include "support/FakeShellNamespace.h"
#include "support/Fakes.h"
#include "tree/NetworkTree.h"

namespace tolvane {
namespace {

using test::FakeShellNamespace;

const std::string kNet = "ネットワーク";

std::string P(std::initializer_list<std::string> names) {
  std::string path = kNet;
  for (const auto& name : names) path += "\t" + name;
  return path;
}

// A network with the awkward items a real shell hands out.
class NetworkTreeTest : public ::testing::Test {
 protected:
  NetworkTreeTest() {
    workgroup = shell.AddWorkgroup(FakeShellNamespace::kNetwork, "WORKGROUP");
    srv2 = shell.AddServer(workgroup, "SRV2");
    oldbox = shell.AddPathlessServer(workgroup, "OLDBOX");
    pub = shell.Add(oldbox, "pub", "\\\\OLDBOX\\pub", ShellIcon::Share);
    pubDir = shell.AddFolder(pub, "dir");
    whole = shell.AddWorkgroup(FakeShellNamespace::kNetwork, "ネットワーク全体");
    shell.AddWorkgroup(whole, "MSHOME");
    shell.AddWorkgroup(FakeShellNamespace::kNetwork, "::{208D2C60-3AEA}");
    srv = shell.AddServer(FakeShellNamespace::kNetwork, "SRV");
    share = shell.AddFolder(srv, "share");
    for (const char* name : {"zeta", "dir", "表示", "a::b", "Alpha"}) shell.AddFolder(share, name);
    dir = shell.At(share).children[1];
    shell.AddFolder(dir, "deep");
    gone = shell.AddFolder(srv, "gone");
    shell.AddFolder(gone, "x");
    shell.AddShortcut(FakeShellNamespace::kNetwork, "Docs on SRV", "docs.lnk", "\\\\SRV\\share");
    shell.AddShortcut(FakeShellNamespace::kNetwork, "Local", "local.lnk", "C:\\Data");
    shell.AddShortcut(FakeShellNamespace::kNetwork, "Broken", "broken.lnk", std::nullopt);
    // A file among the servers is never listed.
    shell.At(shell.Add(FakeShellNamespace::kNetwork, "readme.txt", "", ShellIcon::Other)).folder =
        false;
  }

  void Build() {
    network.AddNetworkRoot();
    network.ExpandRootAndSort();
    startupComplete = true;
  }

  TreeNode* Node(std::initializer_list<std::string> names) {
    return network.FindNodeByPath(P(names));
  }

  std::vector<std::string> Texts(const TreeNode* node) {
    std::vector<std::string> texts;
    for (int i = 0; i < node->ChildCount(); ++i) texts.push_back(node->Child(i)->Text());
    return texts;
  }

  FakeShellNamespace shell;
  DestinationTree tree;
  test::FakeEventPump pump;
  test::FakeCursor cursor;
  bool startupComplete = false;
  NetworkTree network{tree, shell, pump, cursor, [this] { return startupComplete; }};
  int workgroup, srv2, oldbox, pub, pubDir, whole, srv, share, dir, gone;
};

TEST_F(NetworkTreeTest, StartupListsTheNetworkLevelWithRecordsAndSortedTexts) {
  Build();
  TreeNode* root = tree.Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Text(), kNet);
  EXPECT_EQ(root->Record().nodePath, kNet);
  EXPECT_EQ(root->StateImage(), kStateNone);
  EXPECT_FALSE(root->Record().markable);
  EXPECT_FALSE(NetworkTree::HasDummyChild(root));
  // "::" items are left out; the shortcut is named after its own file, not its target.
  EXPECT_EQ(Texts(root), (std::vector<std::string>{"broken.lnk", "docs.lnk", "local.lnk", "SRV",
                                                   "WORKGROUP", "ネットワーク全体"}));

  struct Expected {
    std::string name;
    std::string folderPath;
    bool markable;
    int state;
    NodeIcon icon;
    bool dummy;
  };
  const Expected cases[] = {
      {"SRV", "\\\\SRV", true, kStateUnmarked, NodeIcon::Server, true},
      {"WORKGROUP", "", false, kStateNone, NodeIcon::Workgroup, true},
      {"ネットワーク全体", "", false, kStateNone, NodeIcon::Workgroup, true},
      {"docs.lnk", "\\\\SRV\\share", true, kStateUnmarked, NodeIcon::Shortcut, false},
      // A target outside the network has no folder path: no box, never marked.
      {"local.lnk", "", false, kStateNone, NodeIcon::Shortcut, false},
      {"broken.lnk", "", false, kStateNone, NodeIcon::Shortcut, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TreeNode* node = Node({c.name});
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Record().folderPath, c.folderPath);
    EXPECT_EQ(node->Record().markable, c.markable);
    EXPECT_EQ(node->StateImage(), c.state);
    EXPECT_EQ(node->Icon(), c.icon);
    EXPECT_EQ(NetworkTree::HasDummyChild(node), c.dummy);
    EXPECT_FALSE(IsHiddenPlaceholder(node->Parent(), node->Record()));
    if (c.dummy) {
      EXPECT_TRUE(IsHiddenPlaceholder(node, node->Child(0)->Record()));
      EXPECT_EQ(node->Child(0)->Text(), "");
      EXPECT_EQ(node->Child(0)->Record().nodePath, P({c.name, kDummyNodeName}));
      EXPECT_EQ(node->Child(0)->StateImage(), kStateNone);
    }
  }
  // Every listed item (the file too) pauses and lets the window run; a "::" item goes on at once.
  EXPECT_EQ(pump.sleeps, 7);
  EXPECT_EQ(pump.passes, 7);
  EXPECT_EQ(pump.sleptMs, 70);
}

TEST_F(NetworkTreeTest, SortOrderUpperCasesAsciiAndComparesUnsignedBytes) {
  struct Case {
    std::string a, b;
    int sign;
  };
  const Case cases[] = {
      {"abc", "ABC", 0}, {"a", "B", -1}, {"ab", "a", 1},     {"a", "ab", -1},
      {"Z", "_", -1},    {"z", "é", -1}, {"表", "表示", -1}, {"", "", 0},
  };
  for (const auto& c : cases) {
    const int result = NetworkTree::CompareNodeTexts(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
  }
}

TEST_F(NetworkTreeTest, ExpandingBeforeStartupCompleteListsNothing) {
  network.AddNetworkRoot();
  TreeNode* server = Node({"SRV"});
  EXPECT_TRUE(network.NodeExpanding(server));
  EXPECT_TRUE(NetworkTree::HasDummyChild(server));
  EXPECT_TRUE(cursor.history.empty());
}

TEST_F(NetworkTreeTest, ShareListingIsSortedAndKeepsAwkwardNames) {
  Build();
  ASSERT_TRUE(network.NodeExpanding(Node({"SRV"})));
  TreeNode* shareNode = Node({"SRV", "share"});
  const int passesBefore = pump.passes, sleepsBefore = pump.sleeps;
  ASSERT_TRUE(network.NodeExpanding(shareNode));

  EXPECT_EQ(Texts(shareNode), (std::vector<std::string>{"a::b", "Alpha", "dir", "zeta", "表示"}));
  // Folder listings pause but let nothing run in between.
  EXPECT_EQ(pump.sleeps - sleepsBefore, 5);
  EXPECT_EQ(pump.passes, passesBefore);
  // The hourglass shows for the expansion and the folder listing, and goes away afterwards.
  EXPECT_EQ(cursor.shape, CursorShape::Default);
  EXPECT_EQ(cursor.history.front(), CursorShape::Hourglass);

  TreeNode* colons = Node({"SRV", "share", "a::b"});
  EXPECT_EQ(colons->StateImage(), kStateUnmarked);
  EXPECT_FALSE(colons->Record().markable);
  TreeNode* wide = Node({"SRV", "share", "表示"});
  EXPECT_EQ(wide->Record().folderPath, "\\\\SRV\\share\\表示");
  EXPECT_TRUE(wide->Record().markable);
  EXPECT_TRUE(NetworkTree::HasDummyChild(Node({"SRV", "share", "dir"})));
  EXPECT_FALSE(NetworkTree::HasDummyChild(Node({"SRV", "share", "zeta"})));
}

// A folder that cannot be opened keeps its button, so that it can be tried again; one that is
// listed and empty loses it.
TEST_F(NetworkTreeTest, ListingsThatFindNothingRefuseToOpen) {
  shell.At(srv2).hasSubFolders = true;  // the shell promised shares, there are none
  Build();
  ASSERT_TRUE(network.NodeExpanding(Node({"SRV"})));
  shell.Vanish(gone);
  TreeNode* goneNode = Node({"SRV", "gone"});
  EXPECT_FALSE(network.NodeExpanding(goneNode));
  EXPECT_TRUE(NetworkTree::HasDummyChild(goneNode));

  ASSERT_TRUE(network.NodeExpanding(Node({"WORKGROUP"})));
  TreeNode* empty = Node({"WORKGROUP", "SRV2"});
  EXPECT_FALSE(network.NodeExpanding(empty));
  EXPECT_EQ(empty->ChildCount(), 0);
  // Once listed, a node opens as any other.
  EXPECT_TRUE(network.NodeExpanding(empty));
  EXPECT_EQ(cursor.shape, CursorShape::Default);
}

TEST_F(NetworkTreeTest, WorkgroupIsWalkedByDisplayNamesAndGivesNodePaths) {
  Build();
  shell.enumerations.clear();
  TreeNode* group = Node({"WORKGROUP"});
  EXPECT_EQ(network.ExpandNode(group), 2);
  EXPECT_EQ(shell.enumerations[FakeShellNamespace::kNetwork], 1);
  EXPECT_EQ(shell.enumerations[workgroup], 1);
  EXPECT_EQ(Texts(group), (std::vector<std::string>{"SRV2", "OLDBOX"}));  // not sorted here

  // A server without a UNC path keeps its display name and is walked again by it.
  TreeNode* box = Node({"WORKGROUP", "OLDBOX"});
  EXPECT_EQ(box->StateImage(), kStateNone);
  EXPECT_EQ(network.ExpandNode(box), 1);
  TreeNode* pubNode = Node({"WORKGROUP", "OLDBOX", "pub"});
  ASSERT_NE(pubNode, nullptr);
  EXPECT_TRUE(pubNode->Record().markable);
  EXPECT_EQ(network.ExpandNode(pubNode), 1);
  TreeNode* dirNode = pubNode->Child(0);
  EXPECT_EQ(dirNode->Record().nodePath, kNet + "\tWORKGROUP\tOLDBOX\tpub\tdir");
  EXPECT_EQ(dirNode->Record().folderPath, "\\\\OLDBOX\\pub\\dir");
}

TEST_F(NetworkTreeTest, WalkThatLosesItsWayAddsNothing) {
  Build();
  TreeNode* group = Node({"WORKGROUP"});
  shell.At(workgroup).displayName = "WORKGROUP2";  // renamed since start-up
  EXPECT_FALSE(network.NodeExpanding(group));
  EXPECT_EQ(group->ChildCount(), 0);
}

TEST_F(NetworkTreeTest, ItemVanishingDuringTheListingIsLeftOut) {
  Build();
  int seen = 0;
  pump.onProcess = [&] {
    if (++seen == 1) shell.Vanish(oldbox);
  };
  TreeNode* group = Node({"WORKGROUP"});
  EXPECT_EQ(network.ExpandNode(group), 1);
  EXPECT_EQ(Texts(group), (std::vector<std::string>{"SRV2"}));
}

TEST_F(NetworkTreeTest, RestoreAndFindByNodePath) {
  Build();
  struct Case {
    std::string path;
    bool found;
  };
  const Case cases[] = {
      {kNet, true},
      {P({"SRV", "share", "表示"}), true},
      {P({"WORKGROUP", "OLDBOX", "pub", "dir"}), true},
      {P({"docs.lnk"}), true},
      {P({"srv", "share"}), false},  // letter case counts
      {P({"SRV", "share", "nothere"}), false},
      {"Network\tSRV\tshare", false},  // another network name
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    network.RestoreNodes(c.path);
    TreeNode* node = network.FindNodeByPath(c.path);
    EXPECT_EQ(node != nullptr, c.found);
    if (node) {
      EXPECT_EQ(node->Record().nodePath, c.path);
    }
  }
  EXPECT_FALSE(NetworkTree::HasDummyChild(Node({"SRV", "share"})));
}

TEST_F(NetworkTreeTest, AFolderPathIsFoundAgainBelowItsServerWhenTheNodePathIsNoWay) {
  Build();
  // A folder that can be reached by its path, though no listing shows it.
  const int note = shell.Add(share, "note.txt", "", ShellIcon::Other);
  shell.At(note).folder = false;
  shell.At(shell.Add(note, "unlisted", "\\\\SRV\\share\\unlisted", ShellIcon::Folder))
      .hasSubFolders = true;
  struct Case {
    std::string folderPath;
    std::string nodePath;  // empty: not found
  } cases[] = {
      {"\\\\srv\\SHARE\\dir\\", P({"SRV", "share", "dir"})},  // listed; case is no matter
      {"\\\\SRV\\share\\unlisted", P({"SRV", "share", "unlisted"})},
      {"\\\\SRV\\share\\nothere", ""},  // cannot be reached
      {"\\\\SRV2\\c", ""},              // its server is not at the root
      {"\\\\SRV", ""},                  // a server is no destination
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folderPath);
    TreeNode* node = network.RestoreFolderPath(c.folderPath);
    EXPECT_EQ(node ? node->Record().nodePath : "", c.nodePath);
  }
  TreeNode* unlisted = Node({"SRV", "share", "unlisted"});
  ASSERT_NE(unlisted, nullptr);
  EXPECT_EQ(unlisted->Record().folderPath, "\\\\SRV\\share\\unlisted");
  EXPECT_EQ(unlisted->StateImage(), kStateUnmarked);
  EXPECT_TRUE(NetworkTree::HasDummyChild(unlisted));  // lists its own folders when opened
}

TEST_F(NetworkTreeTest, ServersNotListedYetAreAskedAheadTogether) {
  shell.AddPath("SRV3/s");
  Build();
  network.SetParallel([] { return 3; });
  // Each server once whatever its case, only those at the root, nothing for a local path.
  const std::vector<std::string> paths = {"\\\\SRV\\share\\dir", "\\\\srv\\share", "\\\\SRV3\\s",
                                          "\\\\SRV2\\c", "C:\\x"};
  network.ListServersAhead(paths);
  using Ahead = FakeShellNamespace::Ahead;
  EXPECT_EQ(shell.listedAhead, (std::vector<Ahead>{{{"\\\\SRV", "\\\\SRV3"}, 3}}));
  // A server listed already is not asked again, and one alone is left to the walk.
  network.RestoreNodes(P({"SRV", "share"}));
  network.ListServersAhead(paths);
  EXPECT_EQ(shell.listedAhead.size(), 1u);
  // Restoring marks asks ahead too, as many at once as the setting allows, at least one.
  network.SetParallel([] { return 0; });
  shell.AddPath("SRV4/t");
  network.Refresh(tree.Root());
  network.RestoreMarks({{"\\\\SRV3\\s", P({"SRV3", "s"})}, {"\\\\SRV4\\t", P({"SRV4", "t"})}});
  EXPECT_EQ(shell.listedAhead.back(), (Ahead{{"\\\\SRV3", "\\\\SRV4"}, 1}));
}

TEST_F(NetworkTreeTest, SecondPathReusesTheListedLevels) {
  Build();
  network.RestoreNodes(P({"SRV", "share", "dir", "deep"}));
  ASSERT_NE(Node({"SRV", "share", "dir", "deep"}), nullptr);
  const auto listed = shell.enumerations;
  network.RestoreNodes(P({"SRV", "share", "zeta"}));
  EXPECT_NE(Node({"SRV", "share", "zeta"}), nullptr);
  EXPECT_EQ(shell.enumerations, listed);
}

TEST_F(NetworkTreeTest, FailedRestoreKeepsWhatItListed) {
  Build();
  ASSERT_TRUE(network.NodeExpanding(Node({"SRV"})));
  shell.Vanish(share);  // gone after it was listed
  network.RestoreNodes(P({"SRV", "share", "dir"}));
  EXPECT_EQ(Node({"SRV", "share", "dir"}), nullptr);
  TreeNode* shareNode = Node({"SRV", "share"});
  ASSERT_NE(shareNode, nullptr);
  EXPECT_TRUE(NetworkTree::HasDummyChild(shareNode));
  EXPECT_FALSE(network.NodeExpanding(shareNode));
  shell.At(share).gone = false;  // back: opening it lists it
  EXPECT_TRUE(network.NodeExpanding(shareNode));
  EXPECT_NE(Node({"SRV", "share", "dir"}), nullptr);
}

TEST_F(NetworkTreeTest, MissingNetworkFolderGivesAnEmptyTree) {
  shell.networkMissing = true;
  Build();
  EXPECT_EQ(tree.NodeCount(), 0);
  network.RestoreNodes(kNet);
  EXPECT_EQ(network.FindNodeByPath(kNet), nullptr);
}

TEST_F(NetworkTreeTest, NodeRecordRules) {
  struct Case {
    std::string source, link;
    bool isLink, candidateIn;
    std::string folderPath, name;
    bool markable;
  };
  const Case cases[] = {
      {"\\\\SRV", "", false, true, "\\\\SRV", "SRV", true},
      {"\\\\SRV\\share\\dir", "", false, true, "\\\\SRV\\share\\dir", "dir", true},
      {"\\\\SRV\\x::y", "", false, true, "\\\\SRV\\x::y", "x::y", false},
      {"\\\\SRV\\share", "/net/docs", true, true, "\\\\SRV\\share", "docs", true},
      {"\\\\SRV\\share", "", true, true, "\\\\SRV\\share", "", true},
      {"Workgroup", "", false, false, "", "Workgroup", false},
      {"a/b", "", false, true, "", "a/b", false},  // display names are not split on "/"
      {"\\\\SRV\\share", "", false, false, "\\\\SRV\\share", "share", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    bool candidate = c.candidateIn;
    const NodeRecord record =
        NetworkTree::MakeNodeRecord(c.source, candidate, c.link, c.isLink, nullptr);
    EXPECT_EQ(record.folderPath, c.folderPath);
    EXPECT_EQ(record.nodeName, c.name);
    EXPECT_EQ(record.markable, c.markable);
    EXPECT_EQ(candidate, c.markable);
    EXPECT_EQ(record.nodePath, c.name);
  }
}

}  // namespace
}  // namespace tolvane
