#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace tolvane {

// Where a run stands.
struct RunCounts {
  int destination = 0;   // the destination being served, counted from 1
  int destinations = 0;  // how many are marked
  int copied = 0;
  int skipped = 0;
  int unchanged = 0;                 // left alone: same size and time as the source
  int failed = 0;                    // failed, cancelled or stopped
  std::uint64_t bytes = 0;           // copied so far, with the part of the current file
  std::uint64_t bytesPerSecond = 0;  // over the last second or so
  std::chrono::milliseconds elapsed{0};
  std::string currentFile;
  bool stopped = false;
  // What the plan says the run will copy (files asked about included); 0 files when unknown.
  int plannedFiles = 0;
  std::uint64_t plannedBytes = 0;
};

// How much of the planned work is done, from 0 to 1: by bytes, or by files when there are no
// bytes to copy; nothing when there is no plan.
std::optional<double> ShareDone(const RunCounts& counts);
// How long the rest will take at the pace so far; nothing before there is a pace.
std::optional<std::chrono::milliseconds> TimeLeft(const RunCounts& counts);

// What a copy tells of each file as it goes.
class FileProgress {
 public:
  virtual ~FileProgress() = default;
  virtual void StartFile(const std::string& source) = 0;
  // How much of the current file is written.
  virtual void FileBytes(std::uint64_t done) = 0;
  virtual void FileCopied(std::uint64_t size) = 0;
  virtual void FileSkipped() = 0;
  virtual void FileUnchanged() = 0;
  // files: how many files did not arrive (those of a folder that could not be made).
  virtual void FileFailed(int files = 1) = 0;
  // Shows where the run stands now, whenever it was last shown: before a question, which may
  // stay open for long.
  virtual void ShowNow() = 0;
};

// Counts what a run does and shows where it stands a few times a second at most, by the clock,
// so that a file costs no more than a counter and a look at the clock; then the summary.
class RunProgress : public FileProgress {
 public:
  static constexpr std::chrono::milliseconds kShowInterval{250};

  using ShowFn = std::function<void(const std::string& text)>;
  RunProgress(Clock& clock, ShowFn show);

  void StartRun(int destinations);
  // The plan's totals, once it is made.
  void SetPlannedTotals(int files, std::uint64_t bytes);
  void StartDestination();
  // Which of the files being copied at once the calls that follow are about (a run's worker,
  // counted from 0): each has its own part of the bytes written so far.
  void SetLane(int lane);
  void StartFile(const std::string& source) override;
  void FileBytes(std::uint64_t done) override;
  void FileCopied(std::uint64_t size) override;
  void FileSkipped() override;
  void FileUnchanged() override;
  void FileFailed(int files = 1) override;
  void ShowNow() override;
  // Shows the summary and keeps it.
  void EndRun(bool stopped);

  const RunCounts& Counts() const { return counts_; }
  // The summary of the last run that ended; empty before one has.
  const std::string& Summary() const { return summary_; }

 private:
  void ShowIfDue();
  void UpdateElapsed();

  Clock& clock_;
  ShowFn show_;
  RunCounts counts_;
  std::string summary_;
  std::chrono::milliseconds start_{0};
  std::chrono::milliseconds lastShown_{0};
  bool shownOnce_ = false;
  // Each lane's current file's part of counts_.bytes, and the lane being told of.
  std::vector<std::uint64_t> laneDone_ = {0};
  std::size_t lane_ = 0;
  std::uint64_t& FileDone() { return laneDone_[lane_]; }
  // Where the rate was last measured from.
  std::chrono::milliseconds rateTicks_{0};
  std::uint64_t rateBytes_ = 0;
};

// The texts of a run's progress, all here.
// "destination 2 of 8: 120 copied, 3 skipped, 480 unchanged, 1 failed, 1.2 GiB, 45.3 MiB/s,
// 124 of 500 files, 1.2 GiB of 4.0 GiB (30%), 2:05 left, <file>" (the share and the time
// left when there is a plan).
std::string ProgressText(const RunCounts& counts);
// "done: 120 copied, 3 skipped, 480 unchanged, 1 failed at 8 destinations, 1.2 GiB, 1:02"
// ("stopped: ..." when the run was stopped).
std::string SummaryText(const RunCounts& counts);
// 512 B, 1.5 KiB, 12.0 MiB, 2.0 GiB.
std::string FormatBytes(std::uint64_t bytes);
// 4.2 s under a minute, then 1:02 or 1:02:03.
std::string FormatElapsed(std::chrono::milliseconds elapsed);

}  // namespace tolvane
