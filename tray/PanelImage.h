#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tray/Picture.h"

namespace quorvel {

// A square picture for one panel or menu size, pixels 0xAARRGGBB (not
// premultiplied) row by row from the top left.
struct TPanelImage {
    int Side = 0;
    std::vector<std::uint32_t> Pixels;

    std::uint32_t At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y * Side + X)]; }
};

// The icon sizes that notification areas and menus ask for.
inline constexpr std::array<int, 6> PanelSizes{16, 22, 24, 32, 48, 64};

// The light edge laid around black pictures: white at 70 % opacity.
inline constexpr std::uint32_t OutlineArgb = 0xB3FFFFFFu;

// True when the picture has opaque pixels and every one of them is pure black
// (0xFF000000): the tray pictures 8 to 22, the animation frames, the cross.
bool IsBlackPicture(const TPicture16& Picture);

// Width in device pixels of the light edge at a whole scale factor: half a
// picture pixel, rounded up (1 at 16 to 32 pixels, 2 at 48 and 64).
int OutlineWidth(int Factor);

// Picture drawn into a Side x Side square: every picture pixel becomes a
// block of floor(Side / 16) device pixels on each side, centred (the spare
// pixels split evenly, the odd one to the right and bottom), never blended.
// A black picture also gets the light edge on the transparent pixels within
// OutlineWidth of a black one, so it stays visible on dark panels; the
// black pixels themselves stay exactly where the scaling puts them.
// Side below 16 raises quorvel::Exception "Panel size too small (Side)".
TPanelImage RenderForPanel(const TPicture16& Picture, int Side);

}  // namespace quorvel
