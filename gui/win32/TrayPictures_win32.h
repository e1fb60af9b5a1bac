#pragma once

#include <windows.h>

#include "gui/win32/WinHandles_win32.h"
#include "tray/Picture.h"

namespace quorvel {

// The pictures of the image list as Windows icons, drawn from the same pixel
// data as on Linux (tray/PanelImage.h): scaled by whole
// pixels and centred, never blended; black pictures keep their light edge,
// so they stay visible on a dark taskbar as on a light one.

// The side in pixels of the notification area's icons and of menu pictures:
// the small icon size of the display scale (16 at 96 dpi, 20, 24, 32 at
// higher scales).
int SmallIconSide();

// An icon of Side x Side pixels: a 32-bit colour plane with the picture's
// alpha, and a mask plane whose set bits are the fully transparent pixels.
// Raises quorvel::Exception when Windows cannot make it.
TIconHandle MakePictureIcon(const TPicture16& Picture, int Side);

}  // namespace quorvel
