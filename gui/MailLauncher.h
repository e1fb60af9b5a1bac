#pragma once

namespace quorvel {

// Starts the desktop's default mail program: the application registered for
// the mailto scheme, with no address, so it opens its main window rather than
// a new message. Nothing registered, or a program that fails to start: nothing
// happens and nothing is shown.
void ExecuteMailClient();

}  // namespace quorvel
