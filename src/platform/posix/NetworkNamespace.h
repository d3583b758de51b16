#pragma once

#include <string>

#include "platform/ShellNamespace.h"

namespace tolvane {

// The network folder on Linux: a directory (the NetworkRoot setting, /net by default) whose
// sub-folders are the servers, theirs the shares, and so on. A symbolic link directly in it is
// a network place whose target, when it lies inside the root, is given as a UNC path.
class PosixNetworkNamespace : public ShellNamespace {
 public:
  static constexpr const char* kDefaultRoot = "/net";

  explicit PosixNetworkNamespace(std::string networkRoot = kDefaultRoot);

  // The root is read from the settings at start-up, after this object exists.
  void SetNetworkRoot(std::string networkRoot);

  std::optional<ShellItem> NetworkFolder() override;
  std::string DisplayName(const ShellItem& item) override;
  std::unique_ptr<ShellEnumerator> Enumerate(const ShellItem& folder, bool foldersOnly) override;
  ShellAttributes Attributes(const ShellItem& item) override;
  std::string FileSystemPath(const ShellItem& item) override;
  std::optional<ShellItem> ParsePath(const std::string& path) override;
  std::optional<std::string> ResolveShortcut(const std::string& shortcutPath) override;
  ShellIcon IconOf(const ShellItem& item) override;
  // Reads the servers' folders on up to parallel threads at once: an automounted server is
  // mounted by its first listing, which the walk that follows then finds done.
  void ListAhead(const std::vector<std::string>& serverPaths, int parallel) override;

 private:
  // Items are named by their path below the root, "/"-separated; the root is "".
  std::string Absolute(const std::string& relative) const;
  bool IsShortcut(const std::string& relative) const;

  std::string root_;
};

}  // namespace tolvane
