#pragma once

#include <chrono>
#include <map>
#include <mutex>

#include "platform/ShellNamespace.h"
#include "platform/smb/SmbClient.h"

namespace tolvane {

// The network folder with the named SMB servers beside the local one's servers: a server's
// children are its disk shares, a share's and a folder's its sub-folders (hidden ones left
// out). Everything else is the local namespace's.
class SmbNetworkNamespace : public ShellNamespace {
 public:
  SmbNetworkNamespace(ShellNamespace& local, SmbClient& client);

  std::optional<ShellItem> NetworkFolder() override;
  std::string DisplayName(const ShellItem& item) override;
  std::unique_ptr<ShellEnumerator> Enumerate(const ShellItem& folder, bool foldersOnly) override;
  ShellAttributes Attributes(const ShellItem& item) override;
  std::string FileSystemPath(const ShellItem& item) override;
  std::optional<ShellItem> ParsePath(const std::string& path) override;
  std::optional<std::string> ResolveShortcut(const std::string& shortcutPath) override;
  ShellIcon IconOf(const ShellItem& item) override;
  // A named server listed again is tried at once, and asks again for a logon it was refused.
  void Forget(const std::string& path) override;
  // Our servers' shares on worker threads, each with a connection of its own, kept for the
  // server's next listing; a logon asked for meanwhile is asked on this thread. The local
  // namespace's servers are its own business.
  void ListAhead(const std::vector<std::string>& serverPaths, int parallel) override;

 private:
  // The shares ListAhead found for server, taken once; nothing when there are none or they
  // are older than a listing is trusted for.
  std::optional<std::vector<std::string>> TakeListedAhead(const std::string& server);

  ShellNamespace& local_;
  SmbClient& client_;
  struct Listed {
    std::chrono::steady_clock::time_point at;
    std::vector<std::string> shares;
  };
  std::mutex aheadMutex_;
  std::map<std::string, Listed> ahead_;
};

}  // namespace tolvane
