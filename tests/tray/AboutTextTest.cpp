#include <gtest/gtest.h>

#include <utility>

#include "tray/AboutText.h"
#include "tray/ProgramVersion.h"

using namespace quorvel;

TEST(AboutText, FileVersionIsWrittenWithoutBlanksBeforeReleaseAndBuild) {
    const struct {
        std::uint32_t Major, Minor, Release, Build;
        const char* Text;
    } cases[] = {
        {1, 0, 1, 42, "Version 1.0Release 1(Build 42)"},
        {10, 20, 300, 4000, "Version 10.20Release 300(Build 4000)"},
        {65535, 65535, 65535, 65535, "Version 65535.65535Release 65535(Build 65535)"},
        {0, 0, 0, 0, "Version 0.0Release 0(Build 0)"},
    };
    for (const auto& c : cases) EXPECT_EQ(VersionLine(FileVersionOf(c.Major, c.Minor, c.Release, c.Build)), c.Text);
    // Only the file version counts, not the product version.
    EXPECT_EQ(FormatFileVersion(TFixedFileInfo{0x00010000, 0x0001002A, 0x00090009, 0x00090009}),
              "1.0Release 1(Build 42)");
    EXPECT_EQ(FileVersionOf(65536, 0, 0, 0), std::nullopt);
    EXPECT_EQ(VersionLine(std::nullopt), "Version X.XXX Release XXX (Build XXXX)");
    EXPECT_EQ(VersionLine(ProgramFileVersion()), QUORVEL_EXPECTED_VERSION_LINE);
}

TEST(AboutText, TitleIsTheFileNameCutAtTheFirstFullStop) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/quorvel", "quorvel"}, {"/opt/a.b.exe", "a"}, {"QUORVEL.EXE", "Quorvel"}, {"/x/QuorVel", "Quorvel"},
        {"/x/ÄRGER", "Ärger"},           {"/x/.hidden", ""},    {"relative/Name", "Name"},  {"", ""},
    };
    for (const auto& [path, title] : cases) EXPECT_EQ(ApplicationTitle(path), title) << path;
    EXPECT_EQ(AboutCaption("Quorvel"), "Quorvelのバージョン情報");
}
