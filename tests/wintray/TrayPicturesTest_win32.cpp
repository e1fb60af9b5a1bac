#include "gui/win32/TrayPictures_win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

struct TScaleCase {
    int Side;
    int Factor;  // device pixels per picture pixel
    int Offset;  // empty pixels before the picture, left and top
};

TEST(TrayPictures, IconsScaleByWholePixelsAndStayCentred) {
    const TScaleCase cases[] = {{16, 1, 0}, {20, 1, 2}, {24, 1, 4}, {32, 2, 0}, {48, 3, 0}};
    const TPicture16 picture = Corners();
    for (const TScaleCase& c : cases) {
        const TIconHandle icon = MakePictureIcon(picture, c.Side);
        ASSERT_TRUE(icon);
        const TIconPlanes planes = ReadIcon(icon.get());
        ASSERT_EQ(planes.Side, c.Side);
        for (int y = 0; y < c.Side; ++y) {
            for (int x = 0; x < c.Side; ++x) {
                const int px = x - c.Offset, py = y - c.Offset;
                const bool inside = px >= 0 && py >= 0 && px < 16 * c.Factor && py < 16 * c.Factor;
                const std::uint32_t expected = inside ? picture.At(px / c.Factor, py / c.Factor) : 0u;
                const auto at = static_cast<std::size_t>(y * c.Side + x);
                ASSERT_EQ(planes.Colour[at], expected) << "side " << c.Side << " at " << x << "," << y;
                ASSERT_EQ(planes.Transparent[at], expected == 0u) << "side " << c.Side << " at " << x << "," << y;
            }
        }
    }
}

// Black pictures get a light edge, so the taskbar's colour never swallows
// them; the black itself stays where the scaling puts it.
TEST(TrayPictures, BlackPicturesKeepTheirLightEdge) {
    TPicture16 aerial;
    aerial.Set(8, 8, 0xFF000000u);
    const TIconPlanes planes = ReadIcon(MakePictureIcon(aerial, 32).get());
    const auto at = [&](int X, int Y) { return planes.Colour[static_cast<std::size_t>(Y * 32 + X)]; };
    EXPECT_EQ(at(16, 16), 0xFF000000u);
    EXPECT_EQ(at(17, 17), 0xFF000000u);
    EXPECT_EQ(at(15, 16), 0xB3FFFFFFu);
    EXPECT_EQ(at(18, 17), 0xB3FFFFFFu);
    EXPECT_EQ(at(14, 16), 0u);
    EXPECT_FALSE(planes.Transparent[static_cast<std::size_t>(16 * 32 + 15)]);
}

}  // namespace
}  // namespace quorvel
