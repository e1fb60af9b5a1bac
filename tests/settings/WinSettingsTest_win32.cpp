#include <gtest/gtest.h>

#include <tuple>

#include "settings/Settings.h"
#include "settings/SystemCodePage_win32.h"
#include "settings/WinRegistry_win32.h"
#include "tests/settings/TestKey_win32.h"

using namespace quorvel;

namespace {

const std::string Quorvel = "Software\\Ombrask\\Quorvel";
const std::string Accounts = Quorvel + "\\Accounts";

class WinSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SetSystemCodePageForTesting(932); }
    void TearDown() override { SetSystemCodePageForTesting(0); }

    void Save(std::initializer_list<std::pair<const char*, const char*>> HostsAndPasswords) {
        TAccounts accounts;
        for (const auto& [host, password] : HostsAndPasswords)
            accounts.Add() = TAccount{host, 110, password, "user", true};
        SaveAccounts(Registry, accounts);
    }
    std::vector<std::string> LoadedHosts(std::vector<TDroppedAccount>* Dropped = nullptr) {
        TWinRegistry fresh(Key.Base());
        TAccounts accounts;
        std::uint32_t period = 0;
        LoadSettings(fresh, accounts, period, Dropped);
        std::vector<std::string> hosts;
        for (std::int32_t i = 0; i < accounts.Count(); ++i) hosts.push_back(accounts.Items(i).Host);
        return hosts;
    }
    // Nothing beside the settings key: no copy, no old key.
    std::vector<std::string> Siblings() { return Key.Subkeys("Software\\Ombrask"); }

    TTestKey Key;
    TWinRegistry Registry{Key.Base()};
};

}  // namespace

TEST_F(WinSettingsTest, SettingsAsTheRegistryHoldsThemLoad) {
    // Shift-JIS bytes of "パス", scrambled: what the program stored on Japanese Windows.
    Key.SetText(Accounts + "\\0", L"Host", L"pop.例え.jp");
    Key.SetText(Accounts + "\\0", L"PortNo", L"995");
    Key.SetText(Accounts + "\\0", L"UserID", L"太郎");
    Key.SetText(Accounts + "\\0", L"Password", WideFromUtf8(EncodePassword("\x83\x70\x83\x58")));
    Key.SetText(Accounts + "\\0", L"Enabled", L"1");
    Key.SetDword(Quorvel, L"Interval", 10);
    TAccounts accounts;
    std::uint32_t period = 0;
    LoadSettings(Registry, accounts, period);
    ASSERT_EQ(accounts.Count(), 1);
    const TAccount& a = accounts.Items(0);
    EXPECT_EQ(std::tie(a.Host, a.Port, a.UserID, a.Password, a.Enabled, period),
              std::tuple("pop.例え.jp", 995, "太郎", "パス", true, 600000u));
}

TEST_F(WinSettingsTest, SaveWritesTheRegistryLayout) {
    Save({{"a.example", "パス"}, {"b.example", ""}});
    SaveInterval(Registry, 7 * 60000);
    EXPECT_EQ(Key.Subkeys(Accounts), (std::vector<std::string>{"0", "1"}));
    for (const wchar_t* name : {L"Host", L"UserID", L"Password", L"Enabled"}) {
        EXPECT_EQ(Key.Get(Accounts + "\\0", name)->first, static_cast<DWORD>(REG_SZ));
    }
    EXPECT_EQ(Key.Get(Accounts + "\\0", L"PortNo")->first, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Key.Get(Quorvel, L"Interval")->first, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Key.GetText(Accounts + "\\0", L"Password"), WideFromUtf8(EncodePassword("\x83\x70\x83\x58")));
    EXPECT_EQ(Key.GetText(Accounts + "\\1", L"Password"), L"");
    EXPECT_EQ(Key.GetText(Accounts + "\\0", L"Enabled"), L"1");
    EXPECT_EQ(Siblings(), std::vector<std::string>{"Quorvel"});
}

TEST_F(WinSettingsTest, PasswordTheCodePageCannotHoldFailsTheSaveAndChangesNothing) {
    Save({{"old.example", "pw"}});
    EXPECT_THROW(Save({{"new.example", "ok"}, {"bad.example", "〜"}}), ERegistryException);
    EXPECT_EQ(LoadedHosts(), std::vector<std::string>{"old.example"});
    SetSystemCodePageForTesting(1252);
    EXPECT_THROW(Save({{"jp.example", "パス"}}), ERegistryException);
    EXPECT_EQ(LoadedHosts(), std::vector<std::string>{"old.example"});
    EXPECT_EQ(Siblings(), std::vector<std::string>{"Quorvel"});
}

