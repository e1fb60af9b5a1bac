#pragma once

#include "tray/Picture.h"

namespace quorvel {

// The program's picture set: 23 pictures of 16 x 16, each with its own
// transparency, read from resources/pictures/NN.xpm (embedded at build time).
//   0 envelope beside lines of text      8 outline of a paper aeroplane (new mail)
//   1 black cross (exit)                 9 "圏外", signal level 0
//   2 floppy disk (save)                10..13 aerial with 0..3 bars, levels 1..4
//   3 two figures (accounts)            14..19 the aerial's turning top, frames 0..5
//   4 grey window (version info)        20..22 one, two, three bars alone
//   5 window with check marks (options)
//   6 plug in a wall socket (check mail)
//   7 envelope with a stamp (mail program)
// 8 to 22 are pure black on transparent; 10 to 22 share one geometry, so that
// 10 = 14, 11 = 14 with 20, 12 = 14 with 21 and 13 = 14 with 22.
constexpr int ImageCount = 23;

constexpr int NewMailPicture = 8;
constexpr int FirstLevelPicture = 9;
constexpr int FirstFramePicture = 14;
constexpr int FirstBarsPicture = 20;

// Picture Index; an index outside 0 .. ImageCount - 1 raises quorvel::Exception
// "List index out of bounds (Index)".
const TPicture16& ImageListPicture(int Index);

}  // namespace quorvel
