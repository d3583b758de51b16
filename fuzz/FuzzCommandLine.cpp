// The command line, on any arguments: the splash decision agrees with batch mode, and the
// paths of -l and -g are the rest of their arguments, completed only when they name no folder.
#include <optional>
#include <tuple>

#include "FuzzSupport.h"
#include "app/core/CommandLine.h"
#include "common/AppInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolvane;
  const std::vector<std::string> args = fuzz::Pieces(fuzz::AsText(data, size));
  const CommandLineOptions options = ParseCommandLine(args, "/cwd");
  FUZZ_CHECK(options.batchMode == HasBatchSwitch(args));
  const auto lastRest = [&](char lower) -> std::optional<std::string> {
    std::optional<std::string> rest;
    for (const auto& a : args) {
      if (a.size() >= 2 && a[0] == '-' && (a[1] | 0x20) == lower) rest = a.substr(2);
    }
    return rest;
  };
  for (const auto& [letter, has, path] : {std::tuple{'l', options.hasListPath, options.listPath},
                                          std::tuple{'g', options.hasLogPath, options.logPath}}) {
    const auto rest = lastRest(letter);
    FUZZ_CHECK(has == rest.has_value());
    if (!rest) continue;
    if (rest->find(kPathSeparator) != std::string::npos) {
      FUZZ_CHECK(path == *rest);
    } else {
      FUZZ_CHECK(path == std::string("/cwd") + kPathSeparator + *rest);
    }
  }
  return 0;
}
