#pragma once

#include <string>

#include "platform/ShellNamespace.h"

namespace tolvane {

// The shell's namespace: the Network folder and what it lists, through the desktop folder
// object. An item's id holds its absolute item-identifier list, byte for byte, so that items
// stay plain values; every list the shell hands out is copied and freed at once.
class Win32ShellNamespace : public ShellNamespace {
 public:
  Win32ShellNamespace();
  ~Win32ShellNamespace() override;
  Win32ShellNamespace(const Win32ShellNamespace&) = delete;
  Win32ShellNamespace& operator=(const Win32ShellNamespace&) = delete;

  std::optional<ShellItem> NetworkFolder() override;
  std::string DisplayName(const ShellItem& item) override;
  std::unique_ptr<ShellEnumerator> Enumerate(const ShellItem& folder, bool foldersOnly) override;
  ShellAttributes Attributes(const ShellItem& item) override;
  std::string FileSystemPath(const ShellItem& item) override;
  std::optional<ShellItem> ParsePath(const std::string& path) override;
  std::optional<std::string> ResolveShortcut(const std::string& shortcutPath) override;
  ShellIcon IconOf(const ShellItem& item) override;

  // The item's picture in the shell's small system image list; -1 when there is none.
  int SystemIconIndex(const ShellItem& item);

 private:
  bool comReady_ = false;
  void* desktop_ = nullptr;  // the desktop's IShellFolder, for the life of the object
};

// The file-system path of an absolute item-identifier list, also past 260 characters; empty
// when the item has none.
std::wstring PathOfItemList(const void* list);

// What kind of picture an item with these facts shows: the Network folder, a shortcut, a
// server (\\SRV), a share (\\SRV\share), a folder, or a container without a path (workgroup).
ShellIcon IconKindOf(bool isNetworkFolder, const ShellAttributes& attributes,
                     const std::string& fileSystemPath);

}  // namespace tolvane
