#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "settings/RegFileFormat.h"
#include "settings/RegistryStore.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

unsigned Mode(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777u;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name)) FOld = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

}  // namespace

TEST(TRegistryStore, DefaultPathFollowsXdgConfigHome) {
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(TRegistryStore::DefaultPath(), fs::path("/cfg/Quorvel/registry.reg"));
    }
    for (const char* fallback : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
        ScopedEnv config("XDG_CONFIG_HOME", fallback);
        EXPECT_EQ(TRegistryStore::DefaultPath(), fs::path("/home/someone/.config/Quorvel/registry.reg"));
    }
}

TEST(TRegistryStore, KeysAndValuesPersistWithTheirTypes) {
    TTempFolder temp;
    const fs::path file = temp / "new/Quorvel/registry.reg";
    {
        TRegistryStore store(file);
        store.CreateKey("\\Software\\Ombrask\\Quorvel\\Accounts");
        store.WriteString("Software\\A", "Text", "値");
        store.WriteString("Software\\A", "Expand", "%HOME%/x", TRegDataType::ExpandString);
        store.WriteInteger("Software\\A", "Number", -2);
        store.WriteString("Software\\A", "", "default");
    }
    EXPECT_EQ(Mode(file), 0600u);
    EXPECT_EQ(Mode(file.parent_path()), 0700u);
    EXPECT_EQ(Mode(file.parent_path().parent_path()), 0700u);
    EXPECT_EQ(FilesIn(file.parent_path()), std::vector<std::string>{"registry.reg"});

    TRegistryStore store(file);
    EXPECT_TRUE(store.KeyExists("\\SOFTWARE\\ombrask\\Quorvel\\accounts"));
    EXPECT_EQ(store.GetDataType("Software\\A", "text"), TRegDataType::String);
    EXPECT_EQ(store.GetDataType("Software\\A", "Expand"), TRegDataType::ExpandString);
    EXPECT_EQ(store.GetDataType("Software\\A", "Number"), TRegDataType::DWord);
    EXPECT_FALSE(store.ValueExists("Software\\A", "Missing"));
    EXPECT_FALSE(store.ValueExists("Software\\Nowhere", "Text"));
    EXPECT_EQ(store.ReadString("Software\\A", "Text"), "値");
    EXPECT_EQ(store.ReadString("Software\\A", "Expand"), "%HOME%/x");
    EXPECT_EQ(store.ReadString("Software\\A", ""), "default");
    EXPECT_EQ(store.ReadInteger("Software\\A", "Number"), -2);
    EXPECT_EQ(MessageOf([&] { store.ReadInteger("Software\\A", "Text"); }), "'Text' のデータ型が不正です");
    EXPECT_EQ(MessageOf([&] { store.ReadString("Software\\A", "Number"); }), "'Number' のデータ型が不正です");
    EXPECT_EQ(MessageOf([&] { store.ReadString("Software\\A", "Missing"); }), "'Missing' の取得に失敗しました");
    EXPECT_EQ(MessageOf([&] { store.CreateKey("Software\\bad\nname"); }),
              "キー Software\\bad\nname の作成に失敗しました");
    EXPECT_EQ(MessageOf([&] { store.WriteString("Software\\A", "bad\nname", "x"); }),
              "'bad\nname' の設定に失敗しました");
}

TEST(TRegistryStore, DeleteKeyRemovesEverythingBelow) {
    TTempFolder temp;
    TRegistryStore store(temp / "registry.reg");
    store.WriteString("A\\B\\C", "v", "1");
    store.WriteString("A\\B2", "v", "2");
    EXPECT_TRUE(store.DeleteKey("a\\b"));
    EXPECT_FALSE(store.KeyExists("A\\B\\C"));
    EXPECT_FALSE(store.DeleteKey("A\\B"));
    EXPECT_FALSE(store.DeleteKey(""));
    EXPECT_EQ(store.GetKeyNames("A"), std::vector<std::string>{"B2"});
    EXPECT_TRUE(store.GetKeyNames("Nowhere").empty());
}

TEST(TRegistryStore, AnUpdateWritesOnceAndDropsWhatIsNotCommitted) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    TRegistryStore store(file);
    store.WriteString("K", "v", "old");
    const std::string before = ReadText(file);
    {
        TRegistryUpdate update(store);
        store.WriteString("K", "v", "new");
        store.WriteString("K", "w", "new");
        EXPECT_EQ(ReadText(file), before);  // nothing written yet
        EXPECT_EQ(store.ReadString("K", "v"), "new");
    }
    EXPECT_EQ(ReadText(file), before);
    EXPECT_EQ(store.ReadString("K", "v"), "old");
    {
        TRegistryUpdate update(store);
        store.WriteString("K", "v", "new");
        update.Commit();
    }
    EXPECT_EQ(store.ReadString("K", "v"), "new");

    // Each update reads the file afresh, so changes made by others are seen.
    WriteText(file, "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"by hand\"\n");
    EXPECT_EQ(store.ReadString("K", "v"), "by hand");
}

