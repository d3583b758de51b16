#include "FakeShellNamespace.h"

namespace tolvane::test {

int FakeShellNamespace::AddPath(const std::string& relative) {
  int parent = kNetwork;
  std::string rest = relative;
  while (!rest.empty()) {
    const auto slash = rest.find('/');
    const std::string name = rest.substr(0, slash);
    rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
    int found = -1;
    for (int child : At(parent).children) {
      if (At(child).displayName == name) found = child;
    }
    if (found < 0) found = parent == kNetwork ? AddServer(parent, name) : AddFolder(parent, name);
    if (!rest.empty()) At(found).hasSubFolders = true;
    parent = found;
  }
  return parent;
}

namespace {

class FakeEnumerator : public ShellEnumerator {
 public:
  FakeEnumerator(FakeShellNamespace& shell, std::vector<int> ids, bool foldersOnly)
      : shell_(shell), ids_(std::move(ids)), foldersOnly_(foldersOnly) {}
  std::optional<ShellItem> Next() override {
    // Items that vanish while the listing runs are not handed out any more.
    while (next_ < ids_.size()) {
      const int id = ids_[next_++];
      if (shell_.At(id).gone) continue;
      if (foldersOnly_ && !shell_.At(id).folder) continue;
      return ShellItem{std::to_string(id)};
    }
    return std::nullopt;
  }

 private:
  FakeShellNamespace& shell_;
  std::vector<int> ids_;
  bool foldersOnly_;
  std::size_t next_ = 0;
};

}  // namespace

FakeShellNamespace::FakeShellNamespace(std::string networkName) {
  Item network;
  network.displayName = std::move(networkName);
  network.icon = ShellIcon::Network;
  network.hasSubFolders = true;
  items_.push_back(std::move(network));
}

int FakeShellNamespace::Add(int parent, Item item) {
  const int id = static_cast<int>(items_.size());
  item.parent = parent;
  items_.push_back(std::move(item));
  Item& owner = At(parent);
  owner.children.push_back(id);
  if (owner.folder) owner.hasSubFolders = true;
  return id;
}

int FakeShellNamespace::Add(int parent, std::string displayName, std::string path, ShellIcon icon) {
  Item item;
  item.displayName = std::move(displayName);
  item.path = std::move(path);
  item.icon = icon;
  return Add(parent, std::move(item));
}

int FakeShellNamespace::AddServer(int parent, const std::string& name) {
  return Add(parent, name, "\\\\" + name, ShellIcon::Server);
}

int FakeShellNamespace::AddPathlessServer(int parent, const std::string& name) {
  return Add(parent, name, "", ShellIcon::Server);
}

int FakeShellNamespace::AddWorkgroup(int parent, const std::string& name) {
  return Add(parent, name, "", ShellIcon::Workgroup);
}

int FakeShellNamespace::AddFolder(int parent, const std::string& name) {
  const Item& owner = At(parent);
  std::string base = owner.path.empty() ? "\\\\" + owner.displayName : owner.path;
  const ShellIcon icon = owner.icon == ShellIcon::Server ? ShellIcon::Share : ShellIcon::Folder;
  return Add(parent, name, base + "\\" + name, icon);
}

int FakeShellNamespace::AddShortcut(int parent, const std::string& displayName,
                                    const std::string& fileName,
                                    std::optional<std::string> target) {
  const int id = Add(parent, displayName, "C:\\NetHood\\" + fileName, ShellIcon::Shortcut);
  At(id).link = true;
  At(id).target = std::move(target);
  return id;
}

const FakeShellNamespace::Item* FakeShellNamespace::Find(const ShellItem& item) const {
  const int id = IdOf(item);
  return id < 0 ? nullptr : &items_[static_cast<std::size_t>(id)];
}

int FakeShellNamespace::IdOf(const ShellItem& item) const {
  try {
    const int id = std::stoi(item.id);
    return id >= 0 && id < static_cast<int>(items_.size()) ? id : -1;
  } catch (...) {
    return -1;
  }
}

bool FakeShellNamespace::Reachable(int id) const {
  for (; id >= 0; id = items_[static_cast<std::size_t>(id)].parent) {
    if (items_[static_cast<std::size_t>(id)].gone) return false;
  }
  return true;
}

std::optional<ShellItem> FakeShellNamespace::NetworkFolder() {
  if (networkMissing) return std::nullopt;
  return ShellItem{"0"};
}

std::string FakeShellNamespace::DisplayName(const ShellItem& item) {
  const Item* found = Find(item);
  return found ? found->displayName : std::string();
}

std::unique_ptr<ShellEnumerator> FakeShellNamespace::Enumerate(const ShellItem& folder,
                                                               bool foldersOnly) {
  const int id = IdOf(folder);
  if (id < 0 || !Reachable(id) || !At(id).folder) return nullptr;
  ++enumerations[id];
  return std::make_unique<FakeEnumerator>(*this, At(id).children, foldersOnly);
}

ShellAttributes FakeShellNamespace::Attributes(const ShellItem& item) {
  const Item* found = Find(item);
  if (!found || found->gone) return {};
  return {found->folder, found->link, found->hasSubFolders};
}

std::string FakeShellNamespace::FileSystemPath(const ShellItem& item) {
  const Item* found = Find(item);
  return found ? found->path : std::string();
}

std::optional<ShellItem> FakeShellNamespace::ParsePath(const std::string& path) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (!item.link && item.folder && item.path == path && Reachable(static_cast<int>(i))) {
      return ShellItem{std::to_string(i)};
    }
  }
  return std::nullopt;
}

std::optional<std::string> FakeShellNamespace::ResolveShortcut(const std::string& shortcutPath) {
  for (const Item& item : items_) {
    if (item.link && item.path == shortcutPath) return item.target;
  }
  return std::nullopt;
}

ShellIcon FakeShellNamespace::IconOf(const ShellItem& item) {
  const Item* found = Find(item);
  return found ? found->icon : ShellIcon::Other;
}

}  // namespace tolvane::test
