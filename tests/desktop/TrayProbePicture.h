#pragma once

#include "tray/Picture.h"

namespace quorvel {

inline constexpr const char* ProbeHint = "Quorvel - 監視中";

// The probe's picture: a red frame around blue, a green pixel at (3, 3) to
// tell the orientation, and a transparent pixel at (0, 0).
inline TPicture16 ProbePicture() {
    TPicture16 picture;
    for (int y = 0; y < TPicture16::Size; ++y)
        for (int x = 0; x < TPicture16::Size; ++x) {
            const bool frame = x == 0 || y == 0 || x == TPicture16::Size - 1 || y == TPicture16::Size - 1;
            picture.Set(x, y, frame ? 0xFFFF0000u : 0xFF0000FFu);
        }
    picture.Set(3, 3, 0xFF00FF00u);
    picture.Set(0, 0, 0x00000000u);
    return picture;
}

}  // namespace quorvel
