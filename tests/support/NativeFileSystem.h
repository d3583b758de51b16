#pragma once

#include <memory>
#include <string>

#ifdef _WIN32
#include "platform/win32/Win32FileSystem.h"
#else
#include "platform/posix/PosixFileSystem.h"
#endif

namespace tolvane::test {

#ifdef _WIN32
// The Windows file system, with network paths (\\SRV\share\a) led into a local folder that
// stands for the network, as the network root does on Linux; an empty root leaves them to the
// system.
class NativeFileSystem : public Win32FileSystem {
 public:
  explicit NativeFileSystem(std::string networkRoot = {});
  // A worker's own, over the same network folder.
  std::unique_ptr<FileSystem> ForWorker(WindowCall /*ask*/) override {
    return std::make_unique<NativeFileSystem>(networkRoot_);
  }

 protected:
  std::wstring NativePath(const std::string& path) const override;

 private:
  std::string networkRoot_;
};
#else
// The Linux file system, network paths under the network root.
class NativeFileSystem : public PosixFileSystem {
 public:
  using PosixFileSystem::PosixFileSystem;
  // A worker's own, over the same network folder and with the same chunks.
  std::unique_ptr<FileSystem> ForWorker(WindowCall /*ask*/) override {
    auto fs = std::make_unique<NativeFileSystem>(NetworkRoot());
    fs->SetChunkSize(ChunkSize());
    return fs;
  }
};
#endif

// True when the tests run under Wine rather than on Windows itself.
bool RunningUnderWine();

// True when text files that are not UTF-8 are read as Shift-JIS: always on Linux, on Windows
// where the ANSI code page is Japanese.
bool SystemTextIsShiftJis();

}  // namespace tolvane::test
