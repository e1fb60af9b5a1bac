#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace quorvel {

class IEventLoop;

// The longest a sign-in waits for the browser.
inline constexpr std::chrono::milliseconds SignInTimeLimit{5 * 60 * 1000};

// Where the browser comes back after the user signed in: an HTTP listener
// on 127.0.0.1 only, on a port the system picks. It answers every request
// with a short page; one whose state is not the expected one is refused and
// the wait goes on. Everything it opened is closed when it is destroyed.
class TRedirectListener {
public:
    // Binds and listens; raises quorvel::Exception when it cannot.
    TRedirectListener(IEventLoop& Loop, std::string ExpectedState);
    ~TRedirectListener();
    TRedirectListener(const TRedirectListener&) = delete;
    TRedirectListener& operator=(const TRedirectListener&) = delete;

    std::int32_t Port() const;
    // "http://127.0.0.1:PORT/".
    std::string RedirectUri() const;
    // Waits in the event loop for the authorization code and returns it.
    // Raises quorvel::Exception when Limit passes, on Cancel, or when the
    // provider sent an error instead of a code.
    std::string WaitForCode(std::chrono::milliseconds Limit = SignInTimeLimit);
    // Ends a wait under way (from a handler the loop runs).
    void Cancel();

    struct Impl;

private:
    std::unique_ptr<Impl> FImpl;
};

}  // namespace quorvel
