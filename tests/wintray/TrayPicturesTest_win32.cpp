#include "gui/win32/TrayPictures_win32.h"

#include <gtest/gtest.h>

#include "tests/wintray/IconPlanes_win32.h"
#include "tray/PanelImage.h"

namespace quorvel {
namespace {

// Four colours in the corners and one half-transparent pixel: no black, so
// no light edge either.
TPicture16 Corners() {
    TPicture16 picture;
    picture.Set(0, 0, 0xFFFF0000u);
    picture.Set(15, 0, 0xFF00FF00u);
    picture.Set(0, 15, 0xFF0000FFu);
    picture.Set(15, 15, 0xFFFFFF00u);
    picture.Set(7, 8, 0x80123456u);
    return picture;
}

// How a picture is scaled, centred and edged is RenderForPanel's
// (tests/tray/PanelImageTest.cpp); the icon carries that rendering, alpha
// included, with a mask set exactly where it is transparent.
TEST(TrayPictures, IconsCarryThePanelRenderingAndItsMask) {
    TPicture16 aerial;  // black, so with a light edge
    aerial.Set(8, 8, 0xFF000000u);
    for (const TPicture16& picture : {Corners(), aerial}) {
        for (int side : {16, 20, 24, 32, 48}) {
            const TIconHandle icon = MakePictureIcon(picture, side);
            ASSERT_TRUE(icon);
            const TIconPlanes planes = ReadIcon(icon.get());
            ASSERT_EQ(planes.Side, side);
            const TPanelImage expected = RenderForPanel(picture, side);
            for (std::size_t i = 0; i < planes.Colour.size(); ++i) {
                ASSERT_EQ(planes.Colour[i], expected.Pixels[i]) << "side " << side << " at " << i;
                ASSERT_EQ(planes.Transparent[i], expected.Pixels[i] >> 24 == 0) << "side " << side << " at " << i;
            }
        }
    }
}

}  // namespace
}  // namespace quorvel
