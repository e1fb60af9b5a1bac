#include "app/SettingsPlace.h"
#include "core/Exception.h"
#include "settings/Registry.h"
#include "settings/UserSettings.h"

namespace quorvel {

namespace {

// HKEY_CURRENT_USER. The Run-key registration comes with the options dialog;
// until then nothing reaches it (the dialog's action stays greyed).
class UserSettingsPlace final : public ISettingsPlace {
public:
    std::unique_ptr<IRegistry> Open() override { return OpenUserSettings(); }
    bool IsRunAtStartup() override { throw Exception("Start at log-on is not built into this program yet"); }
    void SetRunAtStartup(bool) override { throw Exception("Start at log-on is not built into this program yet"); }
};

}  // namespace

std::unique_ptr<ISettingsPlace> MakeUserSettingsPlace() {
    return std::make_unique<UserSettingsPlace>();
}

}  // namespace quorvel
