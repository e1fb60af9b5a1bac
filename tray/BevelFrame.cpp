#include "tray/BevelFrame.h"

namespace quorvel {

std::vector<TBevelRun> BevelRuns(int Width, int Height) {
    if (Width < 2 || Height < 2) return {};
    const int right = Width - 1;
    const int bottom = Height - 1;
    return {
        {0, 1, 1, bottom, TBevelColour::Highlight},   // (0, bottom) up to (0, 1)
        {0, 0, right, 1, TBevelColour::Highlight},    // (0, 0) across to (right - 1, 0)
        {right, 0, 1, bottom, TBevelColour::Shadow},  // (right, 0) down to (right, bottom - 1)
        {1, bottom, right, 1, TBevelColour::Shadow},  // (right, bottom) back to (1, bottom)
    };
}

}  // namespace quorvel
