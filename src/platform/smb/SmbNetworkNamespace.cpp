#include "platform/smb/SmbNetworkNamespace.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <thread>
#include <vector>

#include "platform/NetworkPaths.h"
#include "platform/smb/SmbConnection.h"

namespace tolvane {
namespace {

// DOS attribute: hidden.
constexpr unsigned kDosHidden = 0x02;

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

// The local root's items first, then ours.
class RootEnumerator : public ShellEnumerator {
 public:
  RootEnumerator(std::unique_ptr<ShellEnumerator> local, std::vector<ShellItem> servers)
      : local_(std::move(local)), servers_(std::move(servers)) {}
  std::optional<ShellItem> Next() override {
    if (local_) {
      if (auto item = local_->Next()) return item;
      local_.reset();
    }
    return servers_.Next();
  }

 private:
  std::unique_ptr<ShellEnumerator> local_;
  ListEnumerator servers_;
};

// An SMB item's id: "/SERVER", "/SERVER/share", "/SERVER/share/dir". Local ids never begin
// with "/", so the two never meet.
bool IsOurs(const ShellItem& item) { return !item.id.empty() && item.id.front() == '/'; }

SmbPath PathOf(const ShellItem& item) {
  SmbPath p;
  const std::string& id = item.id;
  std::size_t start = 1;
  std::size_t end = id.find('/', start);
  p.server = id.substr(start, end == std::string::npos ? end : end - start);
  if (end == std::string::npos) return p;
  start = end + 1;
  end = id.find('/', start);
  p.share = id.substr(start, end == std::string::npos ? end : end - start);
  if (end != std::string::npos) p.rest = id.substr(end + 1);
  return p;
}

ShellItem ItemOf(const SmbPath& p) {
  std::string id = "/" + p.server;
  if (!p.share.empty()) id += "/" + p.share;
  if (!p.rest.empty()) id += "/" + p.rest;
  return ShellItem{id};
}

bool IsHidden(const std::string& name) { return name.empty() || name.front() == '.'; }

// A server's disk shares, sorted (no printers, no IPC$, no administrative shares); nothing
// when they cannot be listed.
std::optional<std::vector<std::string>> ShareNames(SmbConnection& smb, const std::string& server) {
  if (!smb.Prepare(server, {})) return std::nullopt;
  SMBCFILE* dir = smb.OpenDir(smb.Url(server));
  if (!dir) {
    smb.Fail(server, errno);
    return std::nullopt;
  }
  std::vector<std::string> names;
  while (const smbc_dirent* entry = smb.ReadDir(dir)) {
    const std::string name = entry->name;
    if (entry->smbc_type != SMBC_FILE_SHARE || name.empty() || name.back() == '$') continue;
    names.push_back(name);
  }
  smb.CloseDir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// Runs on the thread that waits for the listing threads what they ask of it (a logon, a line
// of the log), until every one of them is done.
class WindowQueue {
 public:
  WindowCall Call() {
    return [this](const std::function<void()>& fn) {
      Item item{&fn};
      std::unique_lock lock(mutex_);
      queue_.push_back(&item);
      changed_.notify_all();
      changed_.wait(lock, [&] { return item.ran; });
    };
  }
  void Done() {
    const std::lock_guard lock(mutex_);
    ++done_;
    changed_.notify_all();
  }
  void Serve(std::size_t threads) {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return !queue_.empty() || done_ == threads; });
      if (queue_.empty()) return;
      Item* item = queue_.front();
      queue_.pop_front();
      lock.unlock();
      (*item->fn)();
      lock.lock();
      item->ran = true;
      changed_.notify_all();
    }
  }

 private:
  struct Item {
    const std::function<void()>* fn;
    bool ran = false;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item*> queue_;
  std::size_t done_ = 0;
};

// How long shares listed ahead stand for the server's listing.
constexpr std::chrono::seconds kListedAheadFor{30};

}  // namespace

SmbNetworkNamespace::SmbNetworkNamespace(ShellNamespace& local, SmbClient& client)
    : local_(local), client_(client) {}

