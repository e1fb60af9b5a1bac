// The Windows build has no token calls yet (WinHTTP is to come): every call
// says so instead of pretending.
#include "net/HttpClient.h"

namespace quorvel {

namespace {

class TUnavailableHttpClient final : public IHttpClient {
public:
    THttpResponse PostForm(const std::string&, const std::string&) override {
        throw EHttpError("OAuth 2.0 is not available on this platform yet");
    }
};

}  // namespace

std::unique_ptr<IHttpClient> MakeHttpClient(std::chrono::milliseconds) {
    return std::make_unique<TUnavailableHttpClient>();
}

}  // namespace quorvel
