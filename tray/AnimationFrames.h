#pragma once

#include <vector>

#include "tray/Picture.h"

namespace quorvel {

// Every distinct picture the checking animation can show (AnimationTick at
// each signal level, 0 to 4), in the order it shows them.
std::vector<TPicture16> AnimationFrames();

}  // namespace quorvel
