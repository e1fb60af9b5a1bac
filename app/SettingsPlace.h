#pragma once

#include <memory>

#include "app/MainWindowParts.h"

namespace quorvel {

// The user's own settings (OpenUserSettings) and the platform's start-at-log-on
// registration under the name "Quorvel".
std::unique_ptr<ISettingsPlace> MakeUserSettingsPlace();

}  // namespace quorvel
