#include <gtest/gtest.h>

#include <algorithm>

#include "core/Exception.h"
#include "tests/support/MessageOf.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

using quorvel::ImageListPicture;
using quorvel::RenderForPanel;
using quorvel::TPicture16;

namespace {

struct TScale {
    int Side, Factor, Offset, Outline;
};

// Chebyshev distance from device pixel (X, Y) to the nearest block of an opaque picture pixel.
int DistanceToInk(const TPicture16& Picture, const TScale& S, int X, int Y) {
    int best = 1 << 20;
    for (int i = 0; i < 256; ++i) {
        if (!Picture.Opaque(i % 16, i / 16)) continue;
        const int left = S.Offset + (i % 16) * S.Factor, top = S.Offset + (i / 16) * S.Factor;
        const int dx = std::max({left - X, X - (left + S.Factor - 1), 0});
        const int dy = std::max({top - Y, Y - (top + S.Factor - 1), 0});
        best = std::min(best, std::max(dx, dy));
    }
    return best;
}

}  // namespace

TEST(PanelImage, WholePixelScalingCentredWithLightEdgeOnBlackPictures) {
    const TScale scales[] = {{16, 1, 0, 1}, {22, 1, 3, 1}, {24, 1, 4, 1}, {32, 2, 0, 1},
                             {48, 3, 0, 2}, {64, 4, 0, 2}, {40, 2, 4, 1}};
    for (const TScale& s : scales) {
        EXPECT_EQ(quorvel::OutlineWidth(s.Factor), s.Outline);
        for (int index : {1, 2, 7, 8, 9, 13, 16, 22}) {
            const TPicture16& picture = ImageListPicture(index);
            const auto image = RenderForPanel(picture, s.Side);
            ASSERT_EQ(image.Pixels.size(), static_cast<std::size_t>(s.Side * s.Side));
            for (int y = 0; y < s.Side; ++y) {
                for (int x = 0; x < s.Side; ++x) {
                    const int px = (x - s.Offset) / s.Factor, py = (y - s.Offset) / s.Factor;
                    std::uint32_t expected = 0;
                    if (x >= s.Offset && y >= s.Offset && px < 16 && py < 16 && picture.Opaque(px, py)) {
                        expected = picture.At(px, py);
                    } else if ((index == 1 || index >= 8) && DistanceToInk(picture, s, x, y) <= s.Outline) {
                        expected = quorvel::OutlineArgb;
                    }
                    ASSERT_EQ(image.At(x, y), expected) << index << " @" << s.Side << " " << x << "," << y;
                }
            }
        }
    }
}

TEST(PanelImage, OnlyPicturesInPureBlackGetTheEdgeAndTinySidesAreRefused) {
    TPicture16 nearlyBlack = ImageListPicture(13);
    nearlyBlack.Set(3, 10, 0xFF010000u);
    EXPECT_FALSE(quorvel::IsBlackPicture(nearlyBlack) || quorvel::IsBlackPicture(TPicture16{}));
    EXPECT_EQ(MessageOf<quorvel::Exception>([] { RenderForPanel(TPicture16{}, 15); }), "Panel size too small (15)");
}
