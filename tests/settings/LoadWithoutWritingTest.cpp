// Loading the settings only reads: unreadable settings are reported as such,
// nothing is created, replaced or changed by a load, and accounts that a load
// leaves out are named and kept before a save removes them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

const std::string AccountsKey = "\\Software\\Ombrask\\Quorvel\\Accounts";

// Everything about a file a load must leave alone.
struct TFileState {
    std::string Bytes;
    unsigned Mode = 0;
    long long ChangedNs = 0;
    bool operator==(const TFileState&) const = default;
};

TFileState StateOf(const fs::path& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return {ReadText(file), info.st_mode & 07777u, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec};
}

std::string Utf16Le(std::string_view ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string LoadError(TRegistryStore& store, TAccounts& accounts) {
    std::uint32_t period = 0;
    return MessageOf<ESettingsUnreadable>([&] { LoadSettings(store, accounts, period); });
}

}  // namespace

TEST(LoadWithoutWriting, SettingsThatCannotBeReadAreReportedAndNeverReplaced) {
    TTempFolder temp;
    struct TCase {
        const char* Name;
        std::function<void(const fs::path&)> Make;
        const char* Reason;
    };
    std::vector<TCase> cases = {
        {"folder", [](const fs::path& f) { fs::create_directory(f); }, "it is a folder"},
        {"pipe", [](const fs::path& f) { ::mkfifo(f.c_str(), 0600); }, "it is not a regular file"},
        {"big-endian", [](const fs::path& f) { WriteText(f, std::string("\xFE\xFF\0R\0E", 6)); },
         "it is UTF-16 big-endian text; save it as REGEDIT4"},
        {"bad UTF-16", [](const fs::path& f) { WriteText(f, std::string("\xFF\xFE\x00\xDC", 4)); },
         "it is UTF-16 text that does not decode; save it as REGEDIT4"},
    };
    if (::geteuid() != 0) {  // root reads every file
        cases.push_back({"no access",
                         [](const fs::path& f) {
                             WriteText(f, "REGEDIT4\n");
                             fs::permissions(f, fs::perms::none);
                         },
                         "Permission denied"});
    }
    for (const TCase& c : cases) {
        const fs::path file = temp / c.Name;
        c.Make(file);
        TRegistryStore store(file);
        TAccounts accounts;
        const std::string error = LoadError(store, accounts);
        EXPECT_EQ(error.rfind(file.string() + " cannot be read: " + c.Reason, 0), 0u) << error;
        EXPECT_EQ(accounts.Count(), 0);
        EXPECT_THROW(SaveAccounts(store, accounts), ERegistryException);
    }
    EXPECT_TRUE(fs::is_directory(temp / "folder"));
    EXPECT_EQ(fs::status(temp / "pipe").type(), fs::file_type::fifo);
    EXPECT_EQ(FilesIn(temp.Path()).size(), cases.size());
}

TEST(LoadWithoutWriting, WindowsExportInUtf16IsRead) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    const std::string exported = Utf16Le(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\r\n\"Interval\"=dword:0000000a\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0]\r\n"
        "\"Host\"=hex(2):70,00,6f,00,70,00,2e,00,6a,00,70,00,00,00\r\n"
        "\"PortNo\"=dword:0000006e\r\n\"UserID\"=\"taro\"\r\n\"Enabled\"=\"1\"\r\n");
    WriteText(file, exported);
    TRegistryStore store(file);
    TAccounts accounts;
    std::uint32_t period = 0;
    LoadSettings(store, accounts, period);
    EXPECT_TRUE(store.Problems().empty());
    EXPECT_EQ(period, 10u * 60000u);
    ASSERT_EQ(accounts.Count(), 1);
    EXPECT_EQ(accounts.Items(0).Host, "pop.jp");
    EXPECT_EQ(accounts.Items(0).UserID, "taro");
    EXPECT_TRUE(accounts.Items(0).Enabled);
    EXPECT_EQ(ReadText(file), exported);

    // The first save writes REGEDIT4 and keeps the export beside it.
    SaveAccounts(store, accounts);
    const std::vector<std::string> files = FilesIn(temp.Path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].rfind("registry.reg.utf16-", 0), 0u);
    EXPECT_EQ(ReadText(temp / files[1]), exported);
    EXPECT_EQ(ReadText(file).rfind("REGEDIT4\n", 0), 0u);
}

