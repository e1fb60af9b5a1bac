#include "settings/RegistryStore.h"
#include "settings/UserSettings.h"

namespace quorvel {

std::unique_ptr<IRegistry> OpenUserSettings() {
    return std::make_unique<TRegistryStore>(TRegistryStore::DefaultPath());
}

}  // namespace quorvel
