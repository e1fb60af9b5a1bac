#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "tests/support/MessageOf.h"
#include "tray/ImageList.h"

using quorvel::ImageListPicture;
using quorvel::TPicture16;

namespace {

// The aerial's top in rows 2 to 4 as {row, first column, last column}, for
// each of its four positions; frames 0 to 5 take positions 0, 1, 2, 3, 2, 1.
const std::vector<std::vector<std::array<int, 3>>> Tops = {
    {{2, 0, 6}, {3, 1, 1}, {3, 3, 3}, {3, 5, 5}, {4, 2, 2}, {4, 4, 4}},
    {{2, 1, 5}, {3, 2, 4}, {4, 3, 3}},
    {{2, 2, 4}, {3, 3, 3}, {4, 3, 3}},
    {{2, 3, 3}, {3, 3, 3}, {4, 3, 3}},
};
const int TopOfFrame[6] = {0, 1, 2, 3, 2, 1};
const int BarLeft[3] = {6, 10, 14}, BarTop[3] = {9, 6, 3};  // two columns wide, down to row 14

// The picture as rows of 'X' (opaque) and '.', drawn from the rules for a
// frame (-1: no aerial) and a number of bars.
std::string Expected(int Frame, int BarCount) {
    std::string rows = std::string(16, '.') + "\n";
    for (int i = 0; i < 4; ++i) rows += rows;
    const auto draw = [&](int Row, int First, int Last) {
        for (int x = First; x <= Last; ++x) rows[static_cast<std::size_t>(Row * 17 + x)] = 'X';
    };
    if (Frame >= 0) {
        for (int y = 5; y <= 14; ++y) draw(y, 3, 3);
        for (const auto& [row, first, last] : Tops[static_cast<std::size_t>(TopOfFrame[Frame])]) draw(row, first, last);
    }
    for (int bar = 0; bar < BarCount; ++bar)
        for (int y = BarTop[bar]; y <= 14; ++y) draw(y, BarLeft[bar], BarLeft[bar] + 1);
    return rows;
}

std::string Drawing(const TPicture16& Picture) {
    std::string rows;
    for (int i = 0; i < 256; ++i)
        rows += std::string(Picture.Opaque(i % 16, i / 16) ? "X" : ".") + (i % 16 == 15 ? "\n" : "");
    return rows;
}

}  // namespace

TEST(ImageList, SignalPicturesFollowTheGeometry) {
    for (int level = 1; level <= 4; ++level)
        EXPECT_EQ(Drawing(ImageListPicture(9 + level)), Expected(0, level - 1)) << level;
    for (int frame = 0; frame < 6; ++frame)
        EXPECT_EQ(Drawing(ImageListPicture(14 + frame)), Expected(frame, 0)) << frame;
    for (int bars = 1; bars <= 3; ++bars) EXPECT_EQ(Drawing(ImageListPicture(19 + bars)), Expected(-1, bars)) << bars;
}

TEST(ImageList, TrayPicturesArePureBlackAndMenuPicturesColouredAndDistinct) {
    std::set<std::vector<std::uint32_t>> distinct;
    for (int index = 0; index < quorvel::ImageCount; ++index) {
        const auto& pixels = ImageListPicture(index).Pixels;
        std::set<std::uint32_t> colours(pixels.begin(), pixels.end());
        colours.erase(0u);  // transparent is 0 throughout
        const bool black = colours == std::set<std::uint32_t>{0xFF000000u};
        EXPECT_TRUE(index < 8 ? index == 1 || colours.size() >= 3 : black) << index;
        EXPECT_GE(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p != 0; }), 8) << index;
        distinct.insert({pixels.begin(), pixels.end()});
    }
    EXPECT_EQ(distinct.size(), 20u);  // all differ but 10 = 14, 18 = 16 and 19 = 15
    for (int index : {-1, 23}) {
        EXPECT_EQ(MessageOf<quorvel::Exception>([&] { ImageListPicture(index); }),
                  "List index out of bounds (" + std::to_string(index) + ")");
    }
}
