#pragma once

#include <memory>

#include "settings/Registry.h"

namespace quorvel {

// The user's own settings: HKEY_CURRENT_USER on Windows, the per-user
// REGEDIT4 file on Linux. Opening reads nothing and writes nothing.
std::unique_ptr<IRegistry> OpenUserSettings();

}  // namespace quorvel
