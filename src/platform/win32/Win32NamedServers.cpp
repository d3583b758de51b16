#include "platform/win32/Win32NamedServers.h"

#include <algorithm>

#include "platform/NetworkPaths.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"
#include "setup/Settings.h"
// The share enumeration builds on windows.h, which WindowsApi.h brings first.
// clang-format off
#include <lm.h>
// clang-format on

namespace tolvane {
namespace {

class ListEnumerator : public ShellEnumerator {
 public:
  explicit ListEnumerator(std::vector<ShellItem> items) : items_(std::move(items)) {}
  std::optional<ShellItem> Next() override {
    if (next_ >= items_.size()) return std::nullopt;
    return items_[next_++];
  }

 private:
  std::vector<ShellItem> items_;
  std::size_t next_ = 0;
};

// Our items' ids are their UNC paths. The shell's ids are item-identifier lists, which always
// end in two zero bytes; a UNC path never does.
bool IsOurs(const ShellItem& item) {
  const std::string& id = item.id;
  return IsNetworkPath(id) && !(id.size() >= 2 && id[id.size() - 1] == 0 && id[id.size() - 2] == 0);
}

// The number of components after the two leading backslashes: 1 server, 2 share, 3+ folder.
std::size_t Depth(const std::string& unc) {
  std::size_t count = 0;
  for (std::size_t pos = 2; pos < unc.size();) {
    const std::size_t next = std::min(unc.find('\\', pos), unc.size());
    if (next > pos) ++count;
    pos = next + 1;
  }
  return count;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 2 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

std::optional<std::vector<std::string>> NetShareLister::Shares(const std::string& server) {
  std::wstring name = L"\\\\" + Widen(server);
  std::vector<std::string> shares;
  DWORD resume = 0;
  NET_API_STATUS status;
  do {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    status = NetShareEnum(name.data(), 1, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
    if (status != NERR_Success && status != ERROR_MORE_DATA) {
      if (buffer) NetApiBufferFree(buffer);
      return std::nullopt;
    }
    const auto* info = reinterpret_cast<const SHARE_INFO_1*>(buffer);
    for (DWORD i = 0; i < read; ++i) {
      // Disk shares only: no printers, no IPC$, no administrative shares.
      if ((info[i].shi1_type & 0xFF) != STYPE_DISKTREE) continue;  // the type without its flags
      if (info[i].shi1_type & STYPE_SPECIAL) continue;
      const std::string share = Narrow(info[i].shi1_netname);
      if (share.empty() || share.back() == '$') continue;
      shares.push_back(share);
    }
    if (buffer) NetApiBufferFree(buffer);
  } while (status == ERROR_MORE_DATA);
  return shares;
}

NamedServerNamespace::NamedServerNamespace(ShellNamespace& shell, FileSystem& fs,
                                           ShareLister& shares)
    : shell_(shell), fs_(fs), shares_(shares) {}

std::optional<std::string> NamedServerNamespace::ServerOf(const std::string& path) const {
  if (!IsNetworkPath(path)) return std::nullopt;
  const std::size_t end = std::min(path.find('\\', 2), path.size());
  const std::string name = path.substr(2, end - 2);
  for (const std::string& server : servers_) {
    if (SameServerName(server, name)) return server;
  }
  return std::nullopt;
}

std::optional<ShellItem> NamedServerNamespace::NetworkFolder() { return shell_.NetworkFolder(); }

std::string NamedServerNamespace::DisplayName(const ShellItem& item) {
  if (!IsOurs(item)) return shell_.DisplayName(item);
  return item.id.substr(item.id.rfind('\\') + 1);
}

std::unique_ptr<ShellEnumerator> NamedServerNamespace::Enumerate(const ShellItem& folder,
                                                                 bool foldersOnly) {
  if (!IsOurs(folder)) {
    auto listing = shell_.Enumerate(folder, foldersOnly);
    const auto root = shell_.NetworkFolder();
    if (!root || !(folder == *root)) return listing;
    // The root: the folder's own items, then the named servers it does not list.
    std::vector<ShellItem> items;
    std::vector<std::string> names;
    if (listing) {
      while (auto item = listing->Next()) {
        names.push_back(shell_.DisplayName(*item));
        items.push_back(std::move(*item));
      }
    }
    for (const std::string& server : servers_) {
      if (!HasServerName(names, server)) items.push_back(ShellItem{"\\\\" + server});
    }
    if (!listing && items.empty()) return nullptr;
    return std::make_unique<ListEnumerator>(std::move(items));
  }
  std::vector<std::string> names;
  if (Depth(folder.id) == 1) {
    auto shares = shares_.Shares(folder.id.substr(2));
    if (!shares) return nullptr;
    names = std::move(*shares);
  } else {
    for (const FindEntry& entry : fs_.Find(folder.id + "\\*")) {
      if (foldersOnly && !entry.isFolder) continue;
      names.push_back(entry.name);
    }
  }
  std::sort(names.begin(), names.end());
  std::vector<ShellItem> items;
  for (const std::string& name : names) items.push_back(ShellItem{folder.id + "\\" + name});
  return std::make_unique<ListEnumerator>(std::move(items));
}

ShellAttributes NamedServerNamespace::Attributes(const ShellItem& item) {
  if (!IsOurs(item)) return shell_.Attributes(item);
  ShellAttributes attributes;
  if (Depth(item.id) <= 2) {
    // Servers and shares are found out on expansion: looking into each would contact every
    // server at start-up.
    attributes.folder = true;
    attributes.hasSubFolders = true;
    return attributes;
  }
  attributes.folder = fs_.IsFolder(item.id);
  if (attributes.folder) {
    const auto entries = fs_.Find(item.id + "\\*");
    attributes.hasSubFolders =
        std::any_of(entries.begin(), entries.end(), [](const FindEntry& e) { return e.isFolder; });
  }
  return attributes;
}

std::string NamedServerNamespace::FileSystemPath(const ShellItem& item) {
  return IsOurs(item) ? item.id : shell_.FileSystemPath(item);
}

std::optional<ShellItem> NamedServerNamespace::ParsePath(const std::string& path) {
  const auto server = ServerOf(path);
  if (!server) return shell_.ParsePath(path);
  const std::string unc = WithoutTrailingSeparators(path);
  // A server is ours by its name alone; a share or folder must be there.
  if (Depth(unc) == 1) return ShellItem{"\\\\" + *server};
  if (!fs_.IsFolder(unc)) return std::nullopt;
  return ShellItem{"\\\\" + *server + unc.substr(std::min(unc.find('\\', 2), unc.size()))};
}

std::optional<std::string> NamedServerNamespace::ResolveShortcut(const std::string& shortcutPath) {
  return shell_.ResolveShortcut(shortcutPath);
}

ShellIcon NamedServerNamespace::IconOf(const ShellItem& item) {
  if (!IsOurs(item)) return shell_.IconOf(item);
  switch (Depth(item.id)) {
    case 1:
      return ShellIcon::Server;
    case 2:
      return ShellIcon::Share;
    default:
      return ShellIcon::Folder;
  }
}

}  // namespace tolvane
