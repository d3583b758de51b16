#pragma once

#include <QIcon>
#include <QPixmap>

#include "tree/DestinationTree.h"

namespace tolvane {

// The side of every tree picture, in pixels.
inline constexpr int kTreePictureSize = 16;

// The state picture of a mark state (1 empty box, 2 blue mark, 3 grey box, 4 red mark); a null
// pixmap for a state that shows nothing.
QPixmap StatePicture(int state);

// The icon shown for a node.
QIcon NodeIconPicture(NodeIcon icon);

}  // namespace tolvane
