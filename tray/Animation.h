#pragma once

#include <array>
#include <cstdint>

#include "tray/Picture.h"

namespace quorvel {

// 16 x 16 monochrome bitmap, one 16-bit word per row (bit X is column X).
// As an icon mask, a set bit means transparent.
struct TMaskBitmap16 {
    std::array<std::uint16_t, TPicture16::Size> Rows{};

    bool Bit(int X, int Y) const { return ((Rows[static_cast<std::size_t>(Y)] >> X) & 1u) != 0; }
    void SetBit(int X, int Y, bool Value);
    void Fill(bool Value);
};

// 16 x 16 colour bitmap, each pixel 0x00RRGGBB.
struct TColorBitmap16 {
    std::array<std::uint32_t, TPicture16::Size * TPicture16::Size> Pixels{};

    std::uint32_t At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y * TPicture16::Size + X)]; }
    void Set(int X, int Y, std::uint32_t Rgb) { Pixels[static_cast<std::size_t>(Y * TPicture16::Size + X)] = Rgb; }
    void Fill(std::uint32_t Rgb) { Pixels.fill(Rgb); }
};

// The two planes the checking animation composes each frame in; the main
// window keeps them for its whole life and reuses them at every tick.
struct TAnimationPlanes {
    TMaskBitmap16 MaskBitmap;
    TColorBitmap16 ColorBitmap;
};

constexpr std::int32_t AnimationFrameCount = 6;

// Draws Picture at (0, 0) onto the mask plane, then onto the colour plane:
// transparent pixels leave both untouched; an opaque pixel clears its mask
// bit and gives its colour to the colour plane.
void DrawPicture(TAnimationPlanes& Planes, const TPicture16& Picture);

// The icon of the two planes: where the mask bit is clear, the colour of the
// colour plane, fully opaque; elsewhere transparent.
TIcon IconFromPlanes(const TMaskBitmap16& MaskBitmap, const TColorBitmap16& ColorBitmap);

// One tick of the checking animation (AnimationTimerTimer): a frame of 6 or
// more, or below 0, starts again at 0; the planes are cleared (colour black,
// mask all transparent); picture 14 + AnimationFrame is drawn, and for a
// SignalLevel above 1 picture SignalLevel + 18 (the bars of the last check)
// over it; the icon is built from the planes and AnimationFrame goes up by 1.
// Returns the icon for the status icon. A SignalLevel above 4 raises the image
// list's "List index out of bounds".
TIcon AnimationTick(TAnimationPlanes& Planes, std::int32_t& AnimationFrame, std::int32_t SignalLevel);

}  // namespace quorvel
