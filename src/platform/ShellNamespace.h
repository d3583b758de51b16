#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

// An item of the network namespace. The id means something only to the namespace that made
// it; items are plain values, so nothing has to be freed.
struct ShellItem {
  std::string id;
  bool operator==(const ShellItem&) const = default;
};

// What the namespace says of an item.
struct ShellAttributes {
  bool folder = false;         // can hold other items
  bool link = false;           // a shortcut (network place)
  bool hasSubFolders = false;  // worth an expand button
};

// Which picture the namespace would show for an item.
enum class ShellIcon { Network, Workgroup, Server, Share, Folder, Shortcut, Other };

// Hands out the items of one folder, one at a time, as a slow network listing does.
class ShellEnumerator {
 public:
  virtual ~ShellEnumerator() = default;
  // The next item; nothing once the listing has ended (or broke off).
  virtual std::optional<ShellItem> Next() = 0;
};

// The network part of the shell's namespace: the Network folder, what it lists, and the
// servers, shares and folders below it.
class ShellNamespace {
 public:
  virtual ~ShellNamespace() = default;

  // The Network folder itself; nothing when it cannot be located.
  virtual std::optional<ShellItem> NetworkFolder() = 0;
  // The name the shell shows for an item.
  virtual std::string DisplayName(const ShellItem& item) = 0;
  // Lists a folder item: folders only, or everything (hidden items included). Null when the
  // folder cannot be opened.
  virtual std::unique_ptr<ShellEnumerator> Enumerate(const ShellItem& folder, bool foldersOnly) = 0;
  virtual ShellAttributes Attributes(const ShellItem& item) = 0;
  // The item's file-system path: a UNC path (\\SRV\share) for network folders, the shortcut
  // file's own path for a shortcut, empty when the item has none.
  virtual std::string FileSystemPath(const ShellItem& item) = 0;
  // The item of a UNC folder path; nothing when the path does not lead to a folder.
  virtual std::optional<ShellItem> ParsePath(const std::string& path) = 0;
  // The target of a shortcut file; nothing when the shortcut cannot be read. An empty target
  // is possible.
  virtual std::optional<std::string> ResolveShortcut(const std::string& shortcutPath) = 0;
  virtual ShellIcon IconOf(const ShellItem& item) = 0;
  // The user asked for a path to be listed again (最新の情報に更新): forgets what is known of its
  // server's failures (an unanswered call, a failed or cancelled logon), so that the next
  // listing tries again at once. Nothing to forget by default.
  virtual void Forget(const std::string& path) { (void)path; }
  // The servers (\\NAME) whose listings a walk of the tree is about to need, one after
  // another: a namespace that can ask several servers at once asks them now, up to parallel at
  // a time, so that the walk waits for the slowest server rather than for each in turn.
  // Returns once each has answered or failed. A namespace that cannot does nothing.
  virtual void ListAhead(const std::vector<std::string>& serverPaths, int parallel) {
    (void)serverPaths;
    (void)parallel;
  }
};

}  // namespace tolvane
