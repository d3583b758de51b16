#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace tolvane {

// The file system of Windows through the wide calls, so that every name works whatever the
// ANSI code page. Network paths (\\SERVER\share\dir) are the system's own.
// Like the system's own copy, CopyFile also refuses a hidden target.
class Win32FileSystem : public FileSystem {
 public:
  bool Exists(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  std::vector<FindEntry> Find(const std::string& pattern) override;
  bool CreateFolders(const std::string& path) override;
  bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) override;
  CopyResult CopyFileWithProgress(const std::string& source, const std::string& target,
                                  bool failIfExists, const CopyProgress& progress) override;
  bool DeleteFile(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool ReplaceFile(const std::string& path, const std::string& content) override;
  bool AppendToFile(const std::string& path, const std::string& content) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  std::string LastError() const override { return lastError_; }
  // The volume serial and file index; where the file system has no index, the resolved path.
  std::optional<FileIdentity> Identity(const std::string& path) override;
  // Ours are "~tolvane-HOST-PID-N-R.tmp": only this machine's, whose writer has ended, go.
  void RemoveStaleTemporaryFiles(const std::string& folder) override;
  // Another of its own (nothing is shared). A subclass that maps paths or moves the data its
  // own way makes its own.
  std::unique_ptr<FileSystem> ForWorker(WindowCall) override {
    return std::make_unique<Win32FileSystem>();
  }

 protected:
  // The path as the wide calls take it: UTF-16, with the long-path prefix where the path is
  // too long for the plain form. Tests map network paths into a local folder here.
  virtual std::wstring NativePath(const std::string& path) const;
  // Copies source to the fresh file temp with its data, attributes and last-write time,
  // telling progress after each chunk the system copies; a progress that asks to stop makes it
  // fail with ERROR_REQUEST_ABORTED. The one place the data moves; tests replace it to break a
  // copy half-way. The reason of a failure is left in the thread's last error.
  virtual bool CopyToTemporary(const std::wstring& source, const std::wstring& temp,
                               const CopyProgress& progress);

 private:
  // Remembers the system's reason for the call that just failed; returns false.
  bool Fail(unsigned long error);

  std::string lastError_;
};

// The long-path form (\\?\C:\... or \\?\UNC\SRV\share\...) of a path that is too long for the
// plain form; shorter paths come back as they are.
std::wstring ExtendedLengthPath(const std::wstring& path);

// This machine's tag in our temporary files' names ("~tolvane-HOST-PID-N-R.tmp").
const std::string& TemporaryFileHostTag();

// The system's text for an error code, in the system's language.
std::string SystemErrorText(unsigned long error);

// FILETIME ticks (100 ns since 1601) and our file time.
FileTime FromFileTimeTicks(unsigned long long ticks);
unsigned long long ToFileTimeTicks(FileTime time);

}  // namespace tolvane
