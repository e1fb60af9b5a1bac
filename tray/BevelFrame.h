#pragma once

#include <vector>

namespace quorvel {

// The one-pixel raised frame drawn along the outermost pixels of a window:
// the left and top edges in the highlight colour, the right and bottom ones
// in the shadow colour. Drawn as the two open lines (left, bottom) -> (left,
// top) -> (right, top) and (right, top) -> (right, bottom) -> (left, bottom),
// each without its end point, so the bottom-left corner is light and the
// top-right corner dark.
enum class TBevelColour { Highlight, Shadow };

struct TBevelRun {
    int X, Y, Width, Height;  // a one-pixel wide or high run of pixels
    TBevelColour Colour;
    bool operator==(const TBevelRun&) const = default;
};

// The runs for a window of Width x Height pixels (at least 2 x 2), in
// drawing order.
std::vector<TBevelRun> BevelRuns(int Width, int Height);

}  // namespace quorvel
