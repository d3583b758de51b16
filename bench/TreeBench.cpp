// The destination tree over a large listed network: how long counting marks, finding a node
// by its node path and walking a saved path take once everything is listed; and how long
// listing a share of 100 folders of 3,000 files each takes (the pauses left out).
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/posix/NetworkNamespace.h"
#include "tree/DestinationMarks.h"
#include "tree/NetworkTree.h"

namespace {

using namespace tolvane;
namespace fs = std::filesystem;

// The listing's pauses are not what is measured here.
class NoPause : public EventPump {
 public:
  void Sleep(int) override {}
  void ProcessPendingEvents() override {}
};

class NoCursor : public Cursor {
 public:
  CursorShape Current() override { return CursorShape::Default; }
  void Set(CursorShape) override {}
};

template <typename F>
double BestMs(F&& work, int rounds = 20) {
  double best = 1e9;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

std::string Name(const char* prefix, int i) { return prefix + std::to_string(i); }

// Opening a share whose 100 folders hold 3,000 files each: deciding which folder gets a button
// must not look at every file. Printed as the best of a few fresh trees, and a start-up that
// restores a folder of that share.
void ListLargeShare(const fs::path& base) {
  const fs::path root = base / "large";
  for (int d = 0; d < 100; ++d) {
    const fs::path dir = root / "SRV" / "share" / Name("dir", d);
    fs::create_directories(dir);
    for (int f = 0; f < 3000; ++f) {
      const int fd = ::open((dir / Name("file", f)).c_str(), O_CREAT | O_WRONLY, 0644);
      if (fd >= 0) ::close(fd);
    }
  }
  PosixNetworkNamespace shell(root.string());
  NoPause pump;
  NoCursor cursor;
  int children = 0;
  const double openMs = BestMs(
      [&] {
        DestinationTree tree;
        NetworkTree network(tree, shell, pump, cursor, [] { return true; });
        network.AddNetworkRoot();
        network.ExpandRootAndSort();
        TreeNode* server = network.FindNodeByPath("ネットワーク\tSRV");
        network.ExpandNode(server);
        children = network.ExpandNode(server->Child(0));
      },
      5);
  const double restoreMs = BestMs(
      [&] {
        DestinationTree tree;
        NetworkTree network(tree, shell, pump, cursor, [] { return true; });
        network.AddNetworkRoot();
        network.ExpandRootAndSort();
        network.RestoreNodes("ネットワーク\tSRV\tshare\tdir99");
      },
      5);
  // The floor: reading every entry of the 100 folders once, nothing else.
  long entries = 0;
  const double readMs = BestMs(
      [&] {
        entries = 0;
        for (int d = 0; d < 100; ++d) {
          DIR* dir = ::opendir((root / "SRV" / "share" / Name("dir", d)).c_str());
          while (dir && ::readdir(dir)) ++entries;
          if (dir) ::closedir(dir);
        }
      },
      5);
  std::printf("share of 100 x 3,000 files: opened in %.1f ms (%d folders), restored in %.1f ms\n",
              openMs, children, restoreMs);
  std::printf("  reading its %ld entries alone: %.1f ms\n", entries, readMs);
}

}  // namespace

int main() {
  // 10 servers x 10 shares x 20 folders x 10 sub-folders: 22,110 listed nodes.
  const fs::path root = fs::temp_directory_path() / ("tolvane-bench-" + std::to_string(::getpid()));
  for (int s = 0; s < 10; ++s)
    for (int h = 0; h < 10; ++h)
      for (int f = 0; f < 20; ++f)
        for (int d = 0; d < 10; ++d)
          fs::create_directories(root / Name("SRV", s) / Name("share", h) / Name("dir", f) /
                                 Name("sub", d));

  PosixNetworkNamespace shell(root.string());
  DestinationTree tree;
  NoPause pump;
  NoCursor cursor;
  NetworkTree network(tree, shell, pump, cursor, [] { return true; });

  const auto listStart = std::chrono::steady_clock::now();
  network.AddNetworkRoot();
  network.ExpandRootAndSort();
  for (int i = 0; i < tree.NodeCount(); ++i) {
    TreeNode* node = tree.NodeAt(i);
    if (NetworkTree::HasDummyChild(node)) network.ExpandNode(node);
  }
  const std::chrono::duration<double, std::milli> listed =
      std::chrono::steady_clock::now() - listStart;

  int marked = 0;
  for (int i = 0; i < tree.NodeCount(); i += 7) marked += ToggleMark(tree, tree.NodeAt(i));

  const std::string last = "ネットワーク\tSRV9\tshare9\tdir19\tsub9";
  const std::string missing = "ネットワーク\tSRV9\tshare9\tdir19\tnothere";
  int count = 0;
  TreeNode* found = nullptr;
  const double countMs = BestMs([&] { count = tree.CountMarkedNodes(); });
  const double findMs = BestMs([&] { found = network.FindNodeByPath(last); });
  const double missMs = BestMs([&] { found = network.FindNodeByPath(missing); });
  const double restoreMs = BestMs([&] { network.RestoreNodes(last); });

  std::printf("nodes listed:             %d (%d marked), listing took %.0f ms\n", tree.NodeCount(),
              count, listed.count());
  std::printf("CountMarkedNodes:         %.4f ms\n", countMs);
  std::printf("FindNodeByPath (last):    %.4f ms\n", findMs);
  std::printf("FindNodeByPath (missing): %.4f ms\n", missMs);
  std::printf("RestoreNodes (5 levels):  %.4f ms\n", restoreMs);
  std::printf("found the last node:       %s\n", network.FindNodeByPath(last) ? "yes" : "no");
  (void)marked;
  (void)found;
  fs::remove_all(root);

  const fs::path large =
      fs::temp_directory_path() / ("tolvane-bench-" + std::to_string(::getpid()));
  ListLargeShare(large);
  fs::remove_all(large);
  return 0;
}
