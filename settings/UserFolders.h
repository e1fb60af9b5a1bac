#pragma once

#include <filesystem>

namespace quorvel {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, otherwise ~/.config (the home folder from $HOME, else the password
// database, else "/").
std::filesystem::path UserConfigFolder();

}  // namespace quorvel
