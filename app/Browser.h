#pragma once

#include <string>

namespace quorvel {

// Opens Url in the user's browser and returns at once. Linux: the first
// command of $BROWSER whose program is found (with "%s" replaced by the
// address, else the address as its last argument), otherwise xdg-open, the
// desktop's default http handler. Windows: the shell's handler. Raises
// quorvel::Exception when nothing could be started: on Linux, when neither
// is found on $PATH.
void OpenInBrowser(const std::string& Url);

}  // namespace quorvel
