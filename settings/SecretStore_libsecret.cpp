// The Secret Service through libsecret: one item per account, found by the
// attribute "account" (user@host) of Quorvel's own schema. libsecret, with
// GIO under it, is loaded at the first use of the store (an OAuth account's
// check or sign-in), not when the program starts: every call below goes
// through a pointer looked up in it once per place of call.
#include <libsecret/secret.h>

#include "core/SharedLibrary.h"
#include "settings/SecretStore.h"

namespace quorvel {

namespace {

void* SecretFunction(const char* Name) {
    // Kept until the program ends, as GLib's types are.
    static const SharedLibrary* const library = new SharedLibrary("libsecret-1.so.0");
    return library->Required(Name, "OAuth: secret store");
}

}  // namespace

}  // namespace quorvel

#define QUORVEL_SECRET(Name) QUORVEL_LIBRARY_CALL(::quorvel::SecretFunction, Name)
// clang-format off
#define g_dbus_error_quark(...) QUORVEL_SECRET(g_dbus_error_quark)(__VA_ARGS__)
#define g_error_free(...) QUORVEL_SECRET(g_error_free)(__VA_ARGS__)
#define g_io_error_quark(...) QUORVEL_SECRET(g_io_error_quark)(__VA_ARGS__)
#define g_spawn_error_quark(...) QUORVEL_SECRET(g_spawn_error_quark)(__VA_ARGS__)
#define secret_password_clear_sync(...) QUORVEL_SECRET(secret_password_clear_sync)(__VA_ARGS__)
#define secret_password_free(...) QUORVEL_SECRET(secret_password_free)(__VA_ARGS__)
#define secret_password_lookup_sync(...) QUORVEL_SECRET(secret_password_lookup_sync)(__VA_ARGS__)
#define secret_password_store_sync(...) QUORVEL_SECRET(secret_password_store_sync)(__VA_ARGS__)
// clang-format on

namespace quorvel {

const char* const NoSecretStoreText =
    "OAuth: no secret store (such as GNOME Keyring or KWallet) runs in this session, so nothing was stored.";

namespace {

const SecretSchema* Schema() {
    static const SecretSchema schema = {
        "com.ombrask.Quorvel.OAuthTokens",
        SECRET_SCHEMA_NONE,
        {{"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &schema;
}

// A failure to reach the service reads as "no store"; anything else (a
// locked keyring the user would not open) keeps the library's words.
[[noreturn]] void Raise(GError* Error) {
    const bool unreachable =
        Error->domain == G_DBUS_ERROR || Error->domain == G_IO_ERROR || Error->domain == G_SPAWN_ERROR;
    const std::string message = unreachable ? NoSecretStoreText : std::string("OAuth: secret store: ") + Error->message;
    g_error_free(Error);
    throw ESecretStoreUnavailable(message);
}

class TLibSecretStore final : public ISecretStore {
public:
    std::optional<std::string> Load(const std::string& Account) override {
        GError* error = nullptr;
        gchar* secret = secret_password_lookup_sync(Schema(), nullptr, &error, "account", Account.c_str(), nullptr);
        if (error != nullptr) Raise(error);
        if (secret == nullptr) return std::nullopt;
        std::string text = secret;
        secret_password_free(secret);
        return text;
    }

    void Save(const std::string& Account, const std::string& Secret) override {
        GError* error = nullptr;
        const std::string label = "Quorvel OAuth 2.0: " + Account;
        secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), Secret.c_str(), nullptr, &error,
                                   "account", Account.c_str(), nullptr);
        if (error != nullptr) Raise(error);
    }

    void Delete(const std::string& Account) override {
        GError* error = nullptr;
        secret_password_clear_sync(Schema(), nullptr, &error, "account", Account.c_str(), nullptr);
        if (error != nullptr) Raise(error);
    }
};

}  // namespace

std::unique_ptr<ISecretStore> OpenSecretStore() {
    return std::make_unique<TLibSecretStore>();
}

}  // namespace quorvel
