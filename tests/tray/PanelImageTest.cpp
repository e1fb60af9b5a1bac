#include <gtest/gtest.h>

#include "core/Exception.h"
#include "tests/support/MessageOf.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

using quorvel::ImageListPicture;
using quorvel::OutlineArgb;
using quorvel::RenderForPanel;
using quorvel::TPanelImage;
using quorvel::TPicture16;

namespace {

struct TScale {
    int Side, Factor, Offset, Outline;
};
const TScale Scales[] = {
    {16, 1, 0, 1}, {22, 1, 3, 1}, {24, 1, 4, 1}, {32, 2, 0, 1}, {48, 3, 0, 2}, {64, 4, 0, 2}, {40, 2, 4, 1},
};

// Chebyshev distance from device pixel (X, Y) to the nearest device pixel of
// an opaque picture pixel, scaled as S says; a large number when none.
int DistanceToInk(const TPicture16& Picture, const TScale& S, int X, int Y) {
    int best = 1 << 20;
    for (int py = 0; py < 16; ++py) {
        for (int px = 0; px < 16; ++px) {
            if (!Picture.Opaque(px, py)) continue;
            const int left = S.Offset + px * S.Factor, top = S.Offset + py * S.Factor;
            const int dx = X < left ? left - X : (X >= left + S.Factor ? X - (left + S.Factor - 1) : 0);
            const int dy = Y < top ? top - Y : (Y >= top + S.Factor ? Y - (top + S.Factor - 1) : 0);
            best = std::min(best, std::max(dx, dy));
        }
    }
    return best;
}

// Checks every device pixel of Picture rendered at S.Side.
void ExpectRendering(const TPicture16& Picture, bool Outlined, const TScale& S) {
    const TPanelImage image = RenderForPanel(Picture, S.Side);
    ASSERT_EQ(image.Side, S.Side);
    ASSERT_EQ(image.Pixels.size(), static_cast<std::size_t>(S.Side * S.Side));
    for (int y = 0; y < S.Side; ++y) {
        for (int x = 0; x < S.Side; ++x) {
            const int px = (x - S.Offset) / S.Factor, py = (y - S.Offset) / S.Factor;
            const bool inside = x >= S.Offset && y >= S.Offset && px < 16 && py < 16;
            std::uint32_t expected = 0;
            if (inside && Picture.Opaque(px, py)) {
                expected = Picture.At(px, py);
            } else if (Outlined && DistanceToInk(Picture, S, x, y) <= S.Outline) {
                expected = OutlineArgb;
            }
            ASSERT_EQ(image.At(x, y), expected) << "side " << S.Side << " at " << x << "," << y;
        }
    }
}

}  // namespace

TEST(PanelImage, WholePixelScalingCentredWithLightEdgeOnBlackPictures) {
    for (const TScale& s : Scales) {
        EXPECT_EQ(quorvel::OutlineWidth(s.Factor), s.Outline);
        for (int index : {2, 7, 8, 9, 13, 16, 22}) {
            SCOPED_TRACE("picture " + std::to_string(index));
            ExpectRendering(ImageListPicture(index), index >= 8, s);
        }
    }
}

TEST(PanelImage, OnlyPicturesInPureBlackAreBlack) {
    EXPECT_TRUE(quorvel::IsBlackPicture(ImageListPicture(1)));
    for (int index = 8; index <= 22; ++index) EXPECT_TRUE(quorvel::IsBlackPicture(ImageListPicture(index))) << index;
    for (int index : {0, 2, 3, 4, 5, 6, 7}) EXPECT_FALSE(quorvel::IsBlackPicture(ImageListPicture(index))) << index;
    TPicture16 nearlyBlack = ImageListPicture(13);
    nearlyBlack.Set(3, 10, 0xFF010000u);
    EXPECT_FALSE(quorvel::IsBlackPicture(nearlyBlack));
    EXPECT_FALSE(quorvel::IsBlackPicture(TPicture16{}));
}

TEST(PanelImage, SidesBelowThePictureAreRefused) {
    EXPECT_EQ(MessageOf<quorvel::Exception>([] { RenderForPanel(TPicture16{}, 15); }), "Panel size too small (15)");
    EXPECT_EQ(RenderForPanel(TPicture16{}, 16).Pixels, std::vector<std::uint32_t>(256, 0u));
}
