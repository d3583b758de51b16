#pragma once

#include <QIcon>
#include <QPixmap>

namespace tolvane {

// Registers the window layer's pictures; safe to call more than once.
void InitWindowResources();

// The tool bar's pictures, by their index in the tool bar's picture list (0 add files, 1 Go,
// 5 exit, 6 clear marks, 7 collapse, 8 confirm overwrite, 11 older files, 12 ignore errors,
// 14 Go while a run is in progress). An index without a picture gives an empty icon.
QIcon ToolbarPicture(int index);

// The application's own icon.
QIcon ApplicationIcon();

}  // namespace tolvane
