#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "tests/support/MessageOf.h"
#include "tray/ImageList.h"

using quorvel::ImageListPicture;
using quorvel::TPicture16;

namespace {

constexpr std::uint32_t Black = 0xFF000000u;

struct TSpan {  // columns First..Last of one row
    int Row, First, Last;
};

// The aerial's top in rows 2 to 4 for each of the four distinct positions.
const std::vector<std::vector<TSpan>> Tops = {
    {{2, 0, 6}, {3, 1, 1}, {3, 3, 3}, {3, 5, 5}, {4, 2, 2}, {4, 4, 4}},
    {{2, 1, 5}, {3, 2, 4}, {4, 3, 3}},
    {{2, 2, 4}, {3, 3, 3}, {4, 3, 3}},
    {{2, 3, 3}, {3, 3, 3}, {4, 3, 3}},
};
const int TopOfFrame[6] = {0, 1, 2, 3, 2, 1};

struct TBar {  // two columns from Left, from row Top down to row 14
    int Left, Top;
};
const TBar Bars[3] = {{6, 9}, {10, 6}, {14, 3}};

void Draw(TPicture16& Picture, int Row, int First, int Last) {
    for (int x = First; x <= Last; ++x) Picture.Set(x, Row, Black);
}

TPicture16 Expected(int Frame, bool Aerial, int BarCount) {
    TPicture16 picture;
    if (Aerial) {
        for (int y = 5; y <= 14; ++y) Draw(picture, y, 3, 3);
        for (const TSpan& span : Tops[static_cast<std::size_t>(TopOfFrame[Frame])]) Draw(picture, span.Row, span.First, span.Last);
    }
    for (int bar = 0; bar < BarCount; ++bar) {
        for (int y = Bars[bar].Top; y <= 14; ++y) Draw(picture, y, Bars[bar].Left, Bars[bar].Left + 1);
    }
    return picture;
}

std::string Describe(const TPicture16& Picture) {
    std::string text;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) text += Picture.Opaque(x, y) ? (Picture.At(x, y) == Black ? 'X' : '?') : '.';
        text += '\n';
    }
    return text;
}

}  // namespace

TEST(ImageList, SignalPicturesFollowTheGeometry) {
    struct Case {
        int Index, Frame;
        bool Aerial;
        int Bars;
    };
    const Case cases[] = {
        {10, 0, true, 0}, {11, 0, true, 1}, {12, 0, true, 2}, {13, 0, true, 3},  // levels 1 to 4
        {14, 0, true, 0}, {15, 1, true, 0}, {16, 2, true, 0}, {17, 3, true, 0},  // animation frames
        {18, 4, true, 0}, {19, 5, true, 0},
        {20, 0, false, 1}, {21, 0, false, 2}, {22, 0, false, 3},  // bars alone
    };
    for (const Case& c : cases) {
        const TPicture16 expected = Expected(c.Frame, c.Aerial, c.Bars);
        EXPECT_EQ(Describe(ImageListPicture(c.Index)), Describe(expected)) << "picture " << c.Index;
        EXPECT_EQ(ImageListPicture(c.Index), expected) << "picture " << c.Index;
    }
}

TEST(ImageList, TrayPicturesArePureBlackOnTransparent) {
    for (int index = 8; index <= 22; ++index) {
        int black = 0;
        for (std::uint32_t pixel : ImageListPicture(index).Pixels) {
            ASSERT_TRUE(pixel == 0 || pixel == Black) << "picture " << index << " pixel " << std::hex << pixel;
            black += pixel == Black;
        }
        EXPECT_GT(black, 8) << "picture " << index;
    }
}

TEST(ImageList, MenuPicturesAreDistinctAndColoured) {
    std::set<std::vector<std::uint32_t>> seen;
    for (int index = 0; index <= 7; ++index) {
        const TPicture16& picture = ImageListPicture(index);
        std::set<std::uint32_t> colours;
        int opaque = 0;
        for (std::uint32_t pixel : picture.Pixels) {
            if ((pixel >> 24) == 0) continue;
            EXPECT_EQ(pixel >> 24, 0xFFu) << "picture " << index;
            colours.insert(pixel);
            ++opaque;
        }
        EXPECT_GT(opaque, 40) << "picture " << index;
        // The black cross is the one menu picture in a single colour.
        EXPECT_GE(colours.size(), index == 1 ? 1u : 3u) << "picture " << index;
        seen.insert({picture.Pixels.begin(), picture.Pixels.end()});
    }
    EXPECT_EQ(seen.size(), 8u);
}

TEST(ImageList, IndexOutsideTheListIsRefused) {
    for (int index : {-1, 23, 100}) {
        EXPECT_EQ(MessageOf<quorvel::Exception>([&] { ImageListPicture(index); }),
                  "List index out of bounds (" + std::to_string(index) + ")");
    }
}
