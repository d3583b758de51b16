#include "platform/posix/NetworkNamespace.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/posix/NetworkPath.h"

namespace tolvane {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNetworkName = "ネットワーク";

std::size_t Depth(const std::string& relative) {
  if (relative.empty()) return 0;
  return static_cast<std::size_t>(std::count(relative.begin(), relative.end(), '/')) + 1;
}

std::string LastComponent(const std::string& relative) {
  const auto slash = relative.rfind('/');
  return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSymlink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Hidden folders (".snapshot" and the like) are no destinations, as the desktop's file views
// leave them out; "." and ".." go with them.
bool IsHidden(const char* name) { return name[0] == '.'; }

// Whether an entry of dir is a folder (a link counts by what it leads to). The entry's own type
// answers without a further call; stat only where the file system gives none, or for a link.
bool EntryIsFolder(const std::string& dir, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return true;
    case DT_LNK:
    case DT_UNKNOWN:
      return IsDirectory(dir + "/" + entry.d_name);
    default:
      return false;
  }
}

// Calls visit for every entry of dir that is not hidden, in reading order, until it returns
// false. False when the folder cannot be read.
template <typename Visit>
bool VisitEntries(const std::string& dir, Visit&& visit) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  while (const dirent* entry = ::readdir(d)) {
    if (!IsHidden(entry->d_name) && !visit(*entry)) break;
  }
  ::closedir(d);
  return true;
}

// Names in reading order; a name holding "\" cannot be written in a UNC path, so it is left out.
// With foldersOnly, only folders (and, below the root, links to folders) are kept.
std::optional<std::vector<std::string>> ReadNames(const std::string& dir, bool foldersOnly,
                                                  bool atRoot) {
  std::vector<std::string> names;
  const bool read = VisitEntries(dir, [&](const dirent& entry) {
    const std::string_view name = entry.d_name;
    if (name.find('\\') != std::string_view::npos) return true;
    if (foldersOnly) {
      // A link directly in the root is a network place, never listed as a folder.
      const bool link = entry.d_type == DT_LNK || (entry.d_type == DT_UNKNOWN && atRoot &&
                                                   IsSymlink(dir + "/" + entry.d_name));
      if ((atRoot && link) || !EntryIsFolder(dir, entry)) return true;
    }
    names.emplace_back(name);
    return true;
  });
  if (!read) return std::nullopt;
  // Directory order is arbitrary; a sorted listing keeps the tree the same from run to run.
  std::sort(names.begin(), names.end());
  return names;
}

// Stops at the first sub-folder: a share of large folders is not read to its end for a button.
bool HasSubFolder(const std::string& dir) {
  bool found = false;
  VisitEntries(dir, [&](const dirent& entry) {
    found = EntryIsFolder(dir, entry);
    return !found;
  });
  return found;
}

class NameEnumerator : public ShellEnumerator {
 public:
  NameEnumerator(std::string prefix, std::vector<std::string> names)
      : prefix_(std::move(prefix)), names_(std::move(names)) {}
  std::optional<ShellItem> Next() override {
    if (next_ >= names_.size()) return std::nullopt;
    return ShellItem{prefix_ + names_[next_++]};
  }

 private:
  std::string prefix_;
  std::vector<std::string> names_;
  std::size_t next_ = 0;
};

}  // namespace

PosixNetworkNamespace::PosixNetworkNamespace(std::string networkRoot) {
  SetNetworkRoot(std::move(networkRoot));
}

