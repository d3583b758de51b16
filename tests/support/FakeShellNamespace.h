#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ShellNamespace.h"

namespace tolvane::test {

// A network namespace built by the test: workgroups, a whole-network entry, servers with and
// without UNC paths, network-place shortcuts, items that vanish. Items are numbered; 0 is the
// Network folder.
class FakeShellNamespace : public ShellNamespace {
 public:
  struct Item {
    std::string displayName;
    std::string path;  // UNC path, a shortcut's own file path, or empty
    bool folder = true;
    bool link = false;
    bool hasSubFolders = false;
    ShellIcon icon = ShellIcon::Folder;
    std::optional<std::string> target;  // a shortcut's target; nothing = cannot be loaded
    bool gone = false;
    int parent = -1;
    std::vector<int> children;
  };

  static constexpr int kNetwork = 0;

  explicit FakeShellNamespace(std::string networkName = "ネットワーク");

  int Add(int parent, Item item);
  int Add(int parent, std::string displayName, std::string path, ShellIcon icon);
  // A server with the UNC path \\name.
  int AddServer(int parent, const std::string& name);
  // A server the shell gives no file-system path.
  int AddPathlessServer(int parent, const std::string& name);
  int AddWorkgroup(int parent, const std::string& name);
  // A share or folder below an item with a UNC path: its path is the parent's, "\", name.
  int AddFolder(int parent, const std::string& name);
  // The servers, shares and folders of a path below the network folder ("PC01/share/apps"),
  // each added where it is not there yet; returns the last one's id.
  int AddPath(const std::string& relative);
  // A network place stored in the file C:\NetHood\<fileName>.
  int AddShortcut(int parent, const std::string& displayName, const std::string& fileName,
                  std::optional<std::string> target);
  void Vanish(int id) { items_.at(static_cast<std::size_t>(id)).gone = true; }
  Item& At(int id) { return items_.at(static_cast<std::size_t>(id)); }

  bool networkMissing = false;
  std::map<int, int> enumerations;  // listings opened, per folder item

  std::optional<ShellItem> NetworkFolder() override;
  std::string DisplayName(const ShellItem& item) override;
  std::unique_ptr<ShellEnumerator> Enumerate(const ShellItem& folder, bool foldersOnly) override;
  ShellAttributes Attributes(const ShellItem& item) override;
  std::string FileSystemPath(const ShellItem& item) override;
  std::optional<ShellItem> ParsePath(const std::string& path) override;
  std::optional<std::string> ResolveShortcut(const std::string& shortcutPath) override;
  ShellIcon IconOf(const ShellItem& item) override;
  void Forget(const std::string& path) override { forgotten.push_back(path); }
  std::vector<std::string> forgotten;  // the paths a refresh asked to try afresh
  struct Ahead {
    std::vector<std::string> servers;
    int parallel = 0;
    bool operator==(const Ahead&) const = default;
  };
  void ListAhead(const std::vector<std::string>& serverPaths, int parallel) override {
    listedAhead.push_back({serverPaths, parallel});
  }
  std::vector<Ahead> listedAhead;

  // Whether the item or one of its ancestors has vanished.
  bool Reachable(int id) const;
  const Item* Find(const ShellItem& item) const;
  int IdOf(const ShellItem& item) const;

 private:
  std::vector<Item> items_;
};

}  // namespace tolvane::test
