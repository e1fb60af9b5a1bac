// The connection security and the trusted fingerprint in the account keys.
#include <gtest/gtest.h>

#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;

namespace {

const std::string Key0 = "Software\\Ombrask\\Quorvel\\Accounts\\0";
const std::string Pin(64, 'a');

void SaveOne(RegistryStore& store, TConnectionSecurity security, const std::string& pin) {
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
        RegistryStore store(temp / "registry.reg");
        SaveOne(store, c.Security, c.Pin);
        EXPECT_EQ(store.ValueExists(Key0, "Security"), c.SecurityStored);
        EXPECT_EQ(store.ValueExists(Key0, "CertFingerprint"), !c.Pin.empty());
        if (c.SecurityStored) {
            EXPECT_EQ(store.GetDataType(Key0, "Security"), TRegDataType::DWord);
        }
        RegistryStore again(temp / "registry.reg");
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
        RegistryStore store(temp / "registry.reg");
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
    struct Case {
        TConnectionSecurity Security;
        std::string Provider;
        bool Loads;
    };
    for (const Case& c :
         {Case{TConnectionSecurity::ImplicitTls, "google", true}, Case{TConnectionSecurity::Stls, "custom", true},
          Case{TConnectionSecurity::None, "microsoft", false},
          Case{TConnectionSecurity::ImplicitTls, "yahoo", false}}) {
        TTempFolder temp;
        RegistryStore store(temp / "registry.reg");
        TAccounts accounts;
        TAccount& a = accounts.Add();
        a.Host = "h";
        a.Security = c.Security;
        a.Auth = TAuthMethod::OAuth;
        a.OAuthProvider = c.Provider;
        a.OAuthClientId = "id";
        a.OAuthAuthorizeUrl = "https://a.example/auth";
        a.OAuthTokenUrl = "https://a.example/token";
        accounts.Add().Host = "password account";
        SaveAccounts(store, accounts);
        EXPECT_EQ(store.GetDataType(Key0, "Auth"), TRegDataType::DWord);
        EXPECT_EQ(store.ValueExists(Key0, "OAuthTokenUrl"), c.Provider == "custom");
        for (const char* name : {"Auth", "OAuthProvider", "OAuthClientId"}) {
            EXPECT_FALSE(store.ValueExists("Software\\Ombrask\\Quorvel\\Accounts\\1", name));
        }
        TAccounts loaded;
        std::uint32_t period = 0;
        std::vector<TDroppedAccount> dropped;
        LoadSettings(store, loaded, period, &dropped);
        ASSERT_EQ(loaded.Count(), c.Loads ? 2 : 1) << c.Provider;
        EXPECT_EQ(loaded.Items(0).Auth, c.Loads ? TAuthMethod::OAuth : TAuthMethod::Password);
        EXPECT_EQ(loaded.Items(0).OAuthClientId, c.Loads ? "id" : "");
    }
}
