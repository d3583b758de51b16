#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

// A file's last-write time, to the nanosecond where the file system keeps it.
using FileTime = std::chrono::system_clock::time_point;

// One item of a folder search: what the copy engine and the source list need of it.
struct FindEntry {
  std::string name;  // the last component only
  bool isFolder = false;
  std::uint64_t size = 0;
  FileTime lastWrite{};
};

// Told after each chunk of a copy how many bytes of the file are written so far and its size.
// Returning false cancels the copy: it ends after that chunk and leaves nothing at the target.
using CopyProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// How a copy ended.
struct CopyResult {
  bool ok = false;
  bool cancelled = false;   // the progress callback asked to stop
  std::uint64_t bytes = 0;  // the size of the file copied, when ok
  std::string error;        // the system's reason, when it failed (may be empty)
  // The source's size or last-write time changed while it was read, or fewer bytes than its
  // size could be read: nothing is left at the target, and ok is false.
  bool sourceChanged = false;
};

// What a path leads to, links followed: two paths that reach the same folder have the same
// identity (device and inode on Linux; server, share and the server's file id over SMB; volume
// serial and file index on Windows). Where the system gives no file id, the path with its
// links resolved stands in for it.
struct FileIdentity {
  std::string volume;        // where a number does not name it, as "\\server\share"
  std::uint64_t device = 0;  // the device or volume serial
  std::uint64_t inode = 0;   // the file's id on that volume; 0 when the system gives none
  std::string path;          // the resolved path, when there is no file id
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// Runs fn on the window thread, after any question asked before it, and returns once it has
// run: how a worker of a run asks the user something (a login) from its own thread.
using WindowCall = std::function<void(const std::function<void()>& fn)>;

// A file held open for appending.
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  // Writes content at the end of the file, whole; false when it could not be written.
  virtual bool Append(const std::string& content) = 0;
};

// The file operations the logic calls. Paths are UTF-8; a path that begins with two
// backslashes is a network path (\\SERVER\share\dir) that the implementation maps to the
// place where the network is reachable on this system.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True when anything exists at path (file, folder, or anything else).
  virtual bool Exists(const std::string& path) = 0;
  // True when path exists and is a folder.
  virtual bool IsFolder(const std::string& path) = 0;

  // Lists what a search for pattern finds: pattern is a path whose last component may hold
  // the wildcards * and ? (dot files included, "*.*" matches every name, ASCII case does not
  // matter). Without wildcards it finds the item itself. "." and ".." are never listed. Items
  // come in the order the file system lists them. A missing folder or no match gives an empty
  // list.
  virtual std::vector<FindEntry> Find(const std::string& pattern) = 0;

  // Creates the folder and every missing parent. True when the folder exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;

  // Copies a file, keeping the source's last-write time. With failIfExists, an existing
  // target makes the copy fail and stays untouched. A folder or a read-only file at the
  // target makes it fail. The target is never left half-written: the data goes to a
  // temporary file beside it that replaces the target only once it is complete.
  virtual bool CopyFile(const std::string& source, const std::string& target,
                        bool failIfExists) = 0;
  // The same copy in chunks, telling progress after each and stopping when asked to, with
  // the system's reason when it fails. A file system that cannot copy in chunks copies in one
  // step and tells progress once, at the end.
  virtual CopyResult CopyFileWithProgress(const std::string& source, const std::string& target,
                                          bool failIfExists, const CopyProgress& progress);

  // Deletes a file. False when there was nothing to delete or it could not be deleted.
  virtual bool DeleteFile(const std::string& path) = 0;

  // The whole content of a file; empty when it cannot be read.
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // Writes content to a new file beside path and puts it in place of path only once it is
  // complete. On failure the old file stays as it was and nothing is left beside it.
  virtual bool ReplaceFile(const std::string& path, const std::string& content) = 0;
  // Appends content at the end of the file, creating the file when missing. Opened and closed
  // within the call. Anything but a regular file (a folder, a named pipe, a device) is refused
  // at once, never waited for.
  virtual bool AppendToFile(const std::string& path, const std::string& content) = 0;
  // Opens a file for appending and keeps it open until the handle goes, creating it when
  // missing, refusing anything but a regular file as AppendToFile does; nothing when it cannot
  // be opened. Where a file system cannot hold a file open, each Append opens and closes it.
  virtual std::unique_ptr<AppendFile> OpenForAppend(const std::string& path);
  // Gives a file a new name; never replaces anything at `to`.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;

  // Why the last failed Find, CreateFolders, CopyFile, ReplaceFile or AppendToFile failed, in
  // the system's words; Find clears it when it could search (also when nothing matched).
  // Empty when the system gave no reason.
  virtual std::string LastError() const { return {}; }
  // What path leads to, links followed; nothing when it cannot be reached or the system
  // cannot tell.
  virtual std::optional<FileIdentity> Identity(const std::string& /*path*/) { return {}; }
  // True when path is a network path whose existing part leads, through a link, outside the
  // place where the network is reachable on this system.
  virtual bool LeadsOutsideNetwork(const std::string& /*path*/) { return false; }
  // Removes the temporary files that a copy into folder left behind when its process was
  // killed: only ours (by their name), and only when the process that wrote them is gone.
  virtual void RemoveStaleTemporaryFiles(const std::string& /*folder*/) {}
  // Forgets what failed lately on the way to path (empty: every path), so that the next call
  // tries again at once: a server that did not answer, or whose logon was refused or
  // cancelled. For the start of a run and the user's own retry.
  virtual void ForgetFailures(const std::string& /*path*/) {}

  // A file system like this one for one more thread of a run: it shares with this one what is
  // safe to share across threads (a logon found once) and nothing else, so that each worker
  // uses its own. ask is how it may ask the user from that thread; empty where nothing may be
  // asked. Null when this one cannot make another: the run then takes turns on this one.
  virtual std::unique_ptr<FileSystem> ForWorker(WindowCall /*ask*/) { return nullptr; }
};

}  // namespace tolvane
