#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/DesktopEntry.h"

using namespace quorvel;

namespace {

// Program paths that a user may well have, each with what Exec must hold.
struct PathCase {
    const char* Path;
    const char* Exec;  // as written in the entry
};

constexpr PathCase PathCases[] = {
    {"/usr/bin/quorvel", "/usr/bin/quorvel"},
    {"/home/taro/My Programs/quorvel", "\"/home/taro/My Programs/quorvel\""},
    {"/opt/q$v/quorvel", "\"/opt/q\\\\$v/quorvel\""},
    {"/opt/a\"b/quorvel", "\"/opt/a\\\\\"b/quorvel\""},
    {"/opt/back\\slash/quorvel", "\"/opt/back\\\\\\\\slash/quorvel\""},
    {"/opt/100%/quorvel", "/opt/100%%/quorvel"},
    {"/opt/メール/quorvel", "/opt/メール/quorvel"},
    {"/opt/(x86)/`q`", "\"/opt/(x86)/\\\\`q\\\\`\""},
};

}  // namespace

TEST(DesktopEntry, ExecHoldsTheProgramQuotedWhenItMustBe) {
    for (const PathCase& c : PathCases) {
        const std::string entry = AutostartEntryText("Quorvel", c.Path);
        EXPECT_NE(entry.find(std::string("\nExec=") + c.Exec + "\n"), std::string::npos) << entry;
        // What is written reads back as the same single argument.
        const auto exec = DesktopEntryValue(entry, "Exec");
        ASSERT_TRUE(exec.has_value());
        EXPECT_EQ(SplitExecArguments(*exec), std::vector<std::string>{c.Path}) << c.Path;
        EXPECT_TRUE(AutostartEntryStarts(entry, c.Path)) << c.Path;
    }
}

TEST(DesktopEntry, SplitsArgumentsAndRefusesBrokenQuoting) {
    const struct {
        const char* Exec;
        std::optional<std::vector<std::string>> Arguments;
    } cases[] = {
        {"quorvel", std::vector<std::string>{"quorvel"}},
        {"  /usr/bin/quorvel   --x  ", std::vector<std::string>{"/usr/bin/quorvel", "--x"}},
        {"\"/a b\" %U", std::vector<std::string>{"/a b", "%U"}},
        {"\"a\\\"b\"", std::vector<std::string>{"a\"b"}},
        {"\"/a b", std::nullopt},
        {"\"a\\qb\"", std::nullopt},
        {"\"a\"b", std::nullopt},
        {"a\"b\"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitExecArguments(c.Exec), c.Arguments) << c.Exec;
}

TEST(DesktopEntry, ReadsKeysOfTheDesktopEntryGroupOnly) {
    const std::string entry =
        "# comment\n[Other]\nExec=/wrong\n[Desktop Entry]\n Exec = /usr/bin/quorvel \nExec=/second\n"
        "Name[de]=X\nComment=a\\sb\\\\c\n[Desktop Action x]\nHidden=true\n";
    EXPECT_EQ(DesktopEntryValue(entry, "Exec"), "/usr/bin/quorvel");
    EXPECT_EQ(DesktopEntryValue(entry, "Comment"), "a b\\c");
    EXPECT_EQ(DesktopEntryValue(entry, "Name"), std::nullopt);
    EXPECT_EQ(DesktopEntryValue(entry, "Hidden"), std::nullopt);
    EXPECT_TRUE(AutostartEntryStarts(entry, "/usr/bin/quorvel"));
}

TEST(DesktopEntry, StartsOnlyThisProgramWithoutArgumentsWhileSwitchedOn) {
    const std::string program = "/home/taro/bin/quorvel";
    const struct {
        const char* Entry;
        bool Starts;
    } cases[] = {
        {"[Desktop Entry]\nExec=/home/taro/bin/quorvel\n", true},
        {"[Desktop Entry]\nExec=/HOME/Taro/bin/QUORVEL\n", true},
        {"[Desktop Entry]\nExec=\"/home/taro/bin/quorvel\"\n", true},
        {"[Desktop Entry]\nExec=/home/taro/bin/quorvel\nHidden=true\n", false},
        {"[Desktop Entry]\nExec=/home/taro/bin/quorvel\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nExec=/home/taro/bin/quorvel --now\n", false},
        {"[Desktop Entry]\nExec=/home/taro/bin/quorvel %U\n", false},
        {"[Desktop Entry]\nExec=/opt/quorvel/quorvel\n", false},
        {"[Desktop Entry]\nExec=\"/home/taro/bin/quorvel\n", false},
        {"[Desktop Entry]\nName=Quorvel\n", false},
        {"Exec=/home/taro/bin/quorvel\n", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(AutostartEntryStarts(c.Entry, program), c.Starts) << c.Entry;
}

TEST(DesktopEntry, Utf8Check) {
    EXPECT_TRUE(IsValidUtf8("/opt/メール/\xF0\x9F\x93\xAE"));
    for (const char* bad : {"\xFF", "\xC0\xAF", "\xE3\x83", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
}
