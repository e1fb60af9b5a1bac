#include "app/SettingsPlace.h"
#include "settings/Registry.h"
#include "settings/RunAtStartup.h"
#include "settings/UserSettings.h"

namespace quorvel {

namespace {

// The platform's user settings (the REGEDIT4 file or HKEY_CURRENT_USER) and its
// start at log-on (the XDG autostart entry or the Run value "Quorvel").
class TUserSettingsPlace final : public ISettingsPlace {
public:
    std::unique_ptr<IRegistry> Open() override { return OpenUserSettings(); }
    bool IsRunAtStartup() override { return quorvel::IsRunAtStartup(); }
    void SetRunAtStartup(bool Registered) override {
        if (Registered) {
            AddRunAtStartup();
        } else {
            RemoveRunAtStartup();
        }
    }
};

}  // namespace

std::unique_ptr<ISettingsPlace> MakeUserSettingsPlace() {
    return std::make_unique<TUserSettingsPlace>();
}

}  // namespace quorvel
