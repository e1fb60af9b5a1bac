#include "tray/ProgramVersion.h"

namespace quorvel {

std::optional<TFixedFileInfo> ProgramFileVersion() {
    return FileVersionOf(QUORVEL_VERSION_MAJOR, QUORVEL_VERSION_MINOR, QUORVEL_VERSION_PATCH, QUORVEL_VERSION_TWEAK);
}

}  // namespace quorvel
