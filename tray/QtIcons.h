#pragma once

#include <QIcon>

#include "tray/Picture.h"

namespace quorvel {

// The icon a tray host shows for a picture: one pixmap per usual panel size,
// each scaled from the 16 x 16 picture by whole pixels, so it stays crisp.
QIcon MakeTrayQIcon(const TPicture16& Picture);

}  // namespace quorvel
