#include "settings/UserSettings.h"
#include "settings/WinRegistry_win32.h"

namespace quorvel {

std::unique_ptr<IRegistry> OpenUserSettings() {
    return std::make_unique<TWinRegistry>();
}

}  // namespace quorvel
