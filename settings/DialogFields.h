#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Account.h"

namespace quorvel {

// The lowest and highest TCP port an account may name.
inline constexpr std::int32_t MinPortNo = 1;
inline constexpr std::int32_t MaxPortNo = 65535;

// The port that a port box's text names, when the text is an integer (see
// IsIntegerText) within MinPortNo .. MaxPortNo; nothing otherwise.
std::optional<std::int32_t> PortFromText(std::string_view Text);

// The check interval that an interval box's text names, when the text is an
// integer within 0 .. MaxIntervalMinutes; nothing otherwise.
std::optional<std::uint32_t> IntervalMinutesFromText(std::string_view Text);

// The boxes of the account edit dialog: the four of every account, then the
// OAuth 2.0 client id and, for a provider of the user's own, its addresses
// and scope.
enum class TAccountField { ServerName, Port, UserID, Password, ClientId, AuthorizeUrl, TokenUrl, Scope };

struct TFieldText {
    TAccountField Field;
    std::string Text;
    bool operator==(const TFieldText&) const = default;
};

// What the account list fills into the edit dialog, in the order it fills
// it: for a new account user ID "", port "995" (implicit TLS's; see
// SecurityForNewAccount), password "", server name "".
std::vector<TFieldText> FieldsForNewAccount();
// A new account is protected with implicit TLS.
constexpr TConnectionSecurity SecurityForNewAccount() {
    return TConnectionSecurity::ImplicitTls;
}
// For an existing one: server name, port in decimal, user ID, password; for
// an OAuth 2.0 account then the client id, authorize URL, token URL, scope.
std::vector<TFieldText> FieldsForAccount(const TAccount& Account);

// The edit dialog's texts after OK.
struct TAccountFields {
    std::string ServerName;
    std::string Port;
    std::string UserID;
    std::string Password;
    // The protection chosen and the certificate the user chose to trust.
    TConnectionSecurity Security = TConnectionSecurity::None;
    std::string CertFingerprint{};
    // How the account logs in; the OAuth 2.0 values count only with OAuth.
    TAuthMethod Auth = TAuthMethod::Password;
    std::string OAuthProvider{};
    std::string OAuthClientId{};
    std::string OAuthAuthorizeUrl{};
    std::string OAuthTokenUrl{};
    std::string OAuthScope{};
};

// A server certificate as the edit dialog shows it for the user to trust.
struct TShownCertificate {
    std::string Subject;
    std::string Issuer;
    std::string NotBefore;
    std::string NotAfter;
    std::string Sha256;
};

// Copies confirmed texts into Account: Host and UserID and Password as typed;
// Port when its text is a 32-bit integer, otherwise Port keeps its value;
// Security and CertFingerprint as chosen; Auth, and with OAuth the provider
// and client id (a changed one drops the client secret, which was issued
// with the old one), and for the "custom" provider its addresses and scope (a
// password account keeps the OAuth values it had, which are not stored).
void ApplyAccountFields(TAccount& Account, const TAccountFields& Fields);

}  // namespace quorvel
