#include "tray/PanelImage.h"

#include <algorithm>
#include <string>

#include "core/Exception.h"

namespace quorvel {

namespace {

constexpr std::uint32_t Black = 0xFF000000u;

// Fills the square [X0, X1) x [Y0, Y1), clipped to the image.
void FillBlock(TPanelImage& Image, int X0, int Y0, int X1, int Y1, std::uint32_t Argb) {
    for (int y = std::max(Y0, 0); y < std::min(Y1, Image.Side); ++y) {
        for (int x = std::max(X0, 0); x < std::min(X1, Image.Side); ++x) {
            Image.Pixels[static_cast<std::size_t>(y * Image.Side + x)] = Argb;
        }
    }
}

}  // namespace

bool IsBlackPicture(const TPicture16& Picture) {
    bool any = false;
    for (std::uint32_t pixel : Picture.Pixels) {
        if ((pixel >> 24) == 0) continue;
        if (pixel != Black) return false;
        any = true;
    }
    return any;
}

int OutlineWidth(int Factor) {
    return std::max(1, (Factor + 1) / 2);
}

TPanelImage RenderForPanel(const TPicture16& Picture, int Side) {
    if (Side < TPicture16::Size) throw Exception("Panel size too small (" + std::to_string(Side) + ")");
    TPanelImage image;
    image.Side = Side;
    image.Pixels.assign(static_cast<std::size_t>(Side) * static_cast<std::size_t>(Side), 0u);
    const int factor = Side / TPicture16::Size;
    const int offset = (Side - factor * TPicture16::Size) / 2;

    if (IsBlackPicture(Picture)) {
        const int width = OutlineWidth(factor);
        for (int y = 0; y < TPicture16::Size; ++y) {
            for (int x = 0; x < TPicture16::Size; ++x) {
                if (!Picture.Opaque(x, y)) continue;
                const int left = offset + x * factor, top = offset + y * factor;
                FillBlock(image, left - width, top - width, left + factor + width, top + factor + width, OutlineArgb);
            }
        }
    }
    for (int y = 0; y < TPicture16::Size; ++y) {
        for (int x = 0; x < TPicture16::Size; ++x) {
            if (!Picture.Opaque(x, y)) continue;
            const int left = offset + x * factor, top = offset + y * factor;
            FillBlock(image, left, top, left + factor, top + factor, Picture.At(x, y));
        }
    }
    return image;
}

}  // namespace quorvel
