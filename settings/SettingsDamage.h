#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "settings/RegFileFormat.h"

namespace quorvel {

// At most this many skipped parts are listed one by one.
inline constexpr std::size_t MaxListedDamage = 5;

// The message that tells the user which parts of the settings file File
// could not be read, e.g.
//   /home/u/.config/Quorvel/registry.reg is damaged; these parts could not be read and were skipped:
//   line 6: section without ]: the section [HKEY_CURRENT_USER\...\Accounts\0 with the 5 lines under it (lines 6-11)
//   The rest was loaded. The next save keeps the damaged file as registry.reg.damaged-<time>.
// One line per part, at most MaxListedDamage, then how many more. Control
// characters from the file are shown as escapes. Empty when nothing was skipped.
std::string DamagedSettingsText(const std::filesystem::path& File, const std::vector<TRegFileSkip>& Skipped);

}  // namespace quorvel
