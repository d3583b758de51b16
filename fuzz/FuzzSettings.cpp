// The settings reader on any bytes: a file it cannot read as ours is set aside whole, never
// overwritten; what it reads, saved and read again, gives the same settings.
#include "FuzzSupport.h"
#include "MemoryFileSystem.h"
#include "setup/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolvane;
  fuzz::MemoryFileSystem fs;
  const std::string path = "/exe/Pelmo.ini";
  fs.files[path] = std::string(fuzz::AsText(data, size));

  std::optional<DamagedFile> damaged;
  const WindowSettings first = LoadSettings(fs, path, &damaged);
  if (damaged) {
    FUZZ_CHECK(damaged->setAsideTo == path + ".damaged");
    FUZZ_CHECK(fs.files[damaged->setAsideTo] == std::string(fuzz::AsText(data, size)));
    FUZZ_CHECK(!fs.Exists(path));
  }
  FUZZ_CHECK(SaveSettings(fs, path, first));
  std::optional<DamagedFile> again;
  const WindowSettings second = LoadSettings(fs, path, &again);
  FUZZ_CHECK(!again);
  FUZZ_CHECK(SettingsLines(second) == SettingsLines(first));
  return 0;
}
