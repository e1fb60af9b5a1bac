#include "gui/NewMailSound.h"

#include <canberra.h>

namespace quorvel {

namespace {

class CanberraSound final : public INewMailSound {
public:
    CanberraSound() = default;
    ~CanberraSound() override {
        if (Handle) ca_context_destroy(Handle);
    }
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    void Play() override {
        if (!Tried) {
            // Made at the first sound.
            Tried = true;
            if (ca_context_create(&Handle) != CA_SUCCESS) {
                Handle = nullptr;
            } else {
                ca_context_change_props(Handle, CA_PROP_APPLICATION_NAME, "Quorvel", CA_PROP_APPLICATION_ID, "quorvel",
                                        CA_PROP_APPLICATION_ICON_NAME, "quorvel", nullptr);
            }
        }
        if (!Handle) return;
        // The theme falls back through its inherited themes; no sound found
        // means silence. The call returns at once; playing goes on meanwhile.
        ca_context_play(Handle, 0, CA_PROP_EVENT_ID, "message-new-email", CA_PROP_EVENT_DESCRIPTION, "新着メール",
                        nullptr);
    }

private:
    ca_context* Handle = nullptr;
    bool Tried = false;
};

}  // namespace

std::unique_ptr<INewMailSound> MakeNewMailSound() {
    return std::make_unique<CanberraSound>();
}

}  // namespace quorvel
