#include "gui/win32/TrayPictures_win32.h"

#include <cstring>
#include <vector>

#include "core/Exception.h"
#include "tray/PanelImage.h"

namespace quorvel {

namespace {

// A top-down 32-bit DIB section with the image's pixels. 0xAARRGGBB in
// memory is the B, G, R, A byte order of the section.
TBitmapHandle MakeColourPlane(const std::vector<std::uint32_t>& Pixels, int Side) {
    BITMAPINFO info = TopDownBitmapInfo(Side);
    void* bits = nullptr;
    TBitmapHandle bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) throw Exception("a picture's bitmap cannot be made");
    std::memcpy(bits, Pixels.data(), Pixels.size() * sizeof(std::uint32_t));
    ::GdiFlush();
    return bitmap;
}

// One bit per pixel, rows padded to 16 bits, the leftmost pixel in the
// highest bit; a set bit is transparent.
TBitmapHandle MakeMaskPlane(const TPanelImage& Image) {
    const int rowBytes = (Image.Side + 15) / 16 * 2;
    std::vector<BYTE> bits(static_cast<std::size_t>(rowBytes * Image.Side), 0);
    for (int y = 0; y < Image.Side; ++y) {
        for (int x = 0; x < Image.Side; ++x) {
            if ((Image.At(x, y) >> 24) != 0) continue;
            bits[static_cast<std::size_t>(y * rowBytes + x / 8)] |= static_cast<BYTE>(0x80u >> (x % 8));
        }
    }
    TBitmapHandle mask(::CreateBitmap(Image.Side, Image.Side, 1, 1, bits.data()));
    if (!mask) throw Exception("a picture's mask cannot be made");
    return mask;
}

}  // namespace

int SmallIconSide() {
    const int side = ::GetSystemMetrics(SM_CXSMICON);
    return side >= TPicture16::Size ? side : TPicture16::Size;
}

TIconHandle MakePictureIcon(const TPicture16& Picture, int Side) {
    const TPanelImage image = RenderForPanel(Picture, Side);
    const TBitmapHandle colour = MakeColourPlane(image.Pixels, Side);
    const TBitmapHandle mask = MakeMaskPlane(image);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask.get();
    info.hbmColor = colour.get();
    // The icon takes copies of both planes; ours go with their holders.
    TIconHandle icon(::CreateIconIndirect(&info));
    if (!icon) throw Exception("a tray icon cannot be made");
    return icon;
}

}  // namespace quorvel
