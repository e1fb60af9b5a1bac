#pragma once

namespace quorvel {

// Gives the heap's free pages back to the system a few seconds from now,
// once what just ended (the start and its first check, a dialog) has freed
// its memory: the tray then idles for minutes or hours on what it keeps,
// not on what it once needed. Calls while one is pending add nothing.
void TrimHeapSoon();

}  // namespace quorvel
