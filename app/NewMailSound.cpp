#include "app/NewMailSound.h"

#include <canberra.h>

namespace quorvel {

struct CanberraSound::Context {
    ca_context* Handle = nullptr;
};

CanberraSound::CanberraSound() = default;

CanberraSound::~CanberraSound() {
    if (Ctx && Ctx->Handle) ca_context_destroy(Ctx->Handle);
    delete Ctx;
}

void CanberraSound::Play() {
    if (!Ctx) {
        Ctx = new Context;
        if (ca_context_create(&Ctx->Handle) != CA_SUCCESS) {
            Ctx->Handle = nullptr;
        } else {
            ca_context_change_props(Ctx->Handle, CA_PROP_APPLICATION_NAME, "Quorvel", CA_PROP_APPLICATION_ID, "quorvel",
                                    CA_PROP_APPLICATION_ICON_NAME, "quorvel", nullptr);
        }
    }
    if (!Ctx->Handle) return;
    // The theme falls back through its inherited themes; no sound found
    // means silence. The call returns at once; playing goes on meanwhile.
    ca_context_play(Ctx->Handle, 0, CA_PROP_EVENT_ID, "message-new-email", CA_PROP_EVENT_DESCRIPTION, "新着メール",
                    nullptr);
}

}  // namespace quorvel
