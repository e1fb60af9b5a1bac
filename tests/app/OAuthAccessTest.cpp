// The token rules of a check, with an in-memory secret store and a
// recording token endpoint.
#include <gtest/gtest.h>

#include <map>

#include "app/OAuthAccess.h"
#include "net/HttpClient.h"
#include "net/OAuthFlow.h"
#include "settings/Account.h"
#include "settings/SecretStore.h"

namespace quorvel {
namespace {

struct MemoryStore : ISecretStore {
    std::map<std::string, std::string> Items;
    bool FailSave = false;
    std::optional<std::string> Load(const std::string& Account) override {
        return Items.count(Account) ? std::optional(Items[Account]) : std::nullopt;
    }
    void Save(const std::string& Account, const std::string& Secret) override {
        if (FailSave) throw ESecretStoreUnavailable(NoSecretStoreText);
        Items[Account] = Secret;
    }
    void Delete(const std::string& Account) override { Items.erase(Account); }
};

struct RecordingEndpoint : IHttpClient {
    std::vector<std::string> Bodies;
    THttpResponse Answer;
    THttpResponse PostForm(const std::string&, const std::string& Body) override {
        Bodies.push_back(Body);
        return Answer;
    }
};

TEST(OAuthAccess, RefreshTimingRotationAndRefusal) {
    const std::int64_t now = 1'000'000;
    struct Case {
        const char* Name;
        bool Stored;
        std::int64_t Left;  // seconds the stored access token has left
        bool Force;         // the server refused it
        THttpResponse Answer;
        bool SaveFails;
        std::string Result;  // the token, or the failure
        std::string Kept;    // the refresh token stored afterwards
    };
    const THttpResponse rotated{200, R"({"access_token":"A2","refresh_token":"R2","expires_in":3600})"};
    for (const Case& c : std::vector<Case>{
             {"fresh: no call", true, 301, false, {}, false, "A1", "R1"},
             {"under 5 minutes: refreshed, rotated", true, 299, false, rotated, false, "A2", "R2"},
             {"refused: refreshed while fresh", true, 3000, true, rotated, false, "A2", "R2"},
             {"not rotated: the old one stays", true, 0, false, {200, R"({"access_token":"A2"})"}, false, "A2", "R1"},
             {"revoked", true, 0, false, {400, R"({"error":"invalid_grant"})"}, false, SignInAgainText, "R1"},
             {"other",
              true,
              0,
              false,
              {401, R"({"error":"x"})"},
              false,
              "OAuth: the token endpoint refused (401 x)",
              "R1"},
             {"rotated token not stored: not used", true, 0, false, rotated, true, NoSecretStoreText, "R1"},
             {"never signed in", false, 0, false, {}, false, SignInAgainText, ""}}) {
        MemoryStore store;
        RecordingEndpoint endpoint;
        endpoint.Answer = c.Answer;
        const TAccount account{.Host = "h",
                               .Password = "",
                               .UserID = "u",
                               .Auth = TAuthMethod::OAuth,
                               .OAuthProvider = "custom",
                               .OAuthClientId = "id",
                               .OAuthTokenUrl = "https://t.example/token"};
        if (c.Stored) store.Items["u@h"] = TokenSetText({"A1", "R1", now + c.Left});
        store.FailSave = c.SaveFails;
        TOAuthAccess access(store, endpoint, nullptr, [&] { return now; });
        std::string result;
        try {
            result = c.Force ? access.Renewed(account) : access.Current(account);
        } catch (const Exception& error) {
            result = error.what();
        }
        EXPECT_EQ(result, c.Result) << c.Name;
        const auto kept = store.Load("u@h");
        EXPECT_EQ(kept ? TokenSetFromText(*kept)->RefreshToken : "", c.Kept) << c.Name;
        const std::string asked = "grant_type=refresh_token&refresh_token=R1&client_id=id";
        EXPECT_EQ(endpoint.Bodies.size() == 1 && endpoint.Bodies[0] == asked, c.Answer.Status != 0) << c.Name;
    }
}

}  // namespace
}  // namespace quorvel