void PosixNetworkNamespace::SetNetworkRoot(std::string networkRoot) {
  root_ = std::move(networkRoot);
  if (root_.empty()) root_ = kDefaultRoot;
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

std::string PosixNetworkNamespace::Absolute(const std::string& relative) const {
  if (relative.empty()) return root_;
  return root_ == "/" ? "/" + relative : root_ + "/" + relative;
}

bool PosixNetworkNamespace::IsShortcut(const std::string& relative) const {
  return Depth(relative) == 1 && IsSymlink(Absolute(relative));
}

std::optional<ShellItem> PosixNetworkNamespace::NetworkFolder() { return ShellItem{""}; }

std::string PosixNetworkNamespace::DisplayName(const ShellItem& item) {
  return item.id.empty() ? kNetworkName : LastComponent(item.id);
}

std::unique_ptr<ShellEnumerator> PosixNetworkNamespace::Enumerate(const ShellItem& folder,
                                                                  bool foldersOnly) {
  // A network place is reached through its target's UNC path, never through the link itself.
  if (IsShortcut(folder.id)) return nullptr;
  const std::string dir = Absolute(folder.id);
  if (!IsDirectory(dir)) return nullptr;
  auto names = ReadNames(dir, foldersOnly, folder.id.empty());
  if (!names) return nullptr;
  const std::string prefix = folder.id.empty() ? "" : folder.id + "/";
  return std::make_unique<NameEnumerator>(prefix, std::move(*names));
}

ShellAttributes PosixNetworkNamespace::Attributes(const ShellItem& item) {
  ShellAttributes attributes;
  const std::string path = Absolute(item.id);
  attributes.folder = IsDirectory(path);
  if (!attributes.folder) return attributes;
  const std::size_t depth = Depth(item.id);
  if (depth == 1 && IsSymlink(path)) {
    attributes.link = true;
    // Worth expanding only where the target can be listed by its UNC path.
    const auto target = ResolveShortcut(path);
    if (target && IsNetworkPath(*target)) {
      const auto mapped = MapNetworkPath(root_, *target);
      attributes.hasSubFolders = mapped && HasSubFolder(*mapped);
    }
  } else if (depth <= 1) {
    // Looking into every server would wake every automounted host at start-up; the first
    // expansion finds out, and a server without shares then loses its button.
    attributes.hasSubFolders = true;
  } else {
    attributes.hasSubFolders = HasSubFolder(path);
  }
  return attributes;
}

std::string PosixNetworkNamespace::FileSystemPath(const ShellItem& item) {
  if (item.id.empty()) return "";
  if (IsShortcut(item.id)) return Absolute(item.id);
  std::string unc = "\\\\" + item.id;
  std::replace(unc.begin() + 2, unc.end(), '/', '\\');
  return unc;
}

std::optional<ShellItem> PosixNetworkNamespace::ParsePath(const std::string& path) {
  if (!IsNetworkPath(path)) return std::nullopt;
  const auto mapped = MapNetworkPath(root_, path);
  if (!mapped) return std::nullopt;
  std::string relative = mapped->substr(root_ == "/" ? 1 : root_.size() + 1);
  const auto firstSlash = relative.find('/');
  // A link directly in the root is a network place, not a server: going through it would
  // leave the network root.
  if (IsSymlink(Absolute(relative.substr(0, firstSlash)))) return std::nullopt;
  if (!IsDirectory(*mapped)) return std::nullopt;
  return ShellItem{std::move(relative)};
}

std::optional<std::string> PosixNetworkNamespace::ResolveShortcut(const std::string& shortcutPath) {
  std::error_code ec;
  const fs::path link(shortcutPath);
  fs::path target = fs::read_symlink(link, ec);
  if (ec) return std::nullopt;
  if (target.empty()) return std::string();
  if (target.is_relative()) target = link.parent_path() / target;
  target = target.lexically_normal();
  std::string text = target.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();

  const std::string prefix = root_ == "/" ? "/" : root_ + "/";
  if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0) return text;
  const std::string inside = text.substr(prefix.size());
  if (inside.find('\\') != std::string::npos) return text;  // not expressible as UNC
  std::string unc = "\\\\" + inside;
  std::replace(unc.begin() + 2, unc.end(), '/', '\\');
  return unc;
}

ShellIcon PosixNetworkNamespace::IconOf(const ShellItem& item) {
  switch (Depth(item.id)) {
    case 0:
      return ShellIcon::Network;
    case 1:
      return IsShortcut(item.id) ? ShellIcon::Shortcut : ShellIcon::Server;
    case 2:
      return ShellIcon::Share;
    default:
      return ShellIcon::Folder;
  }
}

void PosixNetworkNamespace::ListAhead(const std::vector<std::string>& serverPaths, int parallel) {
  std::vector<std::string> dirs;
  for (const auto& path : serverPaths) {
    if (!IsNetworkPath(path)) continue;
    const auto mapped = MapNetworkPath(root_, path);
    // A network place is no server, and is never gone through.
    if (!mapped || IsSymlink(*mapped)) continue;
    if (std::find(dirs.begin(), dirs.end(), *mapped) == dirs.end()) dirs.push_back(*mapped);
  }
  const std::size_t threads =
      std::min(dirs.size(), static_cast<std::size_t>(std::max(parallel, 1)));
  if (threads < 2) return;
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (std::size_t t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (std::size_t i; (i = next++) < dirs.size();) {
        VisitEntries(dirs[i], [](const dirent&) { return true; });
      }
    });
  }
  for (auto& worker : workers) worker.join();
}

}  // namespace tolvane
