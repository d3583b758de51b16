#include "engine/RunProgress.h"

#include <algorithm>
#include <cstdio>

namespace tolvane {
namespace {

// The rate is measured over spans of about this length, so that it follows the current pace
// rather than the run's average.
constexpr std::chrono::milliseconds kRateSpan{1000};

}  // namespace

RunProgress::RunProgress(Clock& clock, ShowFn show) : clock_(clock), show_(std::move(show)) {}

void RunProgress::StartRun(int destinations) {
  counts_ = RunCounts{};
  counts_.destinations = destinations;
  laneDone_.assign(1, 0);
  lane_ = 0;
  start_ = clock_.Ticks();
  rateTicks_ = start_;
  rateBytes_ = 0;
  // The first destination shows itself at once.
  shownOnce_ = false;
}

void RunProgress::SetPlannedTotals(int files, std::uint64_t bytes) {
  counts_.plannedFiles = files;
  counts_.plannedBytes = bytes;
}

void RunProgress::StartDestination() {
  ++counts_.destination;
  // Marks set while the run works may add destinations.
  counts_.destinations = std::max(counts_.destinations, counts_.destination);
  ShowIfDue();
}

void RunProgress::SetLane(int lane) {
  lane_ = static_cast<std::size_t>(std::max(lane, 0));
  if (laneDone_.size() <= lane_) laneDone_.resize(lane_ + 1, 0);
}

void RunProgress::StartFile(const std::string& source) {
  counts_.currentFile = source;
  FileDone() = 0;
  ShowIfDue();
}

void RunProgress::FileBytes(std::uint64_t done) {
  // A retried file starts again from nothing.
  counts_.bytes = counts_.bytes - FileDone() + done;
  FileDone() = done;
  ShowIfDue();
}

void RunProgress::FileCopied(std::uint64_t size) {
  counts_.bytes = counts_.bytes - FileDone() + size;
  FileDone() = 0;
  ++counts_.copied;
}

void RunProgress::FileSkipped() {
  counts_.bytes -= FileDone();
  FileDone() = 0;
  ++counts_.skipped;
}

void RunProgress::FileUnchanged() {
  counts_.bytes -= FileDone();
  FileDone() = 0;
  ++counts_.unchanged;
}

void RunProgress::FileFailed(int files) {
  // What was written of a file that did not arrive is not copied.
  counts_.bytes -= FileDone();
  FileDone() = 0;
  counts_.failed += files;
}

void RunProgress::EndRun(bool stopped) {
  UpdateElapsed();
  counts_.stopped = stopped;
  counts_.currentFile.clear();
  summary_ = SummaryText(counts_);
  if (show_) show_(summary_);
}

void RunProgress::ShowNow() {
  shownOnce_ = false;
  ShowIfDue();
}

void RunProgress::UpdateElapsed() { counts_.elapsed = clock_.Ticks() - start_; }

void RunProgress::ShowIfDue() {
  const std::chrono::milliseconds now = clock_.Ticks();
  if (shownOnce_ && now - lastShown_ < kShowInterval) return;
  shownOnce_ = true;
  lastShown_ = now;
  counts_.elapsed = now - start_;
  const auto span = now - rateTicks_;
  if (span >= kRateSpan || (counts_.bytesPerSecond == 0 && span.count() > 0)) {
    counts_.bytesPerSecond =
        counts_.bytes >= rateBytes_
            ? (counts_.bytes - rateBytes_) * 1000 / static_cast<std::uint64_t>(span.count())
            : 0;
    if (span >= kRateSpan) {
      rateTicks_ = now;
      rateBytes_ = counts_.bytes;
    }
  }
  if (show_) show_(ProgressText(counts_));
}

std::string FormatBytes(std::uint64_t bytes) {
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit + 1 < static_cast<int>(std::size(kUnits))) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string FormatElapsed(std::chrono::milliseconds elapsed) {
  const long long ms = std::max<long long>(elapsed.count(), 0);
  char text[48];
  if (ms < 60000) {
    std::snprintf(text, sizeof text, "%lld.%lld s", ms / 1000, ms % 1000 / 100);
  } else {
    const long long s = ms / 1000;
    if (s < 3600) {
      std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    } else {
      std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    }
  }
  return text;
}

std::optional<double> ShareDone(const RunCounts& c) {
  if (c.plannedFiles <= 0) return std::nullopt;
  double share = c.plannedBytes > 0
                     ? static_cast<double>(c.bytes) / static_cast<double>(c.plannedBytes)
                     : static_cast<double>(c.copied + c.skipped + c.failed) / c.plannedFiles;
  return std::clamp(share, 0.0, 1.0);
}

std::optional<std::chrono::milliseconds> TimeLeft(const RunCounts& c) {
  const auto share = ShareDone(c);
  if (!share || *share <= 0 || c.elapsed.count() <= 0) return std::nullopt;
  return std::chrono::milliseconds(
      static_cast<long long>(static_cast<double>(c.elapsed.count()) * (1 - *share) / *share));
}

std::string ProgressText(const RunCounts& c) {
  std::string text =
      "destination " + std::to_string(c.destination) + " of " + std::to_string(c.destinations) +
      ": " + std::to_string(c.copied) + " copied, " + std::to_string(c.skipped) + " skipped, " +
      std::to_string(c.unchanged) + " unchanged, " + std::to_string(c.failed) + " failed, " +
      FormatBytes(c.bytes) + ", " + FormatBytes(c.bytesPerSecond) + "/s";
  if (const auto share = ShareDone(c)) {
    text += ", " + std::to_string(c.copied + c.skipped + c.failed) + " of " +
            std::to_string(c.plannedFiles) + " files, " + FormatBytes(c.bytes) + " of " +
            FormatBytes(c.plannedBytes) + " (" + std::to_string(static_cast<int>(*share * 100)) +
            "%)";
    if (const auto left = TimeLeft(c)) text += ", " + FormatElapsed(*left) + " left";
  }
  if (!c.currentFile.empty()) text += ", " + c.currentFile;
  return text;
}

std::string SummaryText(const RunCounts& c) {
  return std::string(c.stopped ? "stopped: " : "done: ") + std::to_string(c.copied) + " copied, " +
         std::to_string(c.skipped) + " skipped, " + std::to_string(c.unchanged) + " unchanged, " +
         std::to_string(c.failed) + " failed at " + std::to_string(c.destination) +
         (c.destination == 1 ? " destination, " : " destinations, ") + FormatBytes(c.bytes) + ", " +
         FormatElapsed(c.elapsed);
}

}  // namespace tolvane
