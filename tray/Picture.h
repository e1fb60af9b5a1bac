#pragma once

#include <array>
#include <cstdint>

namespace quorvel {

// One 16 x 16 tray or menu picture as pixel data, row by row from the top
// left. Each pixel is 0xAARRGGBB (not premultiplied); alpha 0 is transparent.
struct TPicture16 {
    static constexpr int Size = 16;
    std::array<std::uint32_t, Size * Size> Pixels{};

    std::uint32_t At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y * Size + X)]; }
    void Set(int X, int Y, std::uint32_t Argb) { Pixels[static_cast<std::size_t>(Y * Size + X)] = Argb; }
    bool Opaque(int X, int Y) const { return (At(X, Y) >> 24) != 0; }
    bool operator==(const TPicture16&) const = default;
};

// The picture a tray icon carries: empty, or one picture. An empty icon
// takes the tray icon out of the notification area.
struct TIcon {
    bool HasImage = false;
    TPicture16 Image;

    static TIcon Of(const TPicture16& Picture) { return TIcon{true, Picture}; }
    bool Empty() const { return !HasImage; }
    bool operator==(const TIcon&) const = default;
};

}  // namespace quorvel
