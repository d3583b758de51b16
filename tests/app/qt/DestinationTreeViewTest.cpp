#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/qt/DestinationTreeModel.h"
#include "app/qt/DestinationTreeView.h"
#include "app/qt/TreePictures.h"
#include "support/FakeShellNamespace.h"
#include "support/Fakes.h"
#include "tree/DestinationMarks.h"
#include "tree/NetworkTree.h"

namespace tolvane {
namespace {

using test::FakeShellNamespace;

// The tree of a small network shown in the view, wired as the main window wires it.
class DestinationTreeViewTest : public ::testing::Test {
 protected:
  DestinationTreeViewTest() {
    srv = shell.AddServer(FakeShellNamespace::kNetwork, "SRV");
    const int share = shell.AddFolder(srv, "share");
    shell.AddFolder(shell.AddFolder(share, "dir"), "deep");
    shell.AddFolder(share, "b");
    shell.AddFolder(share, "a");
    empty = shell.AddServer(FakeShellNamespace::kNetwork, "EMPTY");
    shell.At(empty).hasSubFolders = true;
    shell.AddWorkgroup(FakeShellNamespace::kNetwork, "WG");
    shell.AddServer(shell.At(FakeShellNamespace::kNetwork).children.back(), "SRV2");

    network.AddNetworkRoot();
    model.AttachView(&view);
    network.ExpandRootAndSort();
    QObject::connect(&model, &DestinationTreeModel::nodeExpanding,
                     [this](TreeNode* node, bool* allow) { *allow = network.NodeExpanding(node); });
    // As the controller answers.
    QObject::connect(&view, &DestinationTreeView::pressed,
                     [this](TreeNode* hit, TreePress press, TreePressAction* action) {
                       *action = DestinationTreePress(hit, press);
                       if (action->toggleMark && ToggleMark(tree, hit)) ++toggles;
                     });
    view.resize(400, 400);
    view.show();
    startupComplete = true;
  }

  TreeNode* Node(const std::string& below) {
    return network.FindNodeByPath("ネットワーク\t" + below);
  }
  QModelIndex Index(const std::string& below) { return model.IndexOfNode(Node(below)); }

  // Opens a node as the user does; the listing follows from the event loop.
  void Open(const std::string& below) {
    view.expand(Index(below));
    QApplication::processEvents();
  }

  void Send(QEvent::Type type, const QPoint& pos, Qt::MouseButton button) {
    QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &event);
  }
  void Press(const QPoint& pos, Qt::MouseButton button) {
    Send(QEvent::MouseButtonPress, pos, button);
    Send(QEvent::MouseButtonRelease, pos, button);
  }
  // What the window system sends for a double-click: the second press comes as its own event.
  void DoublePress(const QPoint& pos) {
    Press(pos, Qt::LeftButton);
    Send(QEvent::MouseButtonDblClick, pos, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, pos, Qt::LeftButton);
  }
  void Key(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "");
    QApplication::sendEvent(&view, &press);
  }

  FakeShellNamespace shell;
  DestinationTree tree;
  test::FakeEventPump pump;
  test::FakeCursor cursor;
  bool startupComplete = false;
  NetworkTree network{tree, shell, pump, cursor, [this] { return startupComplete; }};
  DestinationTreeModel model{tree};
  DestinationTreeView view;
  int srv = 0, empty = 0, toggles = 0;
};

TEST_F(DestinationTreeViewTest, OpeningANodeListsItAndAnEmptyListingDropsTheButton) {
  EXPECT_TRUE(view.isExpanded(model.IndexOfNode(tree.Root())));
  Open("SRV");
  ASSERT_NE(Node("SRV\tshare"), nullptr);
  EXPECT_EQ(model.rowCount(Index("SRV")), 1);

  Open("SRV\tshare");
  const QModelIndex share = Index("SRV\tshare");
  ASSERT_EQ(model.rowCount(share), 3);
  EXPECT_EQ(model.index(0, 0, share).data().toString(), "a");  // sorted after listing
  EXPECT_EQ(model.index(2, 0, share).data().toString(), "dir");

  // Through the workgroup, by display names.
  Open("WG");
  EXPECT_NE(Node("WG\tSRV2"), nullptr);

  Open("EMPTY");
  EXPECT_FALSE(model.hasChildren(Index("EMPTY")));
  EXPECT_FALSE(view.isExpanded(Index("EMPTY")));
}