std::optional<ShellItem> SmbNetworkNamespace::NetworkFolder() { return local_.NetworkFolder(); }

std::string SmbNetworkNamespace::DisplayName(const ShellItem& item) {
  if (!IsOurs(item)) return local_.DisplayName(item);
  return item.id.substr(item.id.rfind('/') + 1);
}

std::unique_ptr<ShellEnumerator> SmbNetworkNamespace::Enumerate(const ShellItem& folder,
                                                                bool foldersOnly) {
  if (!IsOurs(folder)) {
    auto local = local_.Enumerate(folder, foldersOnly);
    const auto root = local_.NetworkFolder();
    if (!root || !(folder == *root)) return local;
    // The root: our servers after the local ones, except those the local root has already.
    std::vector<ShellItem> localItems;
    if (local) {
      while (auto item = local->Next()) localItems.push_back(std::move(*item));
    }
    std::vector<std::string> localNames;
    for (const auto& item : localItems) localNames.push_back(SmbConnection::Key(local_.DisplayName(item)));
    std::vector<ShellItem> servers;
    for (const auto& server : client_.Servers()) {
      if (std::find(localNames.begin(), localNames.end(), SmbConnection::Key(server)) ==
          localNames.end()) {
        servers.push_back(ShellItem{"/" + server});
      }
    }
    return std::make_unique<RootEnumerator>(
        local || !localItems.empty() ? std::make_unique<ListEnumerator>(std::move(localItems))
                                     : nullptr,
        std::move(servers));
  }
  const SmbPath path = PathOf(folder);
  SmbConnection& smb = client_.Connection();
  std::vector<std::string> names;
  if (path.share.empty()) {
    auto shares = TakeListedAhead(path.server);
    if (!shares) shares = ShareNames(smb, path.server);
    if (!shares) return nullptr;
    names = std::move(*shares);
  } else {
    if (!smb.Prepare(path.server, path.share)) return nullptr;
    SMBCFILE* dir = smb.OpenDir(smb.Url(path));
    if (!dir) {
      smb.Fail(path.server, errno);
      return nullptr;
    }
    while (const libsmb_file_info* info = smb.ReadDirPlus(dir)) {
      if (!info->name) continue;
      const std::string name = info->name;
      if (IsHidden(name) || (info->attrs & kDosHidden)) continue;
      const bool isFolder = (info->attrs & 0x10) != 0;
      if (foldersOnly && !isFolder) continue;
      if (name.find('\\') != std::string::npos) continue;  // cannot be written in a UNC path
      names.push_back(name);
    }
    smb.CloseDir(dir);
    std::sort(names.begin(), names.end());
  }
  std::vector<ShellItem> items;
  for (const auto& name : names) {
    SmbPath child = path;
    if (path.share.empty()) {
      child.share = name;
    } else {
      child.rest = path.rest.empty() ? name : path.rest + "/" + name;
    }
    items.push_back(ItemOf(child));
  }
  return std::make_unique<ListEnumerator>(std::move(items));
}

ShellAttributes SmbNetworkNamespace::Attributes(const ShellItem& item) {
  if (!IsOurs(item)) return local_.Attributes(item);
  ShellAttributes attributes;
  attributes.folder = true;
  const SmbPath path = PathOf(item);
  if (path.rest.empty()) {
    // Found out on expansion: looking into every server would contact each at start-up.
    attributes.hasSubFolders = true;
    return attributes;
  }
  SmbConnection& smb = client_.Connection();
  if (!smb.Prepare(path.server, path.share)) return attributes;
  SMBCFILE* dir = smb.OpenDir(smb.Url(path));
  if (!dir) return attributes;
  // Stops at the first sub-folder: a large folder is not read to its end for a button.
  while (const libsmb_file_info* info = smb.ReadDirPlus(dir)) {
    if (!info->name || IsHidden(info->name) || (info->attrs & kDosHidden)) continue;
    if (info->attrs & 0x10) {
      attributes.hasSubFolders = true;
      break;
    }
  }
  smb.CloseDir(dir);
  return attributes;
}

