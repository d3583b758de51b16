#pragma once

#include "app/win32/Win32Controls.h"
#include "tree/DestinationTree.h"

namespace tolvane {

// The same pictures as the Qt window (src/app/pictures/*.xpm), compiled in as the arrays the
// XPM files are and turned into bitmaps when first asked for.

// The tool bar's pictures, as the menus and tool bar number them: 16 slots of 16 by 16, the
// unused ones blank. The caller owns the list.
HIMAGELIST CreateToolbarImageList();
// The tree's state pictures: slot 0 blank (the tree control never draws it), 1 unmarked,
// 2 marked, 3 grey, 4 failed, 5 blank (a node that can never be marked).
HIMAGELIST CreateStateImageList();
// The node icons, one slot per NodeIcon value in its order; NodeIcon::None is a blank slot.
HIMAGELIST CreateNodeImageList();
inline int NodeImageIndex(NodeIcon icon) { return static_cast<int>(icon); }

// The application icon (16 by 16) and the splash's three 32 by 32 pictures (index 1 to 3).
HICON CreateApplicationIcon();
HICON CreateSplashIcon(int index);
// A tool-bar picture as a menu item bitmap (premultiplied 32-bit), owned by the caller.
HBITMAP CreateMenuBitmap(int toolbarIndex);

}  // namespace tolvane
