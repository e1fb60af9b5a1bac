#pragma once

#include <optional>

#include "tray/AboutText.h"

namespace quorvel {

// The version of this build, from the project's version number (a missing
// fourth part counts as 0); nothing when a part does not fit 16 bits.
std::optional<TFixedFileInfo> ProgramFileVersion();

}  // namespace quorvel
