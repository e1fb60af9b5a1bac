#include <gtest/gtest.h>

#include "tray/Animation.h"
#include "tray/ImageList.h"

using quorvel::AnimationTick;
using quorvel::ImageListPicture;
using quorvel::TAnimationPlanes;
using quorvel::TIcon;
using quorvel::TPicture16;

namespace {

TPicture16 Over(TPicture16 Bottom, const TPicture16& Top) {
    for (int i = 0; i < 256; ++i)
        if (Top.Opaque(i % 16, i / 16)) Bottom.Pixels[i] = Top.Pixels[i];
    return Bottom;
}

}  // namespace

TEST(Animation, FramesTurnThroughPictures14To19FromWhereverTheFrameStood) {
    for (std::int32_t start : {0, 3, 5, 6, 7, -1}) {
        TAnimationPlanes planes;
        std::int32_t frame = start;
        const int first = start >= 0 && start < 6 ? start : 0;
        for (int tick = 0; tick < 14; ++tick) {
            const int expected = (first + tick) % 6;
            EXPECT_EQ(AnimationTick(planes, frame, 0), TIcon::Of(ImageListPicture(14 + expected)))
                << start << " " << tick;
            EXPECT_EQ(frame, expected + 1);
        }
    }
}

TEST(Animation, BarsOfTheLastCheckRideOnTheAerial) {
    const int barsOfLevel[5] = {0, 0, 20, 21, 22};
    for (std::int32_t level = 0; level <= 4; ++level) {
        TAnimationPlanes planes;
        std::int32_t frame = 0;
        for (int f = 0; f < 6; ++f) {
            const TPicture16& aerial = ImageListPicture(14 + f);
            const int bars = barsOfLevel[level];
            EXPECT_EQ(AnimationTick(planes, frame, level),
                      TIcon::Of(bars ? Over(aerial, ImageListPicture(bars)) : aerial));
        }
        frame = 0;  // at frame 0 the icon is the level's own picture
        EXPECT_TRUE(level == 0 || AnimationTick(planes, frame, level) == TIcon::Of(ImageListPicture(9 + level)))
            << level;
    }
}

TEST(Animation, PlanesCarryNothingOverFromTheTickBefore) {
    TAnimationPlanes planes;
    planes.MaskBitmap.Fill(false);  // left opaque and white
    planes.ColorBitmap.Fill(0xFFFFFF);
    TPicture16 white;  // an opaque white pixel stays opaque
    white.Set(15, 15, 0xFFFFFFFFu);
    quorvel::DrawPicture(planes, white);
    EXPECT_FALSE(planes.MaskBitmap.Bit(15, 15));
    std::int32_t frame = 0;
    EXPECT_EQ(AnimationTick(planes, frame, 4), TIcon::Of(ImageListPicture(13)));
    frame = 3;
    EXPECT_EQ(AnimationTick(planes, frame, 1), TIcon::Of(ImageListPicture(17)));
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(planes.MaskBitmap.Bit(i % 16, i / 16), !ImageListPicture(17).Opaque(i % 16, i / 16)) << i;
        EXPECT_EQ(planes.ColorBitmap.Pixels[i], 0u) << i;
    }
}
