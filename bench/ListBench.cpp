// Loading a large list file: 100,000 source entries (existing files, in one folder) and a
// damaged count, measured through the real loader and the real file system. The target is
// well under 2 s for the 100,000 entries.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchSupport.h"
#include "platform/posix/PosixFileSystem.h"
#include "setup/ListFile.h"

namespace {

using namespace tolvane;
namespace fs = std::filesystem;

class NoNodes : public NodeLocator {
 public:
  void RestoreNodes(const std::string&) override {}
  TreeNode* FindNodeByPath(const std::string&) override { return nullptr; }
};

double LoadSeconds(const std::string& path, int& entries) {
  PosixFileSystem files;
  bench::CountingSink sink;
  StatusLog log(files, sink);
  SourceList sources;
  SourceEntries added(files, log, sources);
  DestinationTree tree;
  NoNodes locator;
  ListFile list(files, log, added, sources, tree, locator);
  const auto start = bench::Clock::now();
  list.LoadList(path);
  const std::chrono::duration<double> took = bench::Clock::now() - start;
  entries = sources.Count();
  return took.count();
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("tolvane-bench-list-" + std::to_string(getpid()));
  fs::create_directories(dir / "src");
  constexpr int kEntries = 100000;
  {
    std::ofstream out(dir / "big.lst", std::ios::binary);
    out << "[Source]\r\nCount=" << kEntries << "\r\n";
    for (int i = 0; i < kEntries; ++i) {
      const fs::path file = dir / "src" / ("f" + std::to_string(i));
      if (i % 10 == 0) std::ofstream(file) << "x";  // a tenth exist, the rest are kept missing
      out << "File" << i << "=" << file.string() << "\r\n";
    }
    out << "\r\n[Destination]\r\nCount=0\r\n\r\n[Alias]\r\n\r\n";
  }
  {
    std::ofstream out(dir / "huge-count.lst", std::ios::binary);
    out << "[Source]\r\nCount=2147483647\r\nFile0=" << (dir / "src/f0").string()
        << "\r\nFile2147483646=" << (dir / "src/f10").string() << "\r\n";
  }
  int entries = 0;
  const double big = LoadSeconds((dir / "big.lst").string(), entries);
  std::printf("list of %d entries: %.3f s (target under 2 s)\n", entries, big);
  const double huge = LoadSeconds((dir / "huge-count.lst").string(), entries);
  std::printf("Count=2147483647 with one high key: %d entries in %.3f s\n", entries, huge);
  fs::remove_all(dir);
  return big < 2.0 ? 0 : 1;
}
