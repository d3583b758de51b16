#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/ShellNamespace.h"

namespace tolvane {

// The disk shares a server offers.
class ShareLister {
 public:
  virtual ~ShareLister() = default;
  // The share names (no administrative "$" shares); nothing when the server cannot be asked.
  virtual std::optional<std::vector<std::string>> Shares(const std::string& server) = 0;
};

// The system's share enumeration (NetShareEnum).
class NetShareLister : public ShareLister {
 public:
  std::optional<std::vector<std::string>> Shares(const std::string& server) override;
};

// The Network folder with the servers the user named beside the ones it lists itself: a named
// server's children are its shares, a share's and a folder's its sub-folders, listed through
// the file system by their UNC paths. Everything else is the shell's.
class NamedServerNamespace : public ShellNamespace {
 public:
  NamedServerNamespace(ShellNamespace& shell, FileSystem& fs, ShareLister& shares);

  // The servers reached by name; those the Network folder lists itself are left out.
  void SetServers(std::vector<std::string> servers) { servers_ = std::move(servers); }

  std::optional<ShellItem> NetworkFolder() override;
  std::string DisplayName(const ShellItem& item) override;
  std::unique_ptr<ShellEnumerator> Enumerate(const ShellItem& folder, bool foldersOnly) override;
  ShellAttributes Attributes(const ShellItem& item) override;
  std::string FileSystemPath(const ShellItem& item) override;
  std::optional<ShellItem> ParsePath(const std::string& path) override;
  std::optional<std::string> ResolveShortcut(const std::string& shortcutPath) override;
  ShellIcon IconOf(const ShellItem& item) override;

 private:
  // The named server a UNC path begins with, as the user spelt it; nothing for other paths.
  std::optional<std::string> ServerOf(const std::string& path) const;

  ShellNamespace& shell_;
  FileSystem& fs_;
  ShareLister& shares_;
  std::vector<std::string> servers_;
};

}  // namespace tolvane
