#pragma once

#include <string_view>

#include "tray/Picture.h"

namespace quorvel {

// Reads one 16 x 16 picture from the text of an XPM file (the C array form
// that image editors write). Understood: one to four characters per pixel;
// colours "None", "#RGB", "#RRGGBB", "#RRRRGGGGBBBB", "black" and "white",
// taken from the "c" key (or "g", "g4", "m" when a colour has no "c");
// comments; \" and \\ inside the strings. "None" is transparent, every other
// colour opaque. Anything else raises quorvel::Exception "Bad picture data: ...".
TPicture16 DecodeXpmPicture(std::string_view Text);

}  // namespace quorvel
