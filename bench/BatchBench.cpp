// Measures a whole distribution run: a source tree of 500 files (4 KiB to 1 MiB) into 8
// destination shares, through the run and the copy engine as a batch run drives them, with the
// log going to a file. The pause after each copied file is the window's, not work, so the event
// pump here counts it instead of sleeping: the time printed is the time beyond the pauses. It is
// compared with a shell loop of cp -r into the same 8 folders and with rsync -a.
// Usage: bench_batch WORK_FOLDER [FILES] [DESTINATIONS]
#include <filesystem>

#include "BenchSupport.h"
#include "engine/CopyEngine.h"
#include "engine/DistributionRun.h"
#include "platform/LocalTime.h"
#include "platform/posix/PosixFileSystem.h"
#include "setup/SourceList.h"
#include "tree/DestinationTree.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;

class FileLogSink : public tolvane::LogSink {
 public:
  void AddMemoLine(const std::string&) override {}
  void ClearMemo() override {}
};

class CountingPump : public tolvane::EventPump {
 public:
  int pauses = 0;
  void Sleep(int) override { ++pauses; }
  void ProcessPendingEvents() override {}
};

class BatchView : public tolvane::RunView {
 public:
  void ShowRunning(bool) override {}
  void ShowDestination(tolvane::TreeNode*) override {}
};

// The source tree: files of 4 KiB to 1 MiB spread over a few folders.
void MakeSources(const std::string& root, int files) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> kib(4, 1024);
  for (int i = 0; i < files; ++i) {
    const std::string dir = root + "/d" + std::to_string(i % 10) + "/e" + std::to_string(i % 3);
    fs::create_directories(dir);
    WriteRandomFile(dir + "/f" + std::to_string(i) + ".bin",
                    static_cast<std::uint64_t>(kib(rng)) * 1024);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORK_FOLDER [FILES] [DESTINATIONS]\n", argv[0]);
    return 2;
  }
  const std::string work = fs::absolute(argv[1]).string() + "/tolvane-batch-bench";
  const int files = argc > 2 ? std::atoi(argv[2]) : 500;
  const int destinations = argc > 3 ? std::atoi(argv[3]) : 8;
  fs::remove_all(work);
  const std::string src = work + "/src";
  const std::string net = work + "/net";
  MakeSources(src, files);
  const bool haveRsync = std::system("command -v rsync >/dev/null 2>&1") == 0;

  double best[3] = {1e9, 1e9, 1e9};
  int pauses = 0;
  for (int round = 0; round < 3; ++round) {
    // Ours: one tree with 8 marked shares, one source entry (the folder).
    fs::remove_all(net);
    for (int d = 0; d < destinations; ++d)
      fs::create_directories(net + "/SRV" + std::to_string(d) + "/share");
    Settle();
    {
      tolvane::PosixFileSystem posix(net);
      FileLogSink sink;
      tolvane::StatusLog log(posix, sink);
      log.SetLogPath(work + "/Pelmo.log");
      CountingPump pump;
      NoPrompts prompts;
      Options options;
      tolvane::RunFlags flags;
      flags.batchMode = true;
      tolvane::SourceList sources;
      sources.Append({src, "", "Folder"});
      tolvane::DestinationTree tree;
      tolvane::TreeNode* root = tree.AddNode(nullptr, {}, "net", tolvane::NodeIcon::Network, -1);
      for (int d = 0; d < destinations; ++d) {
        const std::string unc = "\\\\SRV" + std::to_string(d) + "\\share";
        tree.AddNode(root, {unc, "share", "", true}, "share", tolvane::NodeIcon::Share,
                     tolvane::kStateMarked);
      }
      tolvane::CopyEngine engine(posix, prompts, pump, log, options, flags);
      tolvane::SystemClock clock;
      BatchView view;
      tolvane::DistributionRun run(
          tree, sources, log, clock, flags, view,
          [&](const std::string& e, const std::string& f) { return engine.CopyEntry(e, f); });
      const auto start = Clock::now();
      const auto outcome = run.RunDistribution();
      best[0] = std::min(best[0], Seconds(start));
      pauses = pump.pauses;
      if (outcome.stopped || outcome.anyDestinationFailed) {
        std::fprintf(stderr, "the run failed\n");
        return 1;
      }
    }

    fs::remove_all(net);
    std::string loop;
    for (int d = 0; d < destinations; ++d) {
      const std::string dst = net + "/SRV" + std::to_string(d) + "/share";
      fs::create_directories(dst);
      loop += "cp -r --preserve=timestamps " + Quote(src) + "/. " + Quote(dst) + " && ";
    }
    Settle();
    best[1] = std::min(best[1], TimeShell(loop + "true"));

    if (haveRsync) {
      fs::remove_all(net);
      std::string rs;
      for (int d = 0; d < destinations; ++d) {
        const std::string dst = net + "/SRV" + std::to_string(d) + "/share";
        fs::create_directories(dst);
        rs += "rsync -a " + Quote(src) + "/ " + Quote(dst) + "/ && ";
      }
      Settle();
      best[2] = std::min(best[2], TimeShell(rs + "true"));
    }
  }
  fs::remove_all(work);

  std::printf("batch run, %d files into %d destinations (best of 3)\n", files, destinations);
  std::printf("  ours, beyond the %d pauses of 10 ms: %.3f s\n", pauses, best[0]);
  std::printf("  cp -r loop:                        %.3f s   ours/cp    %.2f  (target <= 1.50)\n",
              best[1], best[0] / best[1]);
  if (haveRsync) {
    std::printf("  rsync -a:                          %.3f s   ours/rsync %.2f\n", best[2],
                best[0] / best[2]);
  } else {
    std::printf("  rsync -a: not installed\n");
  }
  return 0;
}
