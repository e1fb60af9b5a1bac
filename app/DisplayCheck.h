#pragma once

#include <string>

namespace quorvel {

// Whether a graphical session can be reached: a Wayland socket, an X
// server's socket, or a platform chosen by QT_QPA_PLATFORM. On failure Why
// says what is missing, in one line.
bool DisplayReachable(std::string& Why);

}  // namespace quorvel
