// Measures how a run over one large file keeps the window served: one file (2 GiB by default)
// into 4 destination shares, through the run, its workers and the copy engine, with the
// window's pump replaced by one that notes when the window thread is away from its events.
//   1. the whole run: the longest time the window thread spends between two waits for events
//      (goal under 50 ms);
//   2. a run stopped one second in: the time from the stop request to the end of the run
//      (goal under 200 ms), and whether anything half-written was left behind.
// Usage: bench_large WORK_FOLDER [MIB] [DESTINATIONS] [CHUNK_KIB]
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "BenchRun.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;

// Waits for the workers' news as a window's loop does, and notes how long the window thread
// was away from its events each time it comes back to them: a window would have served an
// event at once whenever it waits here.
class WatchingPump : public tolvane::EventPump {
 public:
  std::vector<Clock::time_point> served;
  double longestAwayMs = 0;
  std::function<void()> onServe;
  void Sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void ProcessPendingEvents() override {
    served.push_back(Clock::now());
    if (onServe) onServe();
  }
  void WaitForEvents(int maxMs) override {
    const auto now = Clock::now();
    if (back_) {
      longestAwayMs =
          std::max(longestAwayMs, std::chrono::duration<double, std::milli>(now - *back_).count());
    }
    {
      std::unique_lock lock(mutex_);
      woken_.wait_for(lock, std::chrono::milliseconds(maxMs), [this] { return wakes_ > 0; });
      wakes_ = 0;
    }
    ProcessPendingEvents();
    back_ = Clock::now();
  }
  void Wake() override {
    std::lock_guard lock(mutex_);
    ++wakes_;
    woken_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  int wakes_ = 0;
  std::optional<Clock::time_point> back_;
};

struct Result {
  double seconds = 0;
  double longestGapMs = 0;
  int served = 0;
  tolvane::RunOutcome outcome;
  std::string summary;
  Clock::time_point end;
};

std::size_t chunkKiB = 0;  // 0: the file system's own

Result Run(const std::string& source, const std::string& net, int destinations,
           double stopAfterSeconds, Clock::time_point* stopAsked) {
  WatchingPump pump;
  BenchRun bench(net, destinations, pump, {source, "", ""});
  if (chunkKiB > 0) bench.posix.SetChunkSize(chunkKiB << 10);
  tolvane::RunFlags& flags = bench.flags;

  const auto start = Clock::now();
  if (stopAfterSeconds > 0) {
    // Go pressed while the window is served, as a user would stop the run.
    pump.onServe = [&] {
      if (!flags.stopRequested && Seconds(start) >= stopAfterSeconds) {
        flags.stopRequested = true;
        *stopAsked = Clock::now();
      }
    };
  }
  Result r;
  r.outcome = bench.run.RunDistribution();
  const auto end = Clock::now();
  r.end = end;
  r.seconds = std::chrono::duration<double>(end - start).count();
  r.served = static_cast<int>(pump.served.size());
  r.longestGapMs = pump.longestAwayMs;
  r.summary = bench.progress.Summary();
  return r;
}

// Files under net that are not a whole copy of the source.
int PartialFiles(const std::string& net, std::uintmax_t size) {
  int partial = 0;
  for (const auto& e : fs::recursive_directory_iterator(net)) {
    if (e.is_regular_file() && e.file_size() != size) ++partial;
  }
  return partial;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORK_FOLDER [MIB] [DESTINATIONS] [CHUNK_KIB]\n", argv[0]);
    return 2;
  }
  const std::string work = fs::absolute(argv[1]).string() + "/tolvane-large-bench";
  const std::uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 2048;
  const int destinations = argc > 3 ? std::atoi(argv[3]) : 4;
  chunkKiB = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 0;
  fs::remove_all(work);
  fs::create_directories(work);
  const std::string source = work + "/large.bin";
  const std::string net = work + "/net";
  WriteRandomFile(source, mib << 20);

  const Result whole = Run(source, net, destinations, 0, nullptr);
  Clock::time_point stopAsked{};
  const Result stopped = Run(source, net, destinations, 1.0, &stopAsked);
  const int partial = PartialFiles(net, fs::file_size(source));
  const double stopMs = std::chrono::duration<double, std::milli>(stopped.end - stopAsked).count();
  fs::remove_all(work);

  std::printf("one %llu MiB file into %d destinations\n", static_cast<unsigned long long>(mib),
              destinations);
  std::printf("  whole run: %.1f s, %.0f MiB/s, window served %d times\n", whole.seconds,
              static_cast<double>(mib * destinations) / whole.seconds, whole.served);
  std::printf("  longest time away from the window's events: %.1f ms  (goal < 50)\n",
              whole.longestGapMs);
  std::printf("  summary line: %s\n", whole.summary.c_str());
  std::printf(
      "  stop asked 1 s in: the run ended %.1f ms later  (goal < 200), %s, %d partial "
      "file(s) left\n",
      stopMs, stopped.outcome.stopped ? "stopped" : "NOT stopped", partial);
  return 0;
}
