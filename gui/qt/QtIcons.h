#pragma once

#include <QIcon>

#include "tray/Picture.h"

namespace quorvel {

// The icon a tray host shows for a picture: one pixmap per usual panel size
// (tray/PanelImage.h), each scaled by whole pixels so it stays crisp, black
// pictures with a light edge so they stay visible on dark panels; any other
// size asked for is drawn the same way. Its icon name (QIcon::name(), which
// Qt's StatusNotifierItem sends as IconName) names the picture drawn at each
// usual size in the user's icon theme folder (TrayPictureFiles), written the
// first time the name is asked for, so hosts that draw by name get a picture
// made for their size. Where those files cannot be written the name is empty
// and hosts use the pixmaps.
QIcon MakeTrayQIcon(const TPicture16& Picture);

// The icon of image-list picture Index for actions and menu items, one
// pixmap per usual panel size made the same way. An index outside 0 .. 22
// raises "List index out of bounds (Index)".
QIcon MakeMenuQIcon(int Index);

}  // namespace quorvel
