#pragma once

#include <memory>

#include "app/MainWindowParts.h"

namespace quorvel {

// The platform's new-mail sound, started without waiting for it and silent
// when none is set up: on Linux libcanberra's "message-new-email" event of
// the sound theme; on Windows the system sound "MailBeep" (PlaySoundW with
// SND_ASYNC | SND_NODEFAULT | SND_APPLICATION). Failures are silent.
std::unique_ptr<INewMailSound> MakeNewMailSound();

}  // namespace quorvel
