// The Windows build keeps no tokens yet (Credential Manager or DPAPI is to
// come): every call says so instead of pretending.
#include "settings/SecretStore.h"

namespace quorvel {

namespace {

class TUnavailableSecretStore final : public ISecretStore {
public:
    std::optional<std::string> Load(const std::string&) override { throw Unavailable(); }
    void Save(const std::string&, const std::string&) override { throw Unavailable(); }
    void Delete(const std::string&) override { throw Unavailable(); }

private:
    static ESecretStoreUnavailable Unavailable() {
        return ESecretStoreUnavailable("OAuth 2.0 is not available on this platform yet");
    }
};

}  // namespace

std::unique_ptr<ISecretStore> OpenSecretStore() {
    return std::make_unique<TUnavailableSecretStore>();
}

}  // namespace quorvel
