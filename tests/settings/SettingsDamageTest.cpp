// A settings file with parts that cannot be read: the load says which file,
// which lines and what was skipped, loads the rest and writes nothing.
#include <gtest/gtest.h>

#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

const std::string Header =
    "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\n\"Interval\"=dword:00000007\n\n";
const std::string AccountValues =
    "\"Host\"=\"pop.example.jp\"\n\"PortNo\"=dword:0000006e\n\"UserID\"=\"taro\"\n\"Password\"=\"\"\n"
    "\"Enabled\"=\"1\"\n";

struct TDamageCase {
    const char* Name;
    std::string Text;
    std::int32_t Accounts;          // accounts that load
    std::vector<std::string> Told;  // the lines of the report between the first and the last
};

}  // namespace

TEST(SettingsDamage, LoadNamesTheFileTheLinesAndWhatWasSkipped) {
    const std::string unclosed = "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0";
    const std::string unclosed1 = "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\1";
    const std::string longKey = "[HKEY_LOCAL_MACHINE\\" + std::string(200, 'k') + "]";
    const std::vector<TDamageCase> cases = {
        {"second account unclosed",
         Header + unclosed + "]\n" + AccountValues + "\n" + unclosed1 + "\n" + AccountValues,
         1,
         {"line 13: section without ]: the section " + unclosed1 + " with the 5 lines under it (lines 13-18)"}},
        {"values before any section, a bad value, noise with a control character",
         std::string("REGEDIT4\n\"Orphan\"=\"x\"\n") +
             "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\n\"Interval\"=dword:zz\nnoise \x1b[2J\n",
         0,
         {"line 2: value outside a readable section: the value \"Orphan\"", "line 4: bad dword: the value \"Interval\"",
          "line 5: not a section or a value: the line noise \\x1b[2J"}},
        {"a long section line is cut",
         Header + longKey + "\n\"v\"=\"1\"\n",
         0,
         {"line 6: key outside HKEY_CURRENT_USER: the section " + longKey.substr(0, 80) +
          "... with the line under it (lines 6-7)"}},
        {"many parts",
         "REGEDIT4\n1\n2\n3\n4\n5\n6\n7\n",
         0,
         {"line 2: not a section or a value: the line 1", "line 3: not a section or a value: the line 2",
          "line 4: not a section or a value: the line 3", "line 5: not a section or a value: the line 4",
          "line 6: not a section or a value: the line 5", "and 2 more parts"}},
    };
    for (const TDamageCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder temp;
        const fs::path file = temp / "registry.reg";
        WriteText(file, c.Text);
        TRegistryStore store(file);
        TAccounts accounts;
        std::uint32_t period = 0;
        LoadSettings(store, accounts, period);
        EXPECT_EQ(accounts.Count(), c.Accounts);
        std::string expected = file.string() + " is damaged; these parts could not be read and were skipped:\n";
        for (const std::string& line : c.Told) expected += line + "\n";
        expected += "The rest was loaded. The next save keeps the damaged file as registry.reg.damaged-<time>.";
        EXPECT_EQ(store.DamageReport(), expected);
        // The load wrote nothing and kept no copy.
        EXPECT_EQ(ReadText(file), c.Text);
        EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);
    }
}

TEST(SettingsDamage, SoundFilesAndSavedRepairsReportNothing) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    TRegistryStore store(file);
    TAccounts accounts;
    std::uint32_t period = 0;
    LoadSettings(store, accounts, period);  // no file yet
    EXPECT_EQ(store.DamageReport(), "");

    WriteText(file, Header + "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0\n" + AccountValues);
    LoadSettings(store, accounts, period);
    EXPECT_NE(store.DamageReport(), "");
    // The save keeps the damaged file aside and writes a sound one.
    accounts.Add().Host = "pop.example.jp";
    SaveAccounts(store, accounts);
    TAccounts again;
    LoadSettings(store, again, period);
    EXPECT_EQ(store.DamageReport(), "");
    EXPECT_EQ(again.Count(), 1);
    EXPECT_EQ(period, 7u * 60000u);
}
