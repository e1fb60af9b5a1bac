#include "tray/Animation.h"

#include "tray/ImageList.h"

namespace quorvel {

void TMaskBitmap16::SetBit(int X, int Y, bool Value) {
    std::uint16_t& row = Rows[static_cast<std::size_t>(Y)];
    const auto bit = static_cast<std::uint16_t>(1u << X);
    row = static_cast<std::uint16_t>(Value ? row | bit : row & ~bit);
}

void TMaskBitmap16::Fill(bool Value) {
    Rows.fill(Value ? 0xFFFFu : 0u);
}

void DrawPicture(TAnimationPlanes& Planes, const TPicture16& Picture) {
    for (int y = 0; y < TPicture16::Size; ++y) {
        for (int x = 0; x < TPicture16::Size; ++x) {
            if (Picture.Opaque(x, y)) Planes.MaskBitmap.SetBit(x, y, false);
        }
    }
    for (int y = 0; y < TPicture16::Size; ++y) {
        for (int x = 0; x < TPicture16::Size; ++x) {
            if (Picture.Opaque(x, y)) Planes.ColorBitmap.Set(x, y, Picture.At(x, y) & 0x00FFFFFFu);
        }
    }
}

TIcon IconFromPlanes(const TMaskBitmap16& MaskBitmap, const TColorBitmap16& ColorBitmap) {
    TPicture16 picture;
    for (int y = 0; y < TPicture16::Size; ++y) {
        for (int x = 0; x < TPicture16::Size; ++x) {
            if (!MaskBitmap.Bit(x, y)) picture.Set(x, y, 0xFF000000u | ColorBitmap.At(x, y));
        }
    }
    return TIcon::Of(picture);
}

TIcon AnimationTick(TAnimationPlanes& Planes, std::int32_t& AnimationFrame, std::int32_t SignalLevel) {
    if (AnimationFrame >= AnimationFrameCount || AnimationFrame < 0) AnimationFrame = 0;
    Planes.ColorBitmap.Fill(0);
    Planes.MaskBitmap.Fill(true);
    DrawPicture(Planes, ImageListPicture(FirstFramePicture + AnimationFrame));
    if (SignalLevel > 1) DrawPicture(Planes, ImageListPicture(SignalLevel + FirstBarsPicture - 2));
    TIcon icon = IconFromPlanes(Planes.MaskBitmap, Planes.ColorBitmap);
    ++AnimationFrame;
    return icon;
}

}  // namespace quorvel
