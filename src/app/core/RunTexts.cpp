#include "app/core/RunTexts.h"

namespace tolvane {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t CodePoints(const std::string& text) {
  std::size_t count = 0;
  for (char c : text) count += IsContinuation(c) ? 0 : 1;
  return count;
}

// The byte offset where code point index n begins.
std::size_t OffsetOf(const std::string& text, std::size_t n) {
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    if (!IsContinuation(text[i]) && n-- == 0) break;
  }
  return i;
}

std::string Counts(const RunCounts& c) {
  std::string text = "成功 " + std::to_string(c.copied) + ", スキップ " + std::to_string(c.skipped);
  if (c.unchanged > 0) text += ", 変更なし " + std::to_string(c.unchanged);
  return text + ", 失敗 " + std::to_string(c.failed);
}

}  // namespace

std::string ElideMiddle(const std::string& text, std::size_t maxChars) {
  const std::size_t length = CodePoints(text);
  if (length <= maxChars || maxChars < 3) return text;
  const std::size_t head = (maxChars - 1) / 2;
  const std::size_t tail = maxChars - 1 - head;
  return text.substr(0, OffsetOf(text, head)) + "…" + text.substr(OffsetOf(text, length - tail));
}

std::string WindowProgressText(const RunCounts& c) {
  std::string text = "配布先 " + std::to_string(c.destination) + "/" +
                     std::to_string(c.destinations) + ": " + Counts(c) + ", " +
                     FormatBytes(c.bytes) + ", " + FormatBytes(c.bytesPerSecond) + "/s";
  // How far the run is against its plan, and how long the rest may take.
  if (const auto share = ShareDone(c)) {
    text += ", " + std::to_string(c.copied + c.skipped + c.failed) + "/" +
            std::to_string(c.plannedFiles) + " ファイル, " + FormatBytes(c.bytes) + "/" +
            FormatBytes(c.plannedBytes) + " (" + std::to_string(static_cast<int>(*share * 100)) +
            "%)";
    if (const auto left = TimeLeft(c)) text += ", 残り " + FormatElapsed(*left);
  }
  if (!c.currentFile.empty()) text += ", " + ElideMiddle(c.currentFile, kStatusPathLength);
  return text;
}

std::string WindowSummaryText(const RunCounts& c) {
  return std::string(c.stopped ? "配布中止: " : "配布終了: ") + Counts(c) + " (配布先 " +
         std::to_string(c.destination) + " 箇所), " + FormatBytes(c.bytes) + ", " +
         FormatElapsed(c.elapsed);
}

const ResultList::Row& ResultList::Headers() {
  static const Row headers{"配布先", "成功",   "スキップ", "変更なし",
                           "失敗",   "サイズ", "時間",     "最初の失敗"};
  return headers;
}

ResultList MakeResultList(const std::vector<DestinationResult>& results) {
  ResultList list;
  for (const DestinationResult& r : results) {
    list.rows.push_back({r.folder, std::to_string(r.copied), std::to_string(r.skipped),
                         std::to_string(r.unchanged), std::to_string(r.failed),
                         FormatBytes(r.bytes), FormatElapsed(r.time), r.firstFailure});
    list.failed.push_back(r.destinationFailed);
  }
  return list;
}

std::string EmptyNetworkHint(const std::string& networkRoot) {
#ifdef _WIN32
  (void)networkRoot;
  return {};
#else
  return "ネットワークフォルダ " + networkRoot +
         " にサーバーが見つかりません。設定 > ネットワークフォルダ... で選んでください";
#endif
}

}  // namespace tolvane
