#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/Exception.h"
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

// What desktop-file-validate says of a file, or nothing when the tool is not
// installed.
std::optional<std::string> Validate(const fs::path& File, int& Status) {
    if (!fs::exists("/usr/bin/desktop-file-validate")) return std::nullopt;
    const std::string command = "/usr/bin/desktop-file-validate '" + File.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    Status = ::pclose(pipe);
    return output;
}

}  // namespace

TEST_F(RunAtStartupTest, AddThenRemove) {
    EXPECT_FALSE(IsRunAtStartup(Place));
    RemoveRunAtStartup(Place);  // nothing there: no error
    AddRunAtStartup(Place);
    EXPECT_TRUE(fs::exists(Entry()));
    EXPECT_TRUE(IsRunAtStartup(Place));
    EXPECT_EQ(fs::status(Entry()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    // Adding again replaces the entry, leaving no temporary file behind.
    AddRunAtStartup(Place);
    EXPECT_EQ(std::distance(fs::directory_iterator(Entry().parent_path()), fs::directory_iterator()), 1);
    RemoveRunAtStartup(Place);
    EXPECT_FALSE(fs::exists(Entry()));
    EXPECT_FALSE(IsRunAtStartup(Place));
}

TEST_F(RunAtStartupTest, AMovedProgramIsNotRegisteredUntilAddedAgain) {
    AddRunAtStartup(Place);
    TAutostartPlace moved = Place;
    moved.ProgramPath = "/opt/quorvel/quorvel";
    EXPECT_FALSE(IsRunAtStartup(moved));
    AddRunAtStartup(moved);
    EXPECT_TRUE(IsRunAtStartup(moved));
    EXPECT_FALSE(IsRunAtStartup(Place));
}

TEST_F(RunAtStartupTest, AnEntrySwitchedOffByTheDesktopIsNotRegistered) {
    AddRunAtStartup(Place);
    WriteText(Entry(), ReadText(Entry()) + "Hidden=true\n");
    EXPECT_FALSE(IsRunAtStartup(Place));
}

TEST_F(RunAtStartupTest, AFailedWriteRaisesTheSettingError) {
    fs::create_directories(Folder / "config");
    WriteText(Folder / "config" / "autostart", "a file where the folder should be");
    EXPECT_EQ(MessageOf([&] { AddRunAtStartup(Place); }), "'Quorvel' の設定に失敗しました");
    TAutostartPlace notUtf8 = Place;
    notUtf8.ProgramPath = "/opt/\xFF/quorvel";
    EXPECT_EQ(MessageOf([&] { AddRunAtStartup(notUtf8); }), "'Quorvel' の設定に失敗しました");
    EXPECT_FALSE(IsRunAtStartup(Place));
    RemoveRunAtStartup(Place);
}

TEST_F(RunAtStartupTest, DefaultPlaceIsTheConfigFolderAndThisProgram) {
    const TAutostartPlace place = DefaultAutostartPlace();
    EXPECT_EQ(place.Name, "Quorvel");
    EXPECT_TRUE(fs::equivalent(place.ProgramPath, "/proc/self/exe"));
    EXPECT_EQ(place.EntryFile().filename(), "Quorvel.desktop");
    EXPECT_EQ(place.EntryFile().parent_path().filename(), "autostart");
}

TEST_F(RunAtStartupTest, WrittenEntriesPassDesktopFileValidate) {
    for (const char* program : {"/usr/bin/quorvel", "/home/taro/My Programs/quorvel", "/opt/q$v/a\"b\\c/100%/quorvel",
                                "/opt/メール/(x86)/quorvel"}) {
        TAutostartPlace place = Place;
        place.ProgramPath = program;
        AddRunAtStartup(place);
        int status = -1;
        const auto output = Validate(Entry(), status);
        if (!output) GTEST_SKIP() << "desktop-file-validate is not installed";
        EXPECT_EQ(status, 0) << program << "\n" << *output;
        EXPECT_EQ(output->find("error"), std::string::npos) << program << "\n" << *output;
        EXPECT_TRUE(IsRunAtStartup(place)) << program;
    }
}