TEST_F(WinSettingsTest, StoredPasswordThatIsNotShiftJisDropsThatAccount) {
    Save({{"a.example", "x"}, {"b.example", "y"}});
    Key.SetText(Accounts + "\\0", L"Password", WideFromUtf8(EncodePassword("\x83")));
    std::vector<TDroppedAccount> dropped;
    EXPECT_EQ(LoadedHosts(&dropped), std::vector<std::string>{"b.example"});
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].Key, "0");
    EXPECT_NE(dropped[0].Reason.find("932"), std::string::npos) << dropped[0].Reason;
}

TEST_F(WinSettingsTest, SaveKeepsOtherValuesAndTextIntegers) {
    Key.SetText(Quorvel, L"Interval", L"9");
    Key.SetText(Quorvel, L"Foreign", L"kept");
    Save({{"a.example", "x"}});
    SaveInterval(Registry, 3 * 60000);
    EXPECT_EQ(Key.GetText(Quorvel, L"Interval"), L"3");
    EXPECT_EQ(Key.GetText(Quorvel, L"Foreign"), L"kept");
}

TEST_F(WinSettingsTest, LoadOfNothingWritesNothing) {
    EXPECT_TRUE(LoadedHosts().empty());
    EXPECT_FALSE(Key.Exists(Quorvel));
    EXPECT_TRUE(Siblings().empty());
}

// A save that fails at a step of its commit keeps the old accounts; one
// killed there leaves the old or the new at the next start, never a mix.
TEST_F(WinSettingsTest, FailedOrKilledCommitLeavesOldOrNewAccountsNeverAMix) {
    using Step = TWinRegistry::TCommitStep;
    struct TCase {
        Step At;
        bool Fails;  // reported as a failure, not killed
        const char* Expected;
    };
    const TCase cases[] = {
        {Step::KeepOld, true, "old.example"},   {Step::MarkDone, true, "old.example"},
        {Step::CopyIn, true, "old.example"},    {Step::KeepOld, false, "old.example"},
        {Step::MarkDone, false, "old.example"}, {Step::CopyIn, false, "new.example"},
        {Step::Tidy, false, "new.example"},
    };
    for (const TCase& c : cases) {
        TTestKey key;
        {
            TWinRegistry saving(key.Base());
            TAccounts accounts;
            accounts.Add().Host = "old.example";
            SaveAccounts(saving, accounts);
            accounts.Items(0).Host = "new.example";
            accounts.Add().Host = "second.example";
            saving.SetCommitFaultForTesting(TWinRegistry::TCommitFault{c.At, c.Fails});
            bool raised = false;
            try {
                SaveAccounts(saving, accounts);
            } catch (const ERegistryException&) {
                raised = true;
            }
            EXPECT_TRUE(raised || !c.Fails);
        }
        TWinRegistry next(key.Base());  // the next start finishes or undoes it
        TAccounts loaded;
        std::uint32_t period = 0;
        LoadSettings(next, loaded, period);
        ASSERT_GE(loaded.Count(), 1);
        EXPECT_EQ(loaded.Items(0).Host, c.Expected);
        EXPECT_EQ(loaded.Count(), std::string(c.Expected) == "new.example" ? 2 : 1);
        EXPECT_EQ(key.Subkeys("Software\\Ombrask"), std::vector<std::string>{"Quorvel"});
    }
}

TEST_F(WinSettingsTest, AccountThatWouldNotLoadIsKeptBesideTheSettings) {
    Save({{"a.example", "x"}});
    Key.SetText(Accounts + "\\0", L"Password", L"zz");
    Save({{"b.example", "y"}});
    const std::vector<std::string> siblings = Siblings();
    ASSERT_EQ(siblings.size(), 2u);
    EXPECT_EQ(siblings[0], "Quorvel");
    EXPECT_EQ(siblings[1].rfind("Quorvel.dropped-", 0), 0u) << siblings[1];
    EXPECT_EQ(Key.GetText("Software\\Ombrask\\" + siblings[1] + "\\Accounts\\0", L"Host"), L"a.example");
}
