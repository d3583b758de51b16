#pragma once
// Pieces the benchmarks share: services that never ask and never pause, and timing helpers.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/RunFlags.h"
#include "log/StatusLog.h"
#include "platform/EventPump.h"
#include "platform/Prompts.h"

namespace bench {

using Clock = std::chrono::steady_clock;

// Answers Yes to overwriting and Abort to retrying, without showing anything.
class NoPrompts : public tolvane::Prompts {
 public:
  tolvane::PromptAnswer AskYesNoCancel(const std::string&, const std::string&) override {
    return tolvane::PromptAnswer::Yes;
  }
  tolvane::PromptAnswer AskAbortRetryIgnore(const std::string&, const std::string&) override {
    return tolvane::PromptAnswer::Abort;
  }
  tolvane::PromptAnswer AskYesNo(const std::string&, const std::string&) override {
    return tolvane::PromptAnswer::Yes;
  }
  void ShowMessage(const std::string&, const std::string&) override {}
  void ShowError(const std::string&, const std::string&) override {}
};

// No pause and no events: only the engine's own work is measured.
class NoSleepPump : public tolvane::EventPump {
 public:
  void Sleep(int) override {}
  void ProcessPendingEvents() override {}
};

class CountingSink : public tolvane::LogSink {
 public:
  int lines = 0;
  void AddMemoLine(const std::string&) override { ++lines; }
  void ClearMemo() override {}
};

class Options : public tolvane::CopyOptions {
 public:
  bool skipUnchanged = false;
  bool ConfirmOverWrite() const override { return false; }
  bool ButOldIsIgnore() const override { return false; }
  bool IgnoreError() const override { return false; }
  bool SkipUnchanged() const override { return skipUnchanged; }
};

inline void WriteRandomFile(const std::string& path, std::uint64_t bytes) {
  std::mt19937_64 rng(42);
  std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (std::uint64_t done = 0; done < bytes;) {
    for (auto& w : block) w = rng();
    const std::uint64_t n = std::min<std::uint64_t>(bytes - done, block.size() * 8);
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    done += n;
  }
}

// Flushes dirty pages so that one copy's write-back does not land in the next one's time.
inline void Settle() { std::system("sync"); }

inline double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double TimeShell(const std::string& command) {
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return Seconds(start);
}

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace bench
