#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/NetworkNamespace.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "tree/NetworkTree.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

const std::string kNet = "ネットワーク";

// The tree over a real folder standing for the network.
class NetworkRootTest : public ::testing::Test {
 protected:
  NetworkRootTest() {
    root.MakeDir("net/SRV/share/dir/deep");
    root.MakeDir("net/SRV/share/表示/.snapshot");  // hidden: no button for it
    root.MakeDir("net/SRV/share/.snapshot/hourly");
    root.MakeDir("net/.hidden");
    root.MakeDir("net/SRV/share/a\\b");  // cannot be written as a UNC path
    root.Write("net/SRV/share/file.txt", "x");
    root.MakeDir("net/SRV/empty");
    root.MakeDir("net/bare");
    root.Write("net/notes.txt", "x");
    root.MakeDir("elsewhere/inside");
    fs::create_directory_symlink(root / "net/SRV/share", root / "net/docs");
    fs::create_directory_symlink("SRV/share/dir", root / "net/rel");
    fs::create_directory_symlink(root / "elsewhere", root / "net/outside");
    fs::create_symlink(root / "net/notes.txt", root / "net/filelink");
    fs::create_directory_symlink("dir", root / "net/SRV/share/link");
  }

  void Build(const std::string& networkRoot) {
    shell = std::make_unique<PosixNetworkNamespace>(networkRoot);
    network = std::make_unique<NetworkTree>(tree, *shell, pump, cursor, [] { return true; });
    network->AddNetworkRoot();
    network->ExpandRootAndSort();
  }

  TreeNode* Node(const std::string& below) {
    return network->FindNodeByPath(below.empty() ? kNet : kNet + "\t" + below);
  }

  test::TempDir root;
  DestinationTree tree;
  test::FakeEventPump pump;
  test::FakeCursor cursor;
  std::unique_ptr<PosixNetworkNamespace> shell;
  std::unique_ptr<NetworkTree> network;
};

TEST_F(NetworkRootTest, ServersSharesAndNetworkPlacesFromTheFolder) {
  Build(root / "net/");
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_EQ(tree.Root()->Text(), kNet);

  struct Expected {
    std::string nodePath;  // below the root
    std::string folderPath;
    int state;
    NodeIcon icon;
  };
  const Expected cases[] = {
      {"SRV", "\\\\SRV", kStateUnmarked, NodeIcon::Server},
      {"bare", "\\\\bare", kStateUnmarked, NodeIcon::Server},
      {"docs", "\\\\SRV\\share", kStateUnmarked, NodeIcon::Shortcut},
      {"rel", "\\\\SRV\\share\\dir", kStateUnmarked, NodeIcon::Shortcut},
      {"outside", "", kStateNone, NodeIcon::Shortcut},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nodePath);
    TreeNode* node = Node(c.nodePath);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Record().folderPath, c.folderPath);
    EXPECT_EQ(node->StateImage(), c.state);
    EXPECT_EQ(node->Icon(), c.icon);
  }
  EXPECT_EQ(tree.Root()->ChildCount(), 5);  // no files, no link to a file, nothing hidden

  // Listing through the UNC path; a name holding "\" and hidden folders are left out, a link to
  // a folder is one.
  network->RestoreNodes(kNet + "\tSRV\tshare\t表示");
  TreeNode* share = Node("SRV\tshare");
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(share->Icon(), NodeIcon::Share);
  ASSERT_EQ(share->ChildCount(), 3);
  EXPECT_EQ(share->Child(0)->Text(), "dir");
  EXPECT_TRUE(NetworkTree::HasDummyChild(share->Child(0)));
  EXPECT_EQ(share->Child(1)->Text(), "link");
  EXPECT_TRUE(NetworkTree::HasDummyChild(share->Child(1)));
  EXPECT_EQ(share->Child(2)->Record().folderPath, "\\\\SRV\\share\\表示");
  EXPECT_FALSE(NetworkTree::HasDummyChild(share->Child(2)));

  // A server without shares loses its button when opened; so does a folder that went away.
  EXPECT_FALSE(network->NodeExpanding(Node("bare")));
  EXPECT_EQ(Node("bare")->ChildCount(), 0);
  EXPECT_FALSE(NetworkTree::HasDummyChild(Node("SRV\tempty")));
  fs::remove_all(root / "net/SRV/share/dir");
  EXPECT_FALSE(network->NodeExpanding(Node("SRV\tshare\tdir")));
}

TEST_F(NetworkRootTest, UnusableRootGivesARootWithoutChildren) {
  for (const std::string& bad : {root / "missing", root / "net/notes.txt"}) {
    SCOPED_TRACE(bad);
    tree.Clear();
    Build(bad);
    ASSERT_NE(tree.Root(), nullptr);
    EXPECT_EQ(tree.Root()->ChildCount(), 0);
  }
}

TEST_F(NetworkRootTest, UncPathsStayInsideTheRoot) {
  PosixNetworkNamespace shell(root / "net");
  EXPECT_TRUE(shell.ParsePath("\\\\SRV\\share"));
  for (const char* path : {"\\\\SRV\\..\\..\\elsewhere", "\\\\outside", "\\\\outside\\inside",
                           "\\\\docs", "\\\\SRV\\share\\file.txt", "\\\\nothere", "/net/SRV"}) {
    EXPECT_FALSE(shell.ParsePath(path)) << path;
  }
}

}  // namespace
}  // namespace tolvane
