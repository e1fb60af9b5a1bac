// The Windows build has no sign-in yet: the listener says so.
#include "core/Exception.h"
#include "net/RedirectListener.h"

namespace quorvel {

struct TRedirectListener::Impl {};

TRedirectListener::TRedirectListener(IEventLoop&, std::string) {
    throw Exception("OAuth 2.0 sign-in is not available on this platform yet");
}

TRedirectListener::~TRedirectListener() = default;

std::int32_t TRedirectListener::Port() const {
    return 0;
}

std::string TRedirectListener::RedirectUri() const {
    return {};
}

std::string TRedirectListener::WaitForCode(std::chrono::milliseconds) {
    throw Exception("OAuth 2.0 sign-in is not available on this platform yet");
}

void TRedirectListener::Cancel() {}

}  // namespace quorvel
