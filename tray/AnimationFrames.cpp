#include "tray/AnimationFrames.h"

#include <algorithm>

#include "tray/Animation.h"

namespace quorvel {

std::vector<TPicture16> AnimationFrames() {
    std::vector<TPicture16> frames;
    for (std::int32_t level = 0; level <= 4; ++level) {
        TAnimationPlanes planes;
        std::int32_t frame = 0;
        for (int tick = 0; tick < AnimationFrameCount; ++tick) {
            const TPicture16 picture = AnimationTick(planes, frame, level).Image;
            if (std::find(frames.begin(), frames.end(), picture) == frames.end()) frames.push_back(picture);
        }
    }
    return frames;
}

}  // namespace quorvel
