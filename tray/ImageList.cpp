#include "tray/ImageList.h"

#include <array>
#include <string>

#include "core/Exception.h"
#include "tray/ImageListSources.h"
#include "tray/XpmPicture.h"

namespace quorvel {

namespace {

std::array<TPicture16, ImageCount> DecodeAll() {
    std::array<TPicture16, ImageCount> pictures;
    for (int i = 0; i < ImageCount; ++i) {
        try {
            pictures[static_cast<std::size_t>(i)] = DecodeXpmPicture(ImageListSources[i]);
        } catch (const Exception& error) {
            throw Exception("Picture " + std::to_string(i) + ": " + error.Message());
        }
    }
    return pictures;
}

}  // namespace

const TPicture16& ImageListPicture(int Index) {
    if (Index < 0 || Index >= ImageCount) {
        throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
    }
    static const std::array<TPicture16, ImageCount> pictures = DecodeAll();
    return pictures[static_cast<std::size_t>(Index)];
}

}  // namespace quorvel
