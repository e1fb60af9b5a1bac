#pragma once

#include <string_view>

#include "tray/ImageList.h"

namespace quorvel {

// The text of each file resources/pictures/NN.xpm, in index order. Defined in
// a source file that the build writes from those files.
extern const std::string_view ImageListSources[ImageCount];

}  // namespace quorvel
