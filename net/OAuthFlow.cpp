#include "net/OAuthFlow.h"

#include <nlohmann/json.hpp>

#include "core/Base64.h"
#include "net/HttpClient.h"
#include "net/OAuthCrypto.h"

namespace quorvel {

namespace {

using Json = nlohmann::json;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string UrlDecode(const std::string& Text) {
    std::string out;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '+') {
            out += ' ';
        } else if (Text[i] == '%' && i + 2 < Text.size() && HexValue(Text[i + 1]) >= 0 && HexValue(Text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(Text[i + 1]) * 16 + HexValue(Text[i + 2]));
            i += 2;
        } else {
            out += Text[i];
        }
    }
    return out;
}

std::string StringField(const Json& Object, const char* Name) {
    const auto it = Object.find(Name);
    return it != Object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string ClientFields(const TOAuthClient& Client) {
    std::string body = "client_id=" + UrlEncode(Client.ClientId);
    if (!Client.ClientSecret.empty()) body += "&client_secret=" + UrlEncode(Client.ClientSecret);
    return body;
}

}  // namespace

std::string PkceChallenge(const std::string& Verifier) {
    return Base64Encode(Sha256(Verifier), true);
}

TPkce MakePkce() {
    TPkce pkce;
    pkce.Verifier = Base64Encode(RandomBytes(32), true);
    pkce.Challenge = PkceChallenge(pkce.Verifier);
    pkce.State = Base64Encode(RandomBytes(16), true);
    return pkce;
}

std::string UrlEncode(const std::string& Text) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : Text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

std::string AuthorizationUrl(const TOAuthClient& Client, const std::string& RedirectUri, const TPkce& Pkce,
                             const std::string& LoginHint) {
    std::string url = Client.AuthorizeUrl;
    url += url.find('?') == std::string::npos ? '?' : '&';
    url += "response_type=code&client_id=" + UrlEncode(Client.ClientId) + "&redirect_uri=" + UrlEncode(RedirectUri) +
           "&scope=" + UrlEncode(Client.Scope) + "&state=" + UrlEncode(Pkce.State) +
           "&code_challenge=" + UrlEncode(Pkce.Challenge) + "&code_challenge_method=S256";
    if (!LoginHint.empty()) url += "&login_hint=" + UrlEncode(LoginHint);
    return url;
}

std::string CodeGrantBody(const TOAuthClient& Client, const std::string& Code, const std::string& Verifier,
                          const std::string& RedirectUri) {
    return "grant_type=authorization_code&code=" + UrlEncode(Code) + "&redirect_uri=" + UrlEncode(RedirectUri) +
           "&code_verifier=" + UrlEncode(Verifier) + "&" + ClientFields(Client);
}

std::string RefreshGrantBody(const TOAuthClient& Client, const std::string& RefreshToken) {
    return "grant_type=refresh_token&refresh_token=" + UrlEncode(RefreshToken) + "&" + ClientFields(Client);
}

TTokenAnswer ReadTokenAnswer(const THttpResponse& Response, std::int64_t Now) {
    TTokenAnswer answer;
    const Json body = Json::parse(Response.Body, nullptr, false);
    if (!body.is_object()) {
        answer.Text = "OAuth: the token endpoint answered " + std::to_string(Response.Status) + " without JSON";
        return answer;
    }
    answer.Error = StringField(body, "error");
    const std::string access = StringField(body, "access_token");
    if (Response.Status != 200 || !answer.Error.empty() || access.empty()) {
        const std::string description = StringField(body, "error_description");
        answer.Text = "OAuth: the token endpoint refused (" + std::to_string(Response.Status) +
                      (answer.Error.empty() ? "" : " " + answer.Error) + ")" +
                      (description.empty() ? "" : ": " + description);
        return answer;
    }
    answer.Ok = true;
    answer.Tokens.AccessToken = access;
    answer.Tokens.RefreshToken = StringField(body, "refresh_token");
    // Without a lifetime the token counts as good for an hour, the usual.
    std::int64_t lifetime = 3600;
    const auto expires = body.find("expires_in");
    if (expires != body.end() && expires->is_number_integer()) lifetime = expires->get<std::int64_t>();
    if (expires != body.end() && expires->is_string()) lifetime = std::atoll(expires->get<std::string>().c_str());
    answer.Tokens.ExpiresAt = Now + lifetime;
    return answer;
}

std::string TokenSetText(const TTokenSet& Tokens) {
    return Json{
        {"access_token", Tokens.AccessToken}, {"refresh_token", Tokens.RefreshToken}, {"expires_at", Tokens.ExpiresAt}}
        .dump();
}

std::optional<TTokenSet> TokenSetFromText(const std::string& Text) {
    const Json record = Json::parse(Text, nullptr, false);
    if (!record.is_object()) return std::nullopt;
    TTokenSet tokens;
    tokens.AccessToken = StringField(record, "access_token");
    tokens.RefreshToken = StringField(record, "refresh_token");
    const auto expires = record.find("expires_at");
    if (expires == record.end() || !expires->is_number_integer()) return std::nullopt;
    tokens.ExpiresAt = expires->get<std::int64_t>();
    return tokens;
}

TRedirectQuery ReadRedirectTarget(const std::string& Target) {
    TRedirectQuery query;
    const std::size_t mark = Target.find('?');
    if (mark == std::string::npos) return query;
    std::size_t start = mark + 1;
    while (start <= Target.size()) {
        std::size_t end = Target.find_first_of("&#", start);
        if (end == std::string::npos) end = Target.size();
        const std::string pair = Target.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        const std::string name = pair.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : UrlDecode(pair.substr(equals + 1));
        if (name == "code") query.Code = value;
        if (name == "state") query.State = value;
        if (name == "error") query.Error = value;
        if (end >= Target.size() || Target[end] == '#') break;
        start = end + 1;
    }
    return query;
}

}  // namespace quorvel
