#include "settings/Settings.h"

#include <exception>
#include <optional>
#include <vector>

#include "core/IntegerText.h"
#include "settings/OAuthProvider.h"
#include "settings/SystemCodePage.h"

namespace quorvel {

namespace {

// A text value: String or ExpandString (unexpanded); Default when absent.
std::string ReadStringDef(IRegistry& Registry, std::string_view Key, std::string_view Name,
                          const std::string& Default) {
    const std::optional<TRegDataType> type = Registry.GetDataType(Key, Name);
    if (!type) return Default;
    if (*type != TRegDataType::String && *type != TRegDataType::ExpandString) {
        throw ERegistryException(InvalidValueTypeText(Name));
    }
    return Registry.ReadString(Key, Name);
}

// An integer value: DWord, or String holding an integer in text; Default when
// absent or when the text is not such an integer.
std::int32_t ReadIntegerDef(IRegistry& Registry, std::string_view Key, std::string_view Name, std::int32_t Default) {
    const std::optional<TRegDataType> type = Registry.GetDataType(Key, Name);
    if (!type) return Default;
    if (*type == TRegDataType::DWord) return Registry.ReadInteger(Key, Name);
    if (*type == TRegDataType::String) return StrToIntDef(Registry.ReadString(Key, Name), Default);
    throw ERegistryException(InvalidValueTypeText(Name));
}

// Writes an integer as text when the value is already stored as text,
// otherwise as a DWord.
void WriteIntegerKeepingText(IRegistry& Registry, std::string_view Key, std::string_view Name, std::int32_t Value) {
    if (Registry.GetDataType(Key, Name) == TRegDataType::String) {
        Registry.WriteString(Key, Name, std::to_string(Value));
    } else {
        Registry.WriteInteger(Key, Name, Value);
    }
}

constexpr const char* SecurityValueName = "Security";
constexpr const char* NotifyValueName = "Notify";
constexpr const char* FingerprintValueName = "CertFingerprint";
constexpr const char* AuthValueName = "Auth";
constexpr const char* ProviderValueName = "OAuthProvider";

std::string AccountKey(std::string_view Name) {
    std::string key(AccountsKeyPath);
    key += '\\';
    key += Name;
    return key;
}

// The OAuth values. Like the security value, an "Auth" that is present but
// unusable drops the account rather than reading as a password account; so
// does OAuth without TLS, which would hand the bearer token to anyone on
// the way.
void ReadOAuth(IRegistry& Registry, std::string_view Key, TAccount& Account) {
    Account.Auth = TAuthMethod::Password;
    if (!Registry.GetDataType(Key, AuthValueName)) return;
    const std::int32_t auth = ReadIntegerDef(Registry, Key, AuthValueName, -1);
    if (auth == 0) return;
    if (auth != 1) throw ERegistryException(InvalidValueTypeText(AuthValueName));
    Account.Auth = TAuthMethod::OAuth;
    if (Account.Security == TConnectionSecurity::None) {
        throw ERegistryException("OAuth 2.0 needs TLS (Security 1 or 2)");
    }
    Account.OAuthProvider = ReadStringDef(Registry, Key, ProviderValueName, "");
    if (!IsOAuthProvider(Account.OAuthProvider)) throw ERegistryException(InvalidValueTypeText(ProviderValueName));
    Account.OAuthClientId = ReadStringDef(Registry, Key, "OAuthClientId", "");
    Account.OAuthClientSecret = ReadStringDef(Registry, Key, "OAuthClientSecret", "");
    if (Account.OAuthProvider == OAuthCustom) {
        Account.OAuthAuthorizeUrl = ReadStringDef(Registry, Key, "OAuthAuthorizeUrl", "");
        Account.OAuthTokenUrl = ReadStringDef(Registry, Key, "OAuthTokenUrl", "");
        Account.OAuthScope = ReadStringDef(Registry, Key, "OAuthScope", "");
        if (Account.OAuthAuthorizeUrl.empty() || Account.OAuthTokenUrl.empty()) {
            throw ERegistryException("OAuth 2.0 (custom) needs OAuthAuthorizeUrl and OAuthTokenUrl");
        }
    }
}

// Written only for OAuth accounts, so password accounts round-trip unchanged.
void WriteOAuth(IRegistry& Registry, const std::string& Key, const TAccount& Account) {
    if (Account.Auth != TAuthMethod::OAuth) return;
    Registry.WriteInteger(Key, AuthValueName, static_cast<std::int32_t>(Account.Auth));
    Registry.WriteString(Key, ProviderValueName, Account.OAuthProvider);
    Registry.WriteString(Key, "OAuthClientId", Account.OAuthClientId);
    if (!Account.OAuthClientSecret.empty()) Registry.WriteString(Key, "OAuthClientSecret", Account.OAuthClientSecret);
    if (Account.OAuthProvider == OAuthCustom) {
        Registry.WriteString(Key, "OAuthAuthorizeUrl", Account.OAuthAuthorizeUrl);
        Registry.WriteString(Key, "OAuthTokenUrl", Account.OAuthTokenUrl);
        Registry.WriteString(Key, "OAuthScope", Account.OAuthScope);
    }
}

void ReadAccount(IRegistry& Registry, std::string_view Key, TAccount& Account) {
    Account.Host = ReadStringDef(Registry, Key, "Host", "");
    Account.Port = ReadIntegerDef(Registry, Key, "PortNo", DefaultPortNo);
    Account.UserID = ReadStringDef(Registry, Key, "UserID", "");
    Account.Password = FromSystemCodePage(DecodePassword(ReadStringDef(Registry, Key, "Password", "")));
    Account.Enabled = ReadIntegerDef(Registry, Key, "Enabled", 0) != 0;
    Account.Security = TConnectionSecurity::None;
    Account.CertFingerprint.clear();
    // A security value that is present but unusable drops the account: it
    // must never read as "none" and send the password in the clear.
    if (Registry.GetDataType(Key, SecurityValueName)) {
        const std::optional<TConnectionSecurity> security =
            SecurityFromNumber(ReadIntegerDef(Registry, Key, SecurityValueName, -1));
        if (!security) throw ERegistryException(InvalidValueTypeText(SecurityValueName));
        Account.Security = *security;
    }
    const std::string fingerprint = ReadStringDef(Registry, Key, FingerprintValueName, "");
    if (!fingerprint.empty()) {
        const std::optional<std::string> normal = NormalizeFingerprint(fingerprint);
        if (!normal) throw ERegistryException(InvalidValueTypeText(FingerprintValueName));
        Account.CertFingerprint = *normal;
    }
    ReadOAuth(Registry, Key, Account);
}

// Whether any account key would be dropped by a load.
bool AnyAccountFailsToLoad(IRegistry& Registry, const std::vector<std::string>& Names) {
    for (const std::string& name : Names) {
        TAccount scratch;
        try {
            ReadAccount(Registry, AccountKey(name), scratch);
        } catch (const Exception&) {
            return true;
        }
    }
    return false;
}

// The stored form of every password, in list order. A password that the
// system code page cannot hold fails the whole save before anything changes:
// storing it would keep a password other than the user's.
std::vector<std::string> StoredPasswords(const TAccounts& Accounts) {
    std::vector<std::string> stored;
    for (std::int32_t i = 0; i < Accounts.Count(); ++i) {
        try {
            stored.push_back(EncodePassword(ToSystemCodePage(Accounts.Items(i).Password)));
        } catch (const Exception& error) {
            throw ERegistryException(ValueSetFailedText("Password") + ": " + error.what());
        }
    }
    return stored;
}

}  // namespace

void LoadSettings(IRegistry& Registry, TAccounts& Accounts, std::uint32_t& TimerPeriodMs) {
    LoadSettings(Registry, Accounts, TimerPeriodMs, nullptr);
}

void LoadSettings(IRegistry& Registry, TAccounts& Accounts, std::uint32_t& TimerPeriodMs,
                  std::vector<TDroppedAccount>* Dropped) {
    TRegistryUpdate update(Registry);
    Registry.CheckReadable();

    bool haveAccountsKey = true;
    try {
        Registry.CreateKey(AccountsKeyPath);
    } catch (const Exception&) {
        haveAccountsKey = false;
    }
    if (haveAccountsKey) {
        for (const std::string& name : Registry.GetKeyNames(AccountsKeyPath)) {
            TAccount& account = Accounts.Add();
            try {
                ReadAccount(Registry, AccountKey(name), account);
            } catch (const Exception& error) {
                Accounts.Remove(account);
                if (Dropped != nullptr) Dropped->push_back({name, error.what()});
            }
        }
    }

    std::int32_t minutes = static_cast<std::int32_t>(DefaultIntervalMinutes);
    std::exception_ptr intervalError;
    try {
        Registry.CreateKey(SettingsKeyPath);
        minutes =
            ReadIntegerDef(Registry, SettingsKeyPath, "Interval", static_cast<std::int32_t>(DefaultIntervalMinutes));
    } catch (const Exception&) {
        intervalError = std::current_exception();
    }

    // A load only reads: the keys created above live in memory until the
    // next save, and the update ends without a commit.

    if (intervalError) std::rethrow_exception(intervalError);
    if (minutes < 0 || static_cast<std::uint32_t>(minutes) > MaxIntervalMinutes) {
        minutes = static_cast<std::int32_t>(DefaultIntervalMinutes);
    }
    TimerPeriodMs = MinutesToPeriod(static_cast<std::uint32_t>(minutes));
}

void SaveAccounts(IRegistry& Registry, const TAccounts& Accounts) {
    const std::vector<std::string> passwords = StoredPasswords(Accounts);
    TRegistryUpdate update(Registry);
    Registry.CreateKey(AccountsKeyPath);
    const std::vector<std::string> oldNames = Registry.GetKeyNames(AccountsKeyPath);
    // An account that the load dropped goes for good with this save; the
    // settings as they were are kept beside them first.
    if (AnyAccountFailsToLoad(Registry, oldNames)) Registry.KeepCopyOnCommit("dropped");
    for (const std::string& name : oldNames) {
        try {
            Registry.DeleteKey(AccountKey(name));
        } catch (const Exception&) {
            // An old subkey that cannot go is left; the next name is tried.
        }
    }
    for (std::int32_t i = 0; i < Accounts.Count(); ++i) {
        const TAccount& account = Accounts.Items(i);
        const std::string key = AccountKey(std::to_string(i));
        Registry.CreateKey(key);
        Registry.WriteString(key, "Host", account.Host);
        WriteIntegerKeepingText(Registry, key, "PortNo", account.Port);
        Registry.WriteString(key, "UserID", account.UserID);
        Registry.WriteString(key, "Password", passwords[static_cast<std::size_t>(i)]);
        Registry.WriteString(key, "Enabled", account.Enabled ? "1" : "0");
        if (account.Security != TConnectionSecurity::None || !account.CertFingerprint.empty()) {
            Registry.WriteInteger(key, SecurityValueName, static_cast<std::int32_t>(account.Security));
        }
        if (!account.CertFingerprint.empty()) {
            Registry.WriteString(key, FingerprintValueName, account.CertFingerprint);
        }
        WriteOAuth(Registry, key, account);
    }
    try {
        update.Commit();
    } catch (const Exception&) {
        throw ERegistryException(KeyCreateFailedText(AccountsKeyPath));
    }
}

void SaveInterval(IRegistry& Registry, std::uint32_t TimerPeriodMs) {
    TRegistryUpdate update(Registry);
    Registry.CreateKey(SettingsKeyPath);
    WriteIntegerKeepingText(Registry, SettingsKeyPath, "Interval",
                            static_cast<std::int32_t>(PeriodToMinutes(TimerPeriodMs)));
    try {
        update.Commit();
    } catch (const Exception&) {
        throw ERegistryException(ValueSetFailedText("Interval"));
    }
}

bool LoadNotifyNewMail(IRegistry& Registry) {
    try {
        return ReadIntegerDef(Registry, SettingsKeyPath, NotifyValueName, 1) != 0;
    } catch (const Exception&) {
        return true;
    }
}

void SaveNotifyNewMail(IRegistry& Registry, bool Notify) {
    TRegistryUpdate update(Registry);
    if (Notify && !Registry.ValueExists(SettingsKeyPath, NotifyValueName)) return;
    Registry.CreateKey(SettingsKeyPath);
    Registry.WriteInteger(SettingsKeyPath, NotifyValueName, Notify ? 1 : 0);
    try {
        update.Commit();
    } catch (const Exception&) {
        throw ERegistryException(ValueSetFailedText(NotifyValueName));
    }
}

std::uint32_t MinutesToPeriod(std::uint32_t Minutes) {
    if (Minutes > MaxIntervalMinutes) Minutes = DefaultIntervalMinutes;
    return Minutes * 60000u;
}

std::uint32_t PeriodToMinutes(std::uint32_t PeriodMs) {
    return PeriodMs / 60000u;
}

}  // namespace quorvel
