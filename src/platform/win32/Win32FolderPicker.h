#pragma once

#include <optional>
#include <string>

namespace tolvane {

// The shell's folder browser, rooted at the desktop, every item choosable. The window layer
// calls it on Windows where it would use its own folder chooser. ownerWindow is the owner's
// window handle (HWND), or null.
//
// Returns the chosen folder's file-system path ending in a backslash; nothing when cancelled
// or when the chosen item has no file-system path (a virtual folder).
std::optional<std::string> BrowseForFolder(void* ownerWindow, const std::string& title,
                                           const std::string& initialFolder);

// A path as the picker hands it back: with one trailing backslash.
std::string WithTrailingBackslash(std::string path);

}  // namespace tolvane
