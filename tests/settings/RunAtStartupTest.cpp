#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "settings/RunAtStartup.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

class RunAtStartupTest : public ::testing::Test {
protected:
    TTempFolder Folder;
    TAutostartPlace Place{Folder / "config", "Quorvel", "/home/taro/My Programs/quorvel"};
    fs::path Entry() const { return Folder / "config" / "autostart" / "Quorvel.desktop"; }
};

}  // namespace

TEST_F(RunAtStartupTest, AddReplaceAndRemove) {
    EXPECT_FALSE(IsRunAtStartup(Place));
    RemoveRunAtStartup(Place);  // nothing there: no error
    AddRunAtStartup(Place);
    EXPECT_TRUE(IsRunAtStartup(Place));
    EXPECT_EQ(fs::status(Entry()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    WriteText(Entry(), ReadText(Entry()) + "Hidden=true\n");  // switched off by the desktop
    EXPECT_FALSE(IsRunAtStartup(Place));
    // A moved program is registered only once added again, which replaces
    // the entry and leaves no temporary file behind.
    TAutostartPlace moved = Place;
    moved.ProgramPath = "/opt/quorvel/quorvel";
    AddRunAtStartup(moved);
    EXPECT_TRUE(IsRunAtStartup(moved));
    EXPECT_FALSE(IsRunAtStartup(Place));
    EXPECT_EQ(std::distance(fs::directory_iterator(Entry().parent_path()), fs::directory_iterator()), 1);
    RemoveRunAtStartup(Place);
    EXPECT_FALSE(fs::exists(Entry()));
}

TEST_F(RunAtStartupTest, AFailedWriteRaisesTheSettingError) {
    fs::create_directories(Folder / "config");
    WriteText(Folder / "config" / "autostart", "a file where the folder should be");
    EXPECT_EQ(MessageOf([&] { AddRunAtStartup(Place); }), "'Quorvel' の設定に失敗しました");
    Place.ProgramPath = "/opt/\xFF/quorvel";  // an entry holds UTF-8 only
    fs::remove(Folder / "config" / "autostart");
    EXPECT_EQ(MessageOf([&] { AddRunAtStartup(Place); }), "'Quorvel' の設定に失敗しました");
    EXPECT_FALSE(fs::exists(Entry()));
}

TEST_F(RunAtStartupTest, DefaultPlaceIsTheConfigFolderAndThisProgram) {
    const TAutostartPlace place = DefaultAutostartPlace();
    EXPECT_EQ(place.Name, "Quorvel");
    EXPECT_TRUE(fs::equivalent(place.ProgramPath, "/proc/self/exe"));
    EXPECT_EQ(place.EntryFile().parent_path().filename(), "autostart");
}

TEST_F(RunAtStartupTest, WrittenEntriesPassDesktopFileValidate) {
    if (!fs::exists("/usr/bin/desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
    for (const char* program : {"/usr/bin/quorvel", "/home/taro/My Programs/quorvel", "/opt/q$v/a\"b\\c/100%/quorvel",
                                "/opt/メール/(x86)/quorvel"}) {
        Place.ProgramPath = program;
        AddRunAtStartup(Place);
        FILE* pipe = ::popen(("/usr/bin/desktop-file-validate '" + Entry().string() + "' 2>&1").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        EXPECT_EQ(::pclose(pipe), 0) << program << "\n" << output;
        EXPECT_EQ(output.find("error"), std::string::npos) << program << "\n" << output;
        EXPECT_TRUE(IsRunAtStartup(Place)) << program;
    }
}
