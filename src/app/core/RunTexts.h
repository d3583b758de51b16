#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/DistributionRun.h"
#include "engine/RunProgress.h"

namespace tolvane {

// The longest path the status bar shows whole, in characters; a longer one loses its middle.
inline constexpr std::size_t kStatusPathLength = 60;

// text with its middle replaced by "…" so that it has at most maxChars characters (UTF-8 code
// points), its beginning and end kept.
std::string ElideMiddle(const std::string& text, std::size_t maxChars);

// Where a run stands, as the window's status bar says it: "配布先 2/5: 成功 372, スキップ 0,
// 失敗 1, 1.2 MiB, 3.0 MiB/s, \\SRV\share\…\file.txt".
std::string WindowProgressText(const RunCounts& counts);
// The summary of a run that ended ("配布中止: ..." after a stop):
// "配布終了: 成功 9, スキップ 0, 失敗 0 (配布先 3 箇所), 9 B, 0.0 s".
std::string WindowSummaryText(const RunCounts& counts);

// The result list of a run, as both windows show it (配布結果).
struct ResultList {
  static constexpr std::size_t kColumns = 8;
  using Row = std::array<std::string, kColumns>;
  static const Row& Headers();
  std::vector<Row> rows;
  std::vector<bool> failed;  // per row: the destination failed
};
ResultList MakeResultList(const std::vector<DestinationResult>& results);

inline constexpr char kResultsTitle[] = "配布結果";

// The status bar's hint while the network folder shows no server at all; empty where the
// system's own network folder is used.
std::string EmptyNetworkHint(const std::string& networkRoot);

}  // namespace tolvane
