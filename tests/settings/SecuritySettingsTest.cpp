// The connection security and the trusted fingerprint in the account keys.
#include <gtest/gtest.h>

#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;

namespace {

const std::string Key0 = "Software\\Ombrask\\Quorvel\\Accounts\\0";
const std::string Pin(64, 'a');

void SaveOne(TRegistryStore& store, TConnectionSecurity security, const std::string& pin) {
    TAccounts accounts;
    TAccount& a = accounts.Add();
    a.Host = "h";
    a.Port = 995;
    a.UserID = "u";
    a.Security = security;
    a.CertFingerprint = pin;
    SaveAccounts(store, accounts);
}

}  // namespace

TEST(SecuritySettings, StoredOnlyWhenSetAndReadBack) {
    struct Case {
        TConnectionSecurity Security;
        std::string Pin;
        bool SecurityStored;
    };
    for (const Case& c : {Case{TConnectionSecurity::None, "", false}, Case{TConnectionSecurity::Stls, "", true},
                          Case{TConnectionSecurity::ImplicitTls, "", true}, Case{TConnectionSecurity::None, Pin, true},
                          Case{TConnectionSecurity::ImplicitTls, Pin, true}}) {
        TTempFolder temp;
        TRegistryStore store(temp / "registry.reg");
        SaveOne(store, c.Security, c.Pin);
        EXPECT_EQ(store.ValueExists(Key0, "Security"), c.SecurityStored);
        EXPECT_EQ(store.ValueExists(Key0, "CertFingerprint"), !c.Pin.empty());
        if (c.SecurityStored) {
            EXPECT_EQ(store.GetDataType(Key0, "Security"), TRegDataType::DWord);
        }
        TRegistryStore again(temp / "registry.reg");
        TAccounts loaded;
        std::uint32_t period = 0;
        LoadSettings(again, loaded, period);
        ASSERT_EQ(loaded.Count(), 1);
        EXPECT_EQ(loaded.Items(0).Security, c.Security);
        EXPECT_EQ(loaded.Items(0).CertFingerprint, c.Pin);
    }
}

TEST(SecuritySettings, AnUnusableValueDropsTheAccountNeverReadsAsPlaintext) {
    struct Case {
        const char* Name;
        bool AsText;
        std::int32_t Number;
        const char* Text;
    };
    for (const Case& c :
         {Case{"Security", false, 3, ""}, Case{"Security", false, -1, ""}, Case{"Security", true, 0, "tls"},
          Case{"CertFingerprint", true, 0, "12:34"}, Case{"CertFingerprint", false, 1, ""}}) {
        TTempFolder temp;
        TRegistryStore store(temp / "registry.reg");
        SaveOne(store, TConnectionSecurity::ImplicitTls, "");
        if (c.AsText) {
            store.WriteString(Key0, c.Name, c.Text);
        } else {
            store.WriteInteger(Key0, c.Name, c.Number);
        }
        TAccounts loaded;
        std::uint32_t period = 0;
        std::vector<TDroppedAccount> dropped;
        LoadSettings(store, loaded, period, &dropped);
        EXPECT_EQ(loaded.Count(), 0) << c.Name << " " << c.Number << c.Text;
        EXPECT_EQ(dropped.size(), 1u);
    }
}

TEST(SecuritySettings, FingerprintsAreNormalised) {
    EXPECT_EQ(NormalizeFingerprint(std::string(32, 'A') + ":" + std::string(32, 'b')),
              std::string(32, 'a') + std::string(32, 'b'));
    EXPECT_FALSE(NormalizeFingerprint(std::string(63, 'a')));
    EXPECT_FALSE(NormalizeFingerprint(std::string(64, 'g')));
    EXPECT_EQ(UsualPort(TConnectionSecurity::ImplicitTls), 995);
    EXPECT_EQ(UsualPort(TConnectionSecurity::Stls), 110);
    EXPECT_FALSE(SecurityFromNumber(3));
}

TEST(SecuritySettings, OAuthValuesOnlyForOAuthAccountsAndOnlyOverTls) {
    using S = TConnectionSecurity;
    for (const auto& [security, provider, loads] :
         std::vector<std::tuple<S, std::string, bool>>{{S::ImplicitTls, "google", true},
                                                       {S::Stls, "custom", true},
                                                       {S::None, "microsoft", false},
                                                       {S::ImplicitTls, "yahoo", false}}) {
        TTempFolder temp;
        TRegistryStore store(temp / "registry.reg");
        TAccounts accounts;
        TAccount& a = accounts.Add();
        a.Security = security;
        a.Auth = TAuthMethod::OAuth;
        a.OAuthProvider = provider;
        a.OAuthClientId = a.OAuthAuthorizeUrl = a.OAuthTokenUrl = "https://a.example/id";
        accounts.Add().Host = "password account";
        SaveAccounts(store, accounts);
        EXPECT_EQ(store.GetDataType(Key0, "Auth"), TRegDataType::DWord);
        EXPECT_EQ(store.ValueExists(Key0, "OAuthTokenUrl"), provider == "custom");
        EXPECT_FALSE(store.ValueExists("Software\\Ombrask\\Quorvel\\Accounts\\1", "OAuthProvider"));
        TAccounts loaded;
        std::uint32_t period = 0;
        std::vector<TDroppedAccount> dropped;
        LoadSettings(store, loaded, period, &dropped);
        ASSERT_EQ(loaded.Count(), loads ? 2 : 1) << provider;
        EXPECT_EQ(loaded.Items(0).Auth, loads ? TAuthMethod::OAuth : TAuthMethod::Password);
        EXPECT_EQ(loaded.Items(0).OAuthClientId, loads ? "https://a.example/id" : "");
    }
}
