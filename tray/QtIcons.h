#pragma once

#include <QIcon>

#include "tray/Picture.h"

namespace quorvel {

// The icon a tray host shows for a picture: one pixmap per usual panel size
// (tray/PanelImage.h), each scaled by whole pixels so it stays crisp, black
// pictures with a light edge so they stay visible on dark panels.
QIcon MakeTrayQIcon(const TPicture16& Picture);

// The icon of image-list picture Index for actions and menu items, made the
// same way. An index outside 0 .. 22 raises "List index out of bounds (Index)".
QIcon MakeMenuQIcon(int Index);

}  // namespace quorvel
