#include <gtest/gtest.h>

#include <tuple>

#include "settings/RegFileFormat.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

const std::string Accounts = "Software\\Ombrask\\Quorvel\\Accounts";

struct TLoaded {
    TAccounts Accounts;
    std::uint32_t PeriodMs = 123;
    std::string Error;
};

void Load(IRegistry& registry, TLoaded& out) {
    try {
        LoadSettings(registry, out.Accounts, out.PeriodMs);
    } catch (const Exception& e) {
        out.Error = e.what();
    }
}

TAccount& AddAccount(TAccounts& accounts, const std::string& host, std::int32_t port, const std::string& user,
                     const std::string& password, bool enabled) {
    return accounts.Add() = TAccount{host, port, password, user, enabled};
}

void ExpectAccount(const TAccount& a, const std::string& host, std::int32_t port, const std::string& user,
                   const std::string& password, bool enabled) {
    EXPECT_EQ(std::tie(a.Host, a.Port, a.UserID, a.Password, a.Enabled, a.LastCount),
              std::tuple(host, port, user, password, enabled, 0));
}

// A store in a folder of its own.
class Settings : public ::testing::Test {
protected:
    TTempFolder Temp;
    TRegistryStore Store{Temp / "registry.reg"};
};

}  // namespace

TEST_F(Settings, SavedAccountsAndIntervalLoadBackIdentically) {
    TAccounts accounts;
    AddAccount(accounts, "メール.example.jp", 110, "山田", "パスワード\"\\", true);
    AddAccount(accounts, "pop.example.com", 995, "user@example.com", "", false);
    TAccount& third = AddAccount(accounts, "", 0, "", std::string("\x00\xff", 2), true);
    third.LastCount = 7;  // never stored
    SaveAccounts(Store, accounts);
    SaveInterval(Store, 12 * 60000);

    // The stored password is scrambled, the port a DWord, Enabled text.
    EXPECT_EQ(Store.ReadString(Accounts + "\\0", "Password"), EncodePassword("パスワード\"\\"));
    EXPECT_EQ(Store.GetDataType(Accounts + "\\0", "PortNo"), TRegDataType::DWord);
    EXPECT_EQ(Store.ReadString(Accounts + "\\1", "Enabled"), "0");
    EXPECT_EQ(Store.ReadInteger("Software\\Ombrask\\Quorvel", "Interval"), 12);

    TLoaded loaded;
    Load(Store, loaded);
    EXPECT_EQ(loaded.Error, "");
    ASSERT_EQ(loaded.Accounts.Count(), 3);
    ExpectAccount(loaded.Accounts.Items(0), "メール.example.jp", 110, "山田", "パスワード\"\\", true);
    ExpectAccount(loaded.Accounts.Items(1), "pop.example.com", 995, "user@example.com", "", false);
    ExpectAccount(loaded.Accounts.Items(2), "", 0, "", std::string("\x00\xff", 2), true);
    EXPECT_EQ(loaded.PeriodMs, 12u * 60000u);

    // The new-mail notice: without a value it is on and saving "on" leaves the file as it was.
    const std::string unchanged = ReadText(Store.File());
    EXPECT_TRUE(LoadNotifyNewMail(Store));
    SaveNotifyNewMail(Store, true);
    EXPECT_EQ(ReadText(Store.File()), unchanged);
    for (const auto& [notify, stored] :
         {std::pair{false, "\"Notify\"=dword:00000000"}, std::pair{true, "\"Notify\"=dword:00000001"}}) {
        SaveNotifyNewMail(Store, notify);
        EXPECT_EQ(LoadNotifyNewMail(Store), notify);
        EXPECT_NE(ReadText(Store.File()).find(stored), std::string::npos) << stored;
    }
}

