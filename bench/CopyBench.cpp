// Measures the copy engine against cp on the same files in the same run:
//   1. one large file copied by CopyFileToFolder (throughput),
//   2. a tree of small files copied by CopyEntry (time per file, without the pause after each
//      file, which the window needs and the measurement does not).
// Usage: bench_copy WORK_FOLDER [LARGE_MIB] [SMALL_FILES]
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "engine/CopyEngine.h"
#include "log/StatusLog.h"
#include "platform/posix/PosixFileSystem.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORK_FOLDER [LARGE_MIB] [SMALL_FILES]\n", argv[0]);
    return 2;
  }
  const fs::path work = fs::path(argv[1]) / "copy-bench";
  const std::uint64_t largeMiB = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
  const int smallFiles = argc > 3 ? std::atoi(argv[3]) : 2000;
  constexpr int kRounds = 3;
  fs::remove_all(work);
  fs::create_directories(work);

  tolvane::PosixFileSystem fileSystem;
  NoPrompts prompts;
  NoSleepPump pump;
  CountingSink sink;
  tolvane::StatusLog log(fileSystem, sink);
  log.SetSaveToFileSource([] { return false; });
  Options options;
  tolvane::RunFlags flags;
  tolvane::CopyEngine engine(fileSystem, prompts, pump, log, options, flags);

  // 1. One large file.
  const std::string large = (work / "large.bin").string();
  const std::string largeDest = (work / "large-dest").string();
  fs::create_directories(largeDest);
  WriteRandomFile(large, largeMiB << 20);
  Settle();
  double bestEngine = 1e9, bestCp = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    fs::remove(largeDest + "/large.bin");
    Settle();
    auto start = Clock::now();
    if (engine.CopyFileToFolder(large, largeDest)) {
      std::fprintf(stderr, "engine copy failed\n");
      return 1;
    }
    bestEngine = std::min(bestEngine, Seconds(start));
    fs::remove(largeDest + "/large.bin");
    Settle();
    bestCp = std::min(bestCp, TimeShell("cp " + Quote(large) + " " + Quote(largeDest)));
  }
  fs::remove_all(largeDest);
  fs::remove(large);
  const double mib = static_cast<double>(largeMiB);
  std::printf("large file, %llu MiB (best of %d)\n", static_cast<unsigned long long>(largeMiB),
              kRounds);
  std::printf("  engine: %.3f s, %.0f MiB/s\n", bestEngine, mib / bestEngine);
  std::printf("  cp:     %.3f s, %.0f MiB/s\n", bestCp, mib / bestCp);
  std::printf("  throughput engine/cp: %.2f (target >= 0.90)\n", bestCp / bestEngine);

  // 2. Many small files in folders of 100.
  const fs::path tree = work / "tree";
  const std::string block(4096, 's');
  for (int i = 0; i < smallFiles; ++i) {
    const fs::path folder = tree / ("d" + std::to_string(i / 100));
    fs::create_directories(folder);
    std::ofstream(folder / ("f" + std::to_string(i) + ".dat"), std::ios::binary) << block;
  }
  Settle();
  const std::string treeDest = (work / "tree-dest").string();
  bestEngine = 1e9;
  bestCp = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    fs::remove_all(treeDest);
    Settle();
    sink.lines = 0;
    auto start = Clock::now();
    if (engine.CopyEntry(tree.string(), treeDest) || sink.lines != smallFiles) {
      std::fprintf(stderr, "engine tree copy failed\n");
      return 1;
    }
    bestEngine = std::min(bestEngine, Seconds(start));
    fs::remove_all(treeDest);
    Settle();
    bestCp = std::min(bestCp, TimeShell("cp -r " + Quote(tree.string()) + " " + Quote(treeDest)));
  }
  fs::remove_all(work);
  const double perEngine = bestEngine / smallFiles * 1e6, perCp = bestCp / smallFiles * 1e6;
  std::printf("small files, %d of 4 KiB (best of %d)\n", smallFiles, kRounds);
  std::printf("  engine: %.1f us per file\n", perEngine);
  std::printf("  cp -r:  %.1f us per file\n", perCp);
  std::printf("  time per file engine/cp: %.2f (target <= 2.00)\n", perEngine / perCp);
  return 0;
}
