#include "gui/win32/TrayPictures_win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tray/PanelImage.h"

namespace quorvel {
namespace {

// The pixels of a bitmap, 0xAARRGGBB row by row from the top left.
std::vector<std::uint32_t> ReadPixels(HBITMAP Bitmap, int Side) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = Side;
    info.bmiHeader.biHeight = -Side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(Side * Side));
    HDC screen = ::GetDC(nullptr);
    const int rows = ::GetDIBits(screen, Bitmap, 0, static_cast<UINT>(Side), pixels.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(rows, Side);
    return pixels;
}

struct TIconPlanes {
    int Side = 0;
    std::vector<std::uint32_t> Colour;
    std::vector<bool> Transparent;  // the mask's set bits
};

TIconPlanes ReadIcon(HICON Icon) {
    ICONINFO info{};
    EXPECT_TRUE(::GetIconInfo(Icon, &info));
    const TBitmapHandle colour(info.hbmColor);
    const TBitmapHandle mask(info.hbmMask);
    BITMAP shape{};
    ::GetObjectW(colour.get(), sizeof shape, &shape);
    TIconPlanes planes;
    planes.Side = shape.bmWidth;
    EXPECT_TRUE(info.fIcon);
    EXPECT_EQ(shape.bmHeight, shape.bmWidth);
    planes.Colour = ReadPixels(colour.get(), planes.Side);
    // A monochrome mask reads back black (0) where opaque, white where not.
    for (std::uint32_t pixel : ReadPixels(mask.get(), planes.Side))
        planes.Transparent.push_back((pixel & 0xFFFFFF) != 0);
    return planes;
}

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
