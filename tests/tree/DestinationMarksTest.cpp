#include <gtest/gtest.h>

#include "support/Fakes.h"
#include "tree/DestinationMarks.h"

namespace tolvane {
namespace {

// Records what the view is asked to do.
class RecordingListener : public test::NullTreeListener {
 public:
  std::vector<TreeNode*> collapsed;
  std::vector<TreeNode*> changed;
  void StateImageChanged(TreeNode* node) override { changed.push_back(node); }
  void CollapseSubtree(TreeNode* node) override { collapsed.push_back(node); }
};

TreeNode* Add(DestinationTree& tree, TreeNode* parent, const std::string& name, int state,
              bool markable) {
  NodeRecord record{"\\\\" + name, name, name, markable};
  return tree.AddNode(parent, record, name, NodeIcon::Folder, state);
}

TEST(DestinationMarksTest, ToggleFollowsTheMarkAndHonoursMarkable) {
  struct Case {
    int state;
    bool markable;
    int after;
    bool toggled;
  };
  const Case cases[] = {
      {kStateUnmarked, true, kStateMarked, true}, {kStateMarked, true, kStateUnmarked, true},
      {kStateFailed, true, kStateUnmarked, true}, {kStateUnmarked, false, kStateUnmarked, false},
      {kStateNone, false, kStateNone, false},
  };
  for (const auto& c : cases) {
    DestinationTree tree;
    TreeNode* node = Add(tree, nullptr, "n", c.state, c.markable);
    EXPECT_EQ(ToggleMark(tree, node), c.toggled) << c.state;
    EXPECT_EQ(node->StateImage(), c.after) << c.state;
  }
  DestinationTree tree;
  EXPECT_FALSE(ToggleMark(tree, nullptr));

  // Names the list file could not give back are refused, with the reason for the status bar;
  // below such a name too. A name that is only awkward (blanks at its end) is fine.
  TreeNode* root = Add(tree, nullptr, "root", kStateNone, false);
  for (const std::string name : {"line\nfeed", "ta\tb", "bad\xFF", "end "}) {
    SCOPED_TRACE(name);
    TreeNode* node = Add(tree, root, name, kStateUnmarked, true);
    TreeNode* child = Add(tree, node, "child", kStateUnmarked, true);
    std::string why;
    const bool listable = name == "end ";
    EXPECT_EQ(ToggleMark(tree, child, &why), listable);
    EXPECT_EQ(why.empty(), listable);
    EXPECT_EQ(IsMarkedState(child->StateImage()), listable);
  }
}

TEST(DestinationMarksTest, CountCaptionAndClear) {
  DestinationTree tree;
  TreeNode* root = Add(tree, nullptr, "root", kStateNone, false);
  TreeNode* share = Add(tree, root, "share", kStateUnmarked, true);
  TreeNode* dir = Add(tree, share, "dir", kStateUnmarked, true);
  TreeNode* failed = Add(tree, root, "failed", kStateFailed, true);
  Add(tree, root, "plain", kStateUnmarked, true);
  ToggleMark(tree, share);
  ToggleMark(tree, dir);
  EXPECT_EQ(tree.CountMarkedNodes(), 3);
  EXPECT_EQ(MarkCountCaption(tree.CountMarkedNodes()), "3箇所");
  EXPECT_EQ(MarkCountCaption(12345), "12345箇所");

  RecordingListener listener;
  tree.SetListener(&listener);
  ClearMarks(tree);
  EXPECT_EQ(MarkCountCaption(tree.CountMarkedNodes()), "0箇所");
  EXPECT_EQ(failed->StateImage(), kStateUnmarked);
  EXPECT_EQ(root->StateImage(), kStateNone);
  EXPECT_EQ(listener.changed.size(), 3u);  // only the marked ones change
  tree.SetListener(nullptr);
  // Clearing the marks also forgets the destinations of the list that were not found again.
  tree.AddUnrestored({"\\\\OFF\\s", "ネットワーク\tOFF\ts"});
  tree.AddUnrestored({"\\\\OFF\\s", "ネットワーク\tOFF\ts"});
  EXPECT_EQ(tree.Unrestored().size(), 1u);
  ClearMarks(tree);
  EXPECT_TRUE(tree.Unrestored().empty());
}

TEST(DestinationMarksTest, CollapseBelowRootLeavesTheRootOpen) {
  DestinationTree tree;
  RecordingListener listener;
  tree.SetListener(&listener);
  CollapseBelowRoot(tree);  // no root at all
  TreeNode* root = Add(tree, nullptr, "root", kStateNone, false);
  CollapseBelowRoot(tree);  // a root without children
  EXPECT_TRUE(listener.collapsed.empty());

  TreeNode* a = Add(tree, root, "a", kStateUnmarked, true);
  Add(tree, a, "a1", kStateMarked, true);
  TreeNode* b = Add(tree, root, "b", kStateUnmarked, true);
  CollapseBelowRoot(tree);
  EXPECT_EQ(listener.collapsed, (std::vector<TreeNode*>{a, b}));
  EXPECT_EQ(tree.NodeCount(), 4);
  EXPECT_EQ(tree.CountMarkedNodes(), 1);
  tree.SetListener(nullptr);
}

TEST(DestinationMarksTest, FolderPathIsFoundOnTheFirstLineThatHoldsIt) {
  const std::vector<std::string> log = {
      "ab",
      "\\\\SRV\\share",
      "2005/04/01 表示 \\\\SRV\\share\\dir -> 成功",
      "\\\\SRV\\share\\dir again",
  };
  struct Case {
    std::string folder;
    std::optional<std::pair<std::size_t, std::size_t>> at;
  };
  const Case cases[] = {
      {"\\\\SRV\\share", std::pair<std::size_t, std::size_t>{1, 0}},
      {"\\\\SRV\\share\\dir", std::pair<std::size_t, std::size_t>{2, 18}},
      {"\\\\srv\\share", std::nullopt},
      {"", std::nullopt},
      {"\\\\OTHER", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto match = FindFolderPathInLog(log, c.folder);
    ASSERT_EQ(match.has_value(), c.at.has_value()) << c.folder;
    if (match) {
      EXPECT_EQ(match->line, c.at->first) << c.folder;
      EXPECT_EQ(match->offset, c.at->second) << c.folder;
    }
  }
  EXPECT_EQ(FolderStatusText(nullptr), "");
}

}  // namespace
}  // namespace tolvane