TEST_F(DestinationTreeViewTest, EveryPressOnTheStatePictureAndSpaceToggleTheMark) {
  const QRect server = view.visualRect(Index("SRV"));
  ASSERT_TRUE(server.isValid());
  const QPoint onPicture(server.left() + 4, server.center().y());
  const QPoint onText(server.left() + 50, server.center().y());

  EXPECT_EQ(view.StatePictureNodeAt(onPicture), Node("SRV"));
  Press(onText, Qt::LeftButton);
  EXPECT_EQ(Node("SRV")->StateImage(), kStateUnmarked);
  EXPECT_EQ(view.SelectedNode(), Node("SRV"));

  Press(onPicture, Qt::LeftButton);
  EXPECT_EQ(Node("SRV")->StateImage(), kStateMarked);
  EXPECT_EQ(model.data(Index("SRV"), DestinationTreeModel::kStateImageRole).toInt(), kStateMarked);
  Press(onPicture, Qt::RightButton);
  EXPECT_EQ(Node("SRV")->StateImage(), kStateUnmarked);

  // The root shows no box: a press where it would be finds nothing.
  const QRect root = view.visualRect(model.IndexOfNode(tree.Root()));
  EXPECT_EQ(view.StatePictureNodeAt(QPoint(root.left() + 4, root.center().y())), nullptr);
  EXPECT_EQ(toggles, 2);

  // Each press of a double-click toggles, and the node stays closed; on the text a double-click
  // still opens it.
  DoublePress(onPicture);
  EXPECT_EQ(Node("SRV")->StateImage(), kStateUnmarked);
  EXPECT_EQ(toggles, 4);
  EXPECT_FALSE(view.isExpanded(Index("SRV")));
  DoublePress(onText);
  EXPECT_EQ(toggles, 4);
  EXPECT_TRUE(view.isExpanded(Index("SRV")));

  // Space toggles the current node as a press on its box does; elsewhere nothing.
  view.setCurrentIndex(Index("SRV"));
  Key(Qt::Key_Space);
  EXPECT_EQ(Node("SRV")->StateImage(), kStateMarked);
  Key(Qt::Key_Space);
  EXPECT_EQ(Node("SRV")->StateImage(), kStateUnmarked);
  view.setCurrentIndex(model.IndexOfNode(tree.Root()));
  Key(Qt::Key_Space);
  EXPECT_EQ(toggles, 6);
}

TEST_F(DestinationTreeViewTest, SortKeepsSelectionAndCollapseKeepsTheRootOpen) {
  Open("SRV");
  Open("SRV\tshare");
  Open("SRV\tshare\tdir");
  tree.Select(Node("SRV\tshare\tdir\tdeep"));
  EXPECT_EQ(view.SelectedNode(), Node("SRV\tshare\tdir\tdeep"));

  tree.SortChildren(nullptr, true, [](const TreeNode& a, const TreeNode& b) {
    return -NetworkTree::CompareNodeTexts(a.Text(), b.Text());
  });
  EXPECT_EQ(view.SelectedNode(), Node("SRV\tshare\tdir\tdeep"));
  EXPECT_TRUE(view.isExpanded(Index("SRV\tshare\tdir")));

  CollapseBelowRoot(tree);
  EXPECT_TRUE(view.isExpanded(model.IndexOfNode(tree.Root())));
  for (const char* path : {"SRV", "SRV\tshare", "SRV\tshare\tdir"}) {
    EXPECT_FALSE(view.isExpanded(Index(path))) << path;
  }
  // Opening the server again shows its share closed.
  Open("SRV");
  EXPECT_FALSE(view.isExpanded(Index("SRV\tshare")));
}

TEST(TreePicturesTest, EveryStateAndIconHasAPicture) {
  EXPECT_TRUE(StatePicture(kStateNone).isNull());
  EXPECT_TRUE(StatePicture(0).isNull());
  for (int state = 1; state <= 4; ++state) {
    EXPECT_EQ(StatePicture(state).size(), QSize(16, 16)) << state;
  }
  for (NodeIcon icon : {NodeIcon::Network, NodeIcon::Workgroup, NodeIcon::Server, NodeIcon::Share,
                        NodeIcon::Folder, NodeIcon::Shortcut}) {
    EXPECT_FALSE(NodeIconPicture(icon).isNull());
  }
}

}  // namespace
}  // namespace tolvane
