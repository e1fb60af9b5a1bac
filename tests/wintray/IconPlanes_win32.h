#pragma once

// An icon's planes as Windows holds them, read back for the tests.
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gui/win32/WinHandles_win32.h"

namespace quorvel {

// The pixels of a bitmap, 0xAARRGGBB row by row from the top left.
inline std::vector<std::uint32_t> ReadPixels(HBITMAP Bitmap, int Side) {
    BITMAPINFO info = TopDownBitmapInfo(Side);
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

inline TIconPlanes ReadIcon(HICON Icon) {
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

}  // namespace quorvel