TEST_F(Settings, ElevenAccountsLoadInStoreOrderAndTheNextSaveRenumbers) {
    TAccounts accounts;
    for (int i = 0; i <= 10; ++i) {
        AddAccount(accounts, "host" + std::to_string(i), 1000 + i, "user" + std::to_string(i), "pw" + std::to_string(i),
                   i % 3 == 0);
    }
    SaveAccounts(Store, accounts);
    EXPECT_EQ(Store.GetKeyNames(Accounts),
              (std::vector<std::string>{"0", "1", "10", "2", "3", "4", "5", "6", "7", "8", "9"}));

    TLoaded loaded;
    Load(Store, loaded);
    const int order[] = {0, 1, 10, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_EQ(loaded.Accounts.Count(), 11);
    for (int pos = 0; pos < 11; ++pos) {
        const int i = order[pos];
        SCOPED_TRACE(pos);
        ExpectAccount(loaded.Accounts.Items(pos), "host" + std::to_string(i), 1000 + i, "user" + std::to_string(i),
                      "pw" + std::to_string(i), i % 3 == 0);
    }

    SaveAccounts(Store, loaded.Accounts);
    EXPECT_EQ(Store.ReadString(Accounts + "\\2", "Host"), "host10");
    EXPECT_EQ(Store.ReadString(Accounts + "\\10", "Host"), "host9");
    EXPECT_EQ(Store.ReadString(Accounts + "\\3", "Host"), "host2");
    EXPECT_EQ(Store.ReadString(Accounts + "\\3", "Enabled"), "0");
    EXPECT_EQ(Store.ReadString(Accounts + "\\10", "Enabled"), "1");
}

TEST_F(Settings, HandWrittenFileLoadsAsDescribed) {
    const fs::path file = Temp / "hand.reg";
    const std::string good = EncodePassword("secret");
    WriteText(file,
              "\xEF\xBB\xBFREGEDIT4\r\n\r\n"
              "; accounts typed by hand\r\n"
              "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\r\n"
              "\"Interval\"=\"  $A\"\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0]\r\n"
              "\"Host\"=\"a \\\"q\\\" \\\\ b\"\r\n\"PortNo\"=\"995\"\r\n\"UserID\"=\"one\"\r\n"
              "\"Password\"=\"" +
                  good +
                  "\"\r\n\"Enabled\"=\"2\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\1]\r\n"
                  "\"Host\"=\"bad.password\"\r\n\"Password\"=\"not hex!\"\r\n\"Enabled\"=\"1\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\2]\r\n"
                  "\"Host\"=hex(2):65,78,70,61,6e,64,2e,\\\r\n  6a,70,00\r\n\"Enabled\"=\"abc\"\r\n"
                  "\"PortNo\"=\"99999999999\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\3]\r\n"
                  "\"Host\"=dword:00000001\r\n\"Enabled\"=\"1\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\4]\r\n"
                  "\"PortNo\"=hex(2):31,00\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\5]\r\n"
                  "\"Enabled\"=hex:01\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\mine]\r\n"
                  "\"Host\"=\"named.by.hand\"\r\n\"Enabled\"=dword:00000001\r\n\"PortNo\"=dword:00000017\r\n");
    TRegistryStore store(file);
    TLoaded loaded;
    Load(store, loaded);
    EXPECT_EQ(loaded.Error, "");
    EXPECT_TRUE(store.Problems().empty());
    EXPECT_EQ(loaded.PeriodMs, 10u * 60000u);  // "$A" is hexadecimal 10
    ASSERT_EQ(loaded.Accounts.Count(), 3);
    ExpectAccount(loaded.Accounts.Items(0), "a \"q\" \\ b", 995, "one", "secret", true);
    // Text that is no number gives the default port and a disabled account.
    ExpectAccount(loaded.Accounts.Items(1), "expand.jp", 110, "", "", false);
    ExpectAccount(loaded.Accounts.Items(2), "named.by.hand", 23, "", "", true);

    // The next save drops the bad ones for good and renumbers the rest.
    SaveAccounts(store, loaded.Accounts);
    EXPECT_EQ(store.GetKeyNames(Accounts), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(store.ReadString(Accounts + "\\2", "Host"), "named.by.hand");
    EXPECT_EQ(store.ReadString(Accounts + "\\1", "Host"), "expand.jp");
    EXPECT_EQ(store.GetDataType(Accounts + "\\1", "Host"), TRegDataType::String);
}

TEST_F(Settings, MissingValuesGiveTheDefaultsAndLoadAppendsToTheList) {
    Store.CreateKey(Accounts + "\\0");
    TLoaded loaded;
    AddAccount(loaded.Accounts, "already there", 1, "", "", false);
    Load(Store, loaded);
    ASSERT_EQ(loaded.Accounts.Count(), 2);
    EXPECT_EQ(loaded.Accounts.Items(0).Host, "already there");
    ExpectAccount(loaded.Accounts.Items(1), "", 110, "", "", false);
}

TEST_F(Settings, IntervalEdgeCases) {
    const std::string key = "Software\\Ombrask\\Quorvel";
    struct TCase {
        std::function<void()> Store;
        std::uint32_t Period;
    } cases[] = {
        {[&] { Store.WriteInteger(key, "Interval", 0); }, 0u},
        {[&] { Store.WriteInteger(key, "Interval", 71582); }, 71582u * 60000u},
        {[&] { Store.WriteInteger(key, "Interval", 71583); }, 300000u},
        {[&] { Store.WriteInteger(key, "Interval", -1); }, 300000u},
        {[&] { Store.WriteString(key, "Interval", "abc"); }, 300000u},
        {[&] { Store.WriteString(key, "Interval", "100000"); }, 300000u},
        {[&] { Store.WriteString(key, "Interval", " 0x1E"); }, 30u * 60000u},
    };
    for (const TCase& c : cases) {
        Store.DeleteKey(key);
        c.Store();
        TLoaded loaded;
        Load(Store, loaded);
        EXPECT_EQ(loaded.Error, "");
        EXPECT_EQ(loaded.PeriodMs, c.Period);
    }

    SaveInterval(Store, 299999);
    EXPECT_EQ(Store.ReadString(key, "Interval"), "4");  // the text form stayed
    Store.DeleteKey(key);
    SaveInterval(Store, 299999);
    EXPECT_EQ(Store.GetDataType(key, "Interval"), TRegDataType::DWord);
    EXPECT_EQ(Store.ReadInteger(key, "Interval"), 4);
    SaveInterval(Store, 0xFFFFFFFFu);
    EXPECT_EQ(Store.ReadInteger(key, "Interval"), 71582);
}

TEST_F(Settings, IntervalOfABadTypeRaisesAfterTheAccountsWereLoaded) {
    TAccounts accounts;
    AddAccount(accounts, "h", 110, "u", "p", true);
    SaveAccounts(Store, accounts);
    // An expandable string, then binary data.
    for (const char* stored : {"\"Interval\"=hex(2):35,00\n", "\"Interval\"=hex:05\n"}) {
        WriteText(Store.File(), ReadText(Store.File()) + "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\n" + stored);
        TLoaded loaded;
        Load(Store, loaded);
        EXPECT_EQ(loaded.Error, "'Interval' のデータ型が不正です");
        EXPECT_EQ(loaded.PeriodMs, 123u);  // untouched
        EXPECT_EQ(loaded.Accounts.Count(), 1);
    }
}

TEST_F(Settings, SavingReplacesTheWholeAccountListAndLeavesTheInterval) {
    SaveInterval(Store, 60000);
    Store.WriteString(Accounts + "\\old\\deeper", "x", "y");
    Store.WriteString(Accounts, "Stray", "value");
    TAccounts accounts;
    AddAccount(accounts, "h", 110, "u", "p", true);
    SaveAccounts(Store, accounts);
    EXPECT_EQ(Store.GetKeyNames(Accounts), std::vector<std::string>{"0"});
    EXPECT_EQ(Store.ReadInteger("Software\\Ombrask\\Quorvel", "Interval"), 1);

    TAccounts none;
    SaveAccounts(Store, none);
    EXPECT_TRUE(Store.KeyExists(Accounts));
    EXPECT_TRUE(Store.GetKeyNames(Accounts).empty());
    EXPECT_EQ(Store.ReadInteger("Software\\Ombrask\\Quorvel", "Interval"), 1);
}

TEST_F(Settings, FailedSavesReportTheStoreTextsAndKeepTheOldSettings) {
    TAccounts accounts;
    AddAccount(accounts, "old", 110, "u", "p", true);
    SaveAccounts(Store, accounts);
    SaveInterval(Store, 60000);
    const std::string before = ReadText(Store.File());

    TAccounts changed;
    for (int i = 0; i < 50; ++i) AddAccount(changed, "new" + std::to_string(i), 110, "u", "p", true);
    Store.SetWriteFaultForTesting(TWriteFault{100, ENOSPC});
    try {
        SaveAccounts(Store, changed);
        ADD_FAILURE() << "the save reported success";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "キー \\Software\\Ombrask\\Quorvel\\Accounts の作成に失敗しました");
    }
    try {
        SaveInterval(Store, 10 * 60000);
        ADD_FAILURE() << "the save reported success";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'Interval' の設定に失敗しました");
    }
    EXPECT_EQ(ReadText(Store.File()), before);

    // Loading still works when the keys cannot be written.
    Store.SetWriteFaultForTesting(TWriteFault{0, EROFS});
    Store.DeleteKey("Nothing");  // no change, so no write is tried
    TLoaded loaded;
    Load(Store, loaded);
    EXPECT_EQ(loaded.Error, "");
    ASSERT_EQ(loaded.Accounts.Count(), 1);
    EXPECT_EQ(loaded.Accounts.Items(0).Host, "old");
}