TEST(TRegistryStore, NothingIsWrittenWhenNothingChanged) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    TRegistryStore store(file);
    store.CreateKey("K");
    store.WriteInteger("K", "n", 5);
    const std::string handWritten = "REGEDIT4\r\n; mine\r\n[HKEY_CURRENT_USER\\K]\r\n\"n\"=dword:00000005\r\n";
    WriteText(file, handWritten);
    store.CreateKey("K");
    store.WriteInteger("K", "n", 5);
    EXPECT_EQ(ReadText(file), handWritten);
}

TEST(TRegistryStore, FailedWriteOrReadOnlyFolderLeavesTheOldFileAndNoLeftovers) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    TRegistryStore store(file);
    store.WriteString("K", "v", "old");
    const std::string before = ReadText(file);

    for (std::size_t after : {std::size_t{0}, std::size_t{10}, std::size_t{1000000}}) {
        store.SetWriteFaultForTesting(TWriteFault{after, ENOSPC});
        EXPECT_THROW(store.WriteString("K", "v", "new"), ERegistryException);
        EXPECT_EQ(ReadText(file), before);
        EXPECT_EQ(FilesIn(temp.Path()), std::vector<std::string>{"registry.reg"});
    }
    store.SetWriteFaultForTesting(std::nullopt);
    EXPECT_EQ(store.ReadString("K", "v"), "old");
    if (::geteuid() == 0) return;  // root may write into read-only folders
    fs::permissions(temp.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(store.WriteString("K", "v", "new"), ERegistryException);
    fs::permissions(temp.Path(), fs::perms::owner_all);
    EXPECT_EQ(ReadText(file), before);
}

TEST(TRegistryStore, UnreadableFileIsNeverReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    WriteText(file, "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"precious\"\n");
    fs::permissions(file, fs::perms::none);
    TRegistryStore store(file);
    EXPECT_FALSE(store.KeyExists("K"));
    EXPECT_THROW(store.WriteString("K", "v", "new"), ERegistryException);
    EXPECT_FALSE(store.Problems().empty());
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(store.ReadString("K", "v"), "precious");
    EXPECT_EQ(FilesIn(temp.Path()), std::vector<std::string>{"registry.reg"});
}

TEST(TRegistryStore, DamagedFileIsCopiedBeforeTheFirstSave) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"kept\"\nthis line is noise\n";
    WriteText(file, damaged);
    TRegistryStore store(file);
    EXPECT_EQ(store.ReadString("K", "v"), "kept");  // what can be read is read
    EXPECT_EQ(store.Problems().size(), 1u);
    EXPECT_EQ(FilesIn(temp.Path()).size(), 1u);  // reading alone copies nothing

    store.WriteString("K", "w", "new");
    const std::vector<std::string> files = FilesIn(temp.Path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], "registry.reg");
    EXPECT_EQ(files[1].rfind("registry.reg.damaged-", 0), 0u);
    EXPECT_EQ(files[1].size(), std::string("registry.reg.damaged-20261208T003428Z").size());
    EXPECT_EQ(ReadText(temp / files[1]), damaged);
    EXPECT_EQ(Mode(temp / files[1]), 0600u);
    EXPECT_EQ(store.ReadString("K", "v"), "kept");
    EXPECT_TRUE(store.Problems().empty());

    // A second damage within the same second gets a copy of its own.
    WriteText(file, damaged + "more noise\n");
    store.WriteString("K", "w", "newer");
    WriteText(file, damaged + "even more noise\n");
    store.WriteString("K", "w", "newest");
    EXPECT_EQ(FilesIn(temp.Path()).size(), 4u);
}

TEST(TRegistryStore, SaveRemovesWhatAKilledSaveLeftBehind) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    WriteText(file, "REGEDIT4\n");
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* name :
         {"registry.reg.tmp-aB3xY9", "registry.reg.tmp-fresh1", "registry.reg.tmp-toolong", "other.reg.tmp-aB3xY9"}) {
        WriteText(temp / name, "REGEDIT4\n[HKEY_CURRENT_USER\\Half");
        if (std::string(name) != "registry.reg.tmp-fresh1") fs::last_write_time(temp / name, old);
    }
    fs::create_symlink(temp / "other.reg.tmp-aB3xY9", temp / "registry.reg.tmp-link01");

    TRegistryStore store(file);
    EXPECT_EQ(FilesIn(temp.Path()).size(), 6u) << "reading removes nothing";
    store.WriteString("K", "v", "saved");
    // Only an old temporary file of this settings file goes; a fresh one may
    // belong to a save under way, and links and other names are not ours.
    EXPECT_EQ(FilesIn(temp.Path()),
              (std::vector<std::string>{"other.reg.tmp-aB3xY9", "registry.reg", "registry.reg.tmp-fresh1",
                                        "registry.reg.tmp-link01", "registry.reg.tmp-toolong"}));
    EXPECT_EQ(store.ReadString("K", "v"), "saved");
}

TEST(TRegistryStore, SymbolicLinkToTheFileStaysALink) {
    TTempFolder temp;
    const fs::path real = temp / "dotfiles" / "registry.reg";
    fs::create_directories(real.parent_path());
    WriteText(real, "REGEDIT4\n");
    const fs::path link = temp / "registry.reg";
    fs::create_symlink(real, link);
    TRegistryStore store(link);
    store.WriteString("K", "v", "through the link");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(ReadText(real).find("through the link"), std::string::npos);
}
