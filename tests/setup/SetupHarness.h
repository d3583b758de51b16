#pragma once

#include <string>
#include <vector>

#include "log/StatusLog.h"
#include "setup/SourceEntries.h"
#include "setup/SourceList.h"
#include "support/Fakes.h"
#include "support/FaultFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane::test {

// A real file system in a temporary folder, with the status log going to a vector.
struct SetupHarness {
  TempDir dir;
  NativeFileSystem native;
  FaultFileSystem fs{native};
  VectorLogSink sink;
  StatusLog log{fs, sink};
  SourceList sources;
  SourceEntries entries{fs, log, sources};

  SetupHarness() {
    log.SetSaveToFileSource([] { return false; });
  }

  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const auto& e : sources.Entries()) paths.push_back(e.path);
    return paths;
  }
};

// Seconds since the epoch of a local wall-clock time.
long long LocalSeconds(int year, int month, int day, int hour, int minute, int second);

}  // namespace tolvane::test
