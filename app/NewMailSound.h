#pragma once

namespace quorvel {

// The desktop's new-mail sound, played without waiting for it: libcanberra's
// "message-new-email" event of the sound theme; silent when the theme has none.
class CanberraSound {
public:
    CanberraSound();
    ~CanberraSound();
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    // Starts the sound and returns at once. Failures are silent.
    void Play();

private:
    struct Context;
    Context* Ctx = nullptr;  // made at the first sound
};

}  // namespace quorvel