std::string SmbNetworkNamespace::FileSystemPath(const ShellItem& item) {
  if (!IsOurs(item)) return local_.FileSystemPath(item);
  std::string unc = "\\" + item.id;
  std::replace(unc.begin(), unc.end(), '/', '\\');
  return unc;
}

std::optional<ShellItem> SmbNetworkNamespace::ParsePath(const std::string& path) {
  const auto server = client_.ServerOf(path);
  if (!server) return local_.ParsePath(path);
  auto split = SplitSmbPath(path);
  if (!split) return std::nullopt;
  split->server = *server;
  // A server is ours by its name alone; a share or folder must be there.
  if (!split->share.empty()) {
    SmbConnection& smb = client_.Connection();
    if (!smb.Prepare(split->server, split->share)) return std::nullopt;
    if (!split->rest.empty()) {
      struct stat st;
      if (smb.Stat(smb.Url(*split), &st) != 0) {
        smb.Fail(split->server, errno);
        return std::nullopt;
      }
      if (!S_ISDIR(st.st_mode)) return std::nullopt;
    }
  }
  return ItemOf(*split);
}

std::optional<std::string> SmbNetworkNamespace::ResolveShortcut(const std::string& shortcutPath) {
  return local_.ResolveShortcut(shortcutPath);
}

ShellIcon SmbNetworkNamespace::IconOf(const ShellItem& item) {
  if (!IsOurs(item)) return local_.IconOf(item);
  const SmbPath path = PathOf(item);
  if (path.share.empty()) return ShellIcon::Server;
  return path.rest.empty() ? ShellIcon::Share : ShellIcon::Folder;
}

void SmbNetworkNamespace::Forget(const std::string& path) {
  if (const auto server = client_.ServerOf(path)) {
    client_.ForgetFailures(*server);
    const std::lock_guard lock(aheadMutex_);
    ahead_.erase(SmbConnection::Key(*server));
  } else {
    local_.Forget(path);
  }
}

std::optional<std::vector<std::string>> SmbNetworkNamespace::TakeListedAhead(
    const std::string& server) {
  const std::lock_guard lock(aheadMutex_);
  const auto it = ahead_.find(SmbConnection::Key(server));
  if (it == ahead_.end()) return std::nullopt;
  Listed listed = std::move(it->second);
  ahead_.erase(it);
  if (std::chrono::steady_clock::now() - listed.at > kListedAheadFor) return std::nullopt;
  return std::move(listed.shares);
}

void SmbNetworkNamespace::ListAhead(const std::vector<std::string>& serverPaths, int parallel) {
  std::vector<std::string> ours;
  std::vector<std::string> others;
  for (const auto& path : serverPaths) {
    const auto server = client_.ServerOf(path);
    if (!server) {
      others.push_back(path);
    } else if (std::none_of(ours.begin(), ours.end(), [&](const std::string& s) {
                 return SmbConnection::Key(s) == SmbConnection::Key(*server);
               })) {
      ours.push_back(*server);
    }
  }
  if (!others.empty()) local_.ListAhead(others, parallel);
  // One server, or one at a time, gains nothing over the walk's own listing.
  const std::size_t threads =
      std::min(ours.size(), static_cast<std::size_t>(std::max(parallel, 1)));
  if (threads < 2) return;

  WindowQueue window;
  std::vector<std::unique_ptr<SmbClient>> clients;
  for (std::size_t i = 0; i < threads; ++i) clients.push_back(client_.ForWorker(window.Call()));
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (auto& client : clients) {
    workers.emplace_back([&, worker = client.get()] {
      for (std::size_t i; (i = next++) < ours.size();) {
        auto shares = ShareNames(worker->Connection(), ours[i]);
        if (!shares) continue;
        const std::lock_guard lock(aheadMutex_);
        ahead_[SmbConnection::Key(ours[i])] =
            Listed{std::chrono::steady_clock::now(), std::move(*shares)};
      }
      window.Done();
    });
  }
  window.Serve(threads);
  for (auto& worker : workers) worker.join();
}

}  // namespace tolvane
