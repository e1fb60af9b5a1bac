#include <gtest/gtest.h>

#include "tray/Animation.h"
#include "tray/ImageList.h"

using quorvel::AnimationTick;
using quorvel::ImageListPicture;
using quorvel::TAnimationPlanes;
using quorvel::TIcon;
using quorvel::TPicture16;

namespace {

// Top laid over Bottom, as the tray should show them together.
TPicture16 Over(TPicture16 Bottom, const TPicture16& Top) {
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (Top.Opaque(x, y)) Bottom.Set(x, y, Top.At(x, y));
    return Bottom;
}

}  // namespace

TEST(Animation, FramesTurnThroughPictures14To19FromWhereverTheFrameStood) {
    for (std::int32_t start : {0, 3, 5, 6, 7, -1}) {
        TAnimationPlanes planes;
        std::int32_t frame = start;
        const int first = start >= 0 && start < 6 ? start : 0;
        for (int tick = 0; tick < 14; ++tick) {
            const TIcon icon = AnimationTick(planes, frame, 0);
            const int expectedFrame = (first + tick) % 6;
            EXPECT_EQ(icon, TIcon::Of(ImageListPicture(14 + expectedFrame))) << "start " << start << " tick " << tick;
            EXPECT_EQ(frame, expectedFrame + 1);
        }
    }
}

TEST(Animation, BarsOfTheLastCheckRideOnTheAerial) {
    struct Case {
        std::int32_t Level;
        int Bars;  // picture of the bars, 0 for none
    };
    for (const Case& c : {Case{0, 0}, Case{1, 0}, Case{2, 20}, Case{3, 21}, Case{4, 22}}) {
        TAnimationPlanes planes;
        std::int32_t frame = 0;
        for (int f = 0; f < 6; ++f) {
            const TPicture16 aerial = ImageListPicture(14 + f);
            const TPicture16 expected = c.Bars == 0 ? aerial : Over(aerial, ImageListPicture(c.Bars));
            EXPECT_EQ(AnimationTick(planes, frame, c.Level), TIcon::Of(expected)) << "level " << c.Level;
        }
        // At frame 0 the composed icon is the level's own picture.
        frame = 0;
        if (c.Level >= 1) {
            EXPECT_EQ(AnimationTick(planes, frame, c.Level), TIcon::Of(ImageListPicture(9 + c.Level)));
        }
    }
}

TEST(Animation, PlanesCarryNothingOverFromTheTickBefore) {
    TAnimationPlanes planes;
    // Planes left fully opaque and white by someone else.
    planes.MaskBitmap.Fill(false);
    planes.ColorBitmap.Fill(0xFFFFFF);
    std::int32_t frame = 0;
    EXPECT_EQ(AnimationTick(planes, frame, 4), TIcon::Of(ImageListPicture(13)));
    // After three bars, a tick with no bars and another frame shows no trace of them.
    frame = 3;
    EXPECT_EQ(AnimationTick(planes, frame, 1), TIcon::Of(ImageListPicture(17)));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(planes.MaskBitmap.Bit(x, y), !ImageListPicture(17).Opaque(x, y)) << x << "," << y;
            EXPECT_EQ(planes.ColorBitmap.At(x, y), 0u) << x << "," << y;
        }
    }
}

TEST(Animation, IconIsOpaqueWhereEitherPictureIsOpaque) {
    TPicture16 red;
    red.Set(0, 0, 0xFFFF0000u);
    red.Set(15, 15, 0xFFFFFFFFu);  // opaque white stays opaque
    TAnimationPlanes planes;
    planes.MaskBitmap.Fill(true);
    quorvel::DrawPicture(planes, red);
    quorvel::DrawPicture(planes, ImageListPicture(20));
    const TIcon icon = quorvel::IconFromPlanes(planes.MaskBitmap, planes.ColorBitmap);
    EXPECT_EQ(icon, TIcon::Of(Over(red, ImageListPicture(20))));
}
