#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "core/Exception.h"

namespace quorvel {

class IEventLoop;

// Bounds of every token call: a stalled or flooding endpoint fails the call.
inline constexpr std::chrono::milliseconds HttpTimeLimit{60000};
inline constexpr std::size_t HttpAnswerLimit = 1024 * 1024;

struct THttpResponse {
    long Status = 0;
    std::string Body;
};

// A call that did not bring an answer (refused address, time limit, answer
// too large, connection or certificate failure); the message says which.
class EHttpError : public Exception {
public:
    using Exception::Exception;
};

// The HTTPS client of the token calls: libcurl on Linux, WinHTTP on
// Windows; both with the system's certificate checks.
class IHttpClient {
public:
    virtual ~IHttpClient() = default;
    // POSTs Body (application/x-www-form-urlencoded) to Url and returns the
    // answer, whatever its status. Blocks, at most the client's time limit.
    // Raises EHttpError; never follows a redirect.
    virtual THttpResponse PostForm(const std::string& Url, const std::string& Body) = 0;
};

// Limit bounds the whole call; answers over HttpAnswerLimit bytes fail.
std::unique_ptr<IHttpClient> MakeHttpClient(std::chrono::milliseconds Limit = HttpTimeLimit);

// Whether a token call may go to Url: https://, or plain http:// only to a
// loopback address (127.0.0.0/8, [::1], localhost).
bool IsAllowedTokenUrl(const std::string& Url);

// Runs Work (a bounded blocking call) on a worker thread while Loop goes on
// handling events, and returns once it has ended; what Work raised is
// raised here. A wait of Loop's that raises does not stop the loop before
// Work has ended (the loop may raise once, then wait as before); what it
// raised comes first.
void RunBesideLoop(IEventLoop& Loop, const std::function<void()>& Work);

}  // namespace quorvel
