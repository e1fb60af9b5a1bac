#include "settings/DialogFields.h"

#include "core/IntegerText.h"
#include "settings/OAuthProvider.h"
#include "settings/Settings.h"

namespace quorvel {

std::optional<std::int32_t> PortFromText(std::string_view Text) {
    std::int32_t value = 0;
    if (!IsIntegerText(Text) || !TryStrToInt(Text, value)) return std::nullopt;
    if (value < MinPortNo || value > MaxPortNo) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> IntervalMinutesFromText(std::string_view Text) {
    std::int32_t value = 0;
    if (!IsIntegerText(Text) || !TryStrToInt(Text, value)) return std::nullopt;
    if (value < 0 || static_cast<std::uint32_t>(value) > MaxIntervalMinutes) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::vector<TFieldText> FieldsForNewAccount() {
    return {
        {TAccountField::UserID, ""},
        {TAccountField::Port, std::to_string(UsualPort(SecurityForNewAccount()))},
        {TAccountField::Password, ""},
        {TAccountField::ServerName, ""},
    };
}

std::vector<TFieldText> FieldsForAccount(const TAccount& Account) {
    std::vector<TFieldText> texts = {
        {TAccountField::ServerName, Account.Host},
        {TAccountField::Port, std::to_string(Account.Port)},
        {TAccountField::UserID, Account.UserID},
        {TAccountField::Password, Account.Password},
    };
    if (Account.Auth == TAuthMethod::OAuth) {
        texts.insert(texts.end(), {
                                      {TAccountField::ClientId, Account.OAuthClientId},
                                      {TAccountField::AuthorizeUrl, Account.OAuthAuthorizeUrl},
                                      {TAccountField::TokenUrl, Account.OAuthTokenUrl},
                                      {TAccountField::Scope, Account.OAuthScope},
                                  });
    }
    return texts;
}

void ApplyAccountFields(TAccount& Account, const TAccountFields& Fields) {
    Account.Host = Fields.ServerName;
    std::int32_t port = 0;
    if (TryStrToInt(Fields.Port, port)) Account.Port = port;
    Account.UserID = Fields.UserID;
    Account.Password = Fields.Password;
    Account.Security = Fields.Security;
    Account.CertFingerprint = Fields.CertFingerprint;
    Account.Auth = Fields.Auth;
    if (Fields.Auth != TAuthMethod::OAuth) return;
    // A client secret belongs to its client id.
    if (Account.OAuthProvider != Fields.OAuthProvider || Account.OAuthClientId != Fields.OAuthClientId) {
        Account.OAuthClientSecret.clear();
    }
    Account.OAuthProvider = Fields.OAuthProvider;
    Account.OAuthClientId = Fields.OAuthClientId;
    if (Fields.OAuthProvider != OAuthCustom) return;
    Account.OAuthAuthorizeUrl = Fields.OAuthAuthorizeUrl;
    Account.OAuthTokenUrl = Fields.OAuthTokenUrl;
    Account.OAuthScope = Fields.OAuthScope;
}

}  // namespace quorvel
