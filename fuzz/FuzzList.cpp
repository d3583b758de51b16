// The list loader on any bytes: a damaged list is set aside whole; whatever loads (also the
// sources and destinations that cannot be found) is saved again, and saving what that save
// loads gives the same bytes.
#include "FuzzSupport.h"
#include "MemoryFileSystem.h"
#include "setup/ListFile.h"

namespace {

// A network where no destination is found: every destination is kept as it was read.
class NoNodes : public tolvane::NodeLocator {
 public:
  void RestoreNodes(const std::string&) override {}
  tolvane::TreeNode* FindNodeByPath(const std::string&) override { return nullptr; }
};

class NoMemo : public tolvane::LogSink {
 public:
  void AddMemoLine(const std::string& line) override {
    // Log lines are single lines, whatever the names in them.
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
  }
  void ClearMemo() override {}
};

// Loads path into a fresh setup and saves it to saved.
std::string LoadAndSave(tolvane::fuzz::MemoryFileSystem& fs, const std::string& path,
                        bool& damaged) {
  using namespace tolvane;
  NoMemo memo;
  StatusLog log(fs, memo);
  SourceList sources;
  SourceEntries entries(fs, log, sources);
  DestinationTree tree;
  NoNodes locator;
  ListFile listFile(fs, log, entries, sources, tree, locator);
  damaged = listFile.LoadList(path).damaged.has_value();
  FUZZ_CHECK(listFile.SaveList("/exe/saved.lst"));
  return fs.files["/exe/saved.lst"];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tolvane::fuzz::MemoryFileSystem fs;
  const std::string input(tolvane::fuzz::AsText(data, size));
  fs.files["/exe/in.lst"] = input;
  bool damaged = false;
  const std::string first = LoadAndSave(fs, "/exe/in.lst", damaged);
  if (damaged) FUZZ_CHECK(fs.files["/exe/in.lst.damaged"] == input);
  fs.files["/exe/again.lst"] = first;
  bool damagedAgain = false;
  const std::string second = LoadAndSave(fs, "/exe/again.lst", damagedAgain);
  FUZZ_CHECK(!damagedAgain);
  FUZZ_CHECK(second == first);
  return 0;
}
