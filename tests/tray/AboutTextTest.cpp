#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "tray/AboutText.h"
#include "tray/BevelFrame.h"
#include "tray/ProgramVersion.h"

using namespace quorvel;

TEST(AboutText, FileVersionIsWrittenWithoutBlanksBeforeReleaseAndBuild) {
    const struct {
        std::uint32_t Major, Minor, Release, Build;
        const char* Text;
    } cases[] = {
        {1, 0, 1, 42, "1.0Release 1(Build 42)"},
        {10, 20, 300, 4000, "10.20Release 300(Build 4000)"},
        {65535, 65535, 65535, 65535, "65535.65535Release 65535(Build 65535)"},
        {0, 0, 0, 0, "0.0Release 0(Build 0)"},
    };
    for (const auto& c : cases) {
        const auto info = FileVersionOf(c.Major, c.Minor, c.Release, c.Build);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(FormatFileVersion(*info), c.Text);
    }
}

TEST(AboutText, OnlyTheFileVersionCounts) {
    TFixedFileInfo info;
    info.FileVersionMS = 0x00010000;
    info.FileVersionLS = 0x0001002A;
    info.ProductVersionMS = 0x00090009;
    info.ProductVersionLS = 0x00090009;
    EXPECT_EQ(VersionLine(info), "Version 1.0Release 1(Build 42)");
}

TEST(AboutText, AVersionThatCannotBeShownGivesThePlaceholder) {
    EXPECT_EQ(FileVersionOf(65536, 0, 0, 0), std::nullopt);
    EXPECT_EQ(VersionLine(std::nullopt), "Version X.XXX Release XXX (Build XXXX)");
}

TEST(AboutText, ProgramVersionIsTheProjectVersion) {
    const auto info = ProgramFileVersion();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(VersionLine(info), QUORVEL_EXPECTED_VERSION_LINE);
}

TEST(AboutText, TitleIsTheFileNameCutAtTheFirstFullStop) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/quorvel", "quorvel"},   {"/opt/a.b.exe", "a"},        {"QUORVEL.EXE", "Quorvel"},
        {"/x/QuorVel", "Quorvel"},         {"/x/Ärger.bin", "Ärger"},     {"/x/ÄRGER", "Ärger"},
        {"/x/.hidden", ""},                {"relative/Name", "Name"},    {"", ""},
    };
    for (const auto& [path, title] : cases) EXPECT_EQ(ApplicationTitle(path), title) << path;
    EXPECT_EQ(AboutCaption("Quorvel"), "Quorvelのバージョン情報");
}

TEST(BevelFrame, LightLeftAndTopDarkRightAndBottomEachPixelOnce) {
    const int width = 320;
    const int height = 240;
    std::set<std::pair<int, int>> light;
    std::set<std::pair<int, int>> dark;
    for (const TBevelRun& run : BevelRuns(width, height)) {
        for (int x = run.X; x < run.X + run.Width; ++x) {
            for (int y = run.Y; y < run.Y + run.Height; ++y) {
                auto& set = run.Colour == TBevelColour::Highlight ? light : dark;
                EXPECT_TRUE(set.insert({x, y}).second) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(light.size() + dark.size(), static_cast<std::size_t>(2 * (width + height) - 4));
    EXPECT_TRUE(light.count({0, 239}));  // bottom-left keeps the highlight
    EXPECT_TRUE(light.count({0, 0}));
    EXPECT_TRUE(dark.count({319, 0}));   // top-right takes the shadow
    EXPECT_TRUE(dark.count({319, 239}));
    for (const auto& pixel : light) EXPECT_FALSE(dark.count(pixel));
    for (const auto& [x, y] : light) EXPECT_TRUE(x == 0 || y == 0);
    for (const auto& [x, y] : dark) EXPECT_TRUE(x == 319 || y == 239);
}
