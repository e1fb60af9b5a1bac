#include <windows.h>

#include <mmsystem.h>

#include "gui/NewMailSound.h"

namespace quorvel {

namespace {

// The system sound "MailBeep" as the user set it up for this program (or for
// all programs), played without waiting; silent when none is set up.
class TMailBeepSound final : public INewMailSound {
public:
    void Play() override { ::PlaySoundW(L"MailBeep", nullptr, SND_ASYNC | SND_NODEFAULT | SND_APPLICATION); }
};

}  // namespace

std::unique_ptr<INewMailSound> MakeNewMailSound() {
    return std::make_unique<TMailBeepSound>();
}

}  // namespace quorvel