TEST(LoadWithoutWriting, LoadCreatesChangesAndCopiesNothing) {
    TTempFolder temp;
    // A damaged file, one behind a link (mode 0644 at the link's target) and
    // no file at all, not even its folder (a first start).
    WriteText(temp / "damaged.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\nnoise\n");
    fs::create_directory(temp / "dotfiles");
    WriteText(temp / "dotfiles" / "real.reg", "REGEDIT4\n");
    ::chmod((temp / "dotfiles" / "real.reg").c_str(), 0644);
    fs::create_symlink(temp / "dotfiles" / "real.reg", temp / "linked.reg");
    const TFileState damaged = StateOf(temp / "damaged.reg");
    const TFileState real = StateOf(temp / "dotfiles" / "real.reg");

    for (const char* name : {"damaged.reg", "linked.reg", "missing/registry.reg"}) {
        TRegistryStore store(temp / name);
        store.SetWriteFaultForTesting(TWriteFault{0, EROFS});  // a load that tried to write would fail
        TAccounts accounts;
        std::uint32_t period = 0;
        LoadSettings(store, accounts, period);
        EXPECT_EQ(std::tuple(period, accounts.Count()), std::tuple(300000u, 0)) << name;
        // The keys the load opens exist for the program, in memory; no default value is added.
        EXPECT_TRUE(store.KeyExists(AccountsKey)) << name;
        EXPECT_FALSE(store.ValueExists("\\Software\\Ombrask\\Quorvel", "Interval")) << name;
    }
    EXPECT_EQ(StateOf(temp / "damaged.reg"), damaged);
    EXPECT_EQ(StateOf(temp / "dotfiles" / "real.reg"), real);
    EXPECT_TRUE(fs::is_symlink(temp / "linked.reg"));
    // The missing file's folder is made for the update lock, which is taken on it; it stays empty.
    EXPECT_EQ(FilesIn(temp.Path()), (std::vector<std::string>{"damaged.reg", "dotfiles", "linked.reg", "missing"}));
    EXPECT_TRUE(fs::is_empty(temp / "missing"));
}

TEST(LoadWithoutWriting, DroppedAccountsAreNamedAndKeptBeforeASaveRemovesThem) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    const std::string text =
        "REGEDIT4\n"
        "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0]\n\"Host\"=\"good\"\n"
        "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\1]\n\"Host\"=\"h\"\n\"Password\"=\"not hex\"\n"
        "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\2]\n\"Host\"=dword:00000001\n";
    WriteText(file, text);
    TRegistryStore store(file);
    TAccounts accounts;
    std::uint32_t period = 0;
    std::vector<TDroppedAccount> dropped;
    LoadSettings(store, accounts, period, &dropped);
    ASSERT_EQ(accounts.Count(), 1);
    ASSERT_EQ(dropped.size(), 2u);
    EXPECT_EQ(dropped[0].Key, "1");
    EXPECT_EQ(dropped[0].Reason, "'xe' is not a valid hexadecimal pair");
    EXPECT_EQ(dropped[1].Key, "2");
    EXPECT_EQ(dropped[1].Reason, "'Host' のデータ型が不正です");

    SaveAccounts(store, accounts);
    std::vector<std::string> files = FilesIn(temp.Path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].rfind("registry.reg.dropped-", 0), 0u);
    EXPECT_EQ(ReadText(temp / files[1]), text);
    EXPECT_EQ(store.GetKeyNames(AccountsKey), std::vector<std::string>{"0"});
    // Nothing is dropped any more, so the next save keeps no copy.
    SaveAccounts(store, accounts);
    EXPECT_EQ(FilesIn(temp.Path()).size(), 2u);
}
