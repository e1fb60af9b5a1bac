// The token calls over WinHTTP, with the system's certificate checks and
// proxy settings.
//
// The exchange runs synchronously on a thread of its own, each step given
// what is left of the whole call's time; the caller waits for it at most
// until the end of that time. Then it closes the request, which ends the
// exchange on Windows, and returns the failure at once: Wine's WinHTTP
// neither ends a receive at its time-out nor when the request is closed,
// and a server that trickles bytes would hold every read time-out off. The
// exchange thread then ends on its own when the server lets it, and frees
// what it holds.
#include <windows.h>

#include <winhttp.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cwchar>
#include <memory>
#include <mutex>
#include <thread>

#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "net/HttpClient.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

struct HandleCloser {
    void operator()(void* Handle) const { ::WinHttpCloseHandle(Handle); }
};
using THandle = std::unique_ptr<void, HandleCloser>;

// The words libcurl uses on Linux for the same failure, so that a failed
// call reads the same on both; the system's text for any other error.
std::string WinHttpErrorText(DWORD Error) {
    switch (Error) {
        case ERROR_WINHTTP_INVALID_URL:
        case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return "URL using bad/illegal format or missing URL";
        case ERROR_WINHTTP_AUTODETECTION_FAILED:
        case ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR:
        case ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT:
        case ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT: return "Couldn't resolve proxy name";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "Couldn't resolve host name";
        case ERROR_WINHTTP_CANNOT_CONNECT: return "Couldn't connect to server";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW: return "Weird server reply";
        case ERROR_WINHTTP_CONNECTION_ERROR: return "Failure when receiving data from the peer";
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE: return "SSL peer certificate or SSH remote key was not OK";
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED: return "SSL connect error";
        default: break;
    }
    const std::string message = SystemErrorText(Error);
    return message.empty() ? "WinHTTP error " + std::to_string(Error) : message;
}

// One exchange: held by the caller and by the thread that runs it, freed
// by whichever lets go last.
struct TExchange {
    Clock::time_point Deadline;
    std::string Body;
    THandle Session;
    THandle Connection;
    HINTERNET Request = nullptr;

    std::mutex Lock;
    std::condition_variable Ended;
    bool Done = false;
    bool RequestClosed = true;
    DWORD Error = 0;
    bool TooLarge = false;
    THttpResponse Response;

    ~TExchange() { CloseRequest(); }

    void CloseRequest() {
        std::lock_guard<std::mutex> guard(Lock);
        if (!RequestClosed) ::WinHttpCloseHandle(Request);
        RequestClosed = true;
    }

    // Each step may take what is left of the whole call's time; false when
    // that time has passed.
    bool GiveRemainingTime() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
        if (left <= 0) {
            ::SetLastError(ERROR_WINHTTP_TIMEOUT);
            return false;
        }
        const int ms = left > INT_MAX ? INT_MAX : static_cast<int>(left);
        DWORD responseMs = static_cast<DWORD>(ms);
        return ::WinHttpSetTimeouts(Request, ms, ms, ms, ms) &&
               ::WinHttpSetOption(Request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs, sizeof responseMs);
    }

    // Sends the form and reads the answer; false with the last error set
    // when a step failed.
    bool Run() {
        static const wchar_t headers[] =
            L"Accept: application/json\r\nContent-Type: application/x-www-form-urlencoded\r\n";
        const auto size = static_cast<DWORD>(Body.size());
        if (!GiveRemainingTime() ||
            !::WinHttpSendRequest(Request, headers, static_cast<DWORD>(-1), Body.data(), size, size, 0) ||
            !GiveRemainingTime() || !::WinHttpReceiveResponse(Request, nullptr)) {
            return false;
        }
        DWORD status = 0;
        DWORD length = sizeof status;
        if (!::WinHttpQueryHeaders(Request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &status, &length, WINHTTP_NO_HEADER_INDEX)) {
            return false;
        }
        Response.Status = static_cast<long>(status);
        // An announced length over the bound fails at once.
        wchar_t announced[32] = {};
        length = sizeof announced;
        if (::WinHttpQueryHeaders(Request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, announced,
                                  &length, WINHTTP_NO_HEADER_INDEX) &&
            std::wcstoull(announced, nullptr, 10) > HttpAnswerLimit) {
            TooLarge = true;
            return true;
        }
        char buffer[16384];
        for (;;) {
            DWORD read = 0;
            if (!GiveRemainingTime() || !::WinHttpReadData(Request, buffer, sizeof buffer, &read)) return false;
            if (read == 0) return true;
            if (Response.Body.size() + read > HttpAnswerLimit) {
                TooLarge = true;
                return true;
            }
            Response.Body.append(buffer, read);
        }
    }
};

class TWinHttpClient final : public IHttpClient {
public:
    explicit TWinHttpClient(std::chrono::milliseconds Limit) : FLimit(Limit) {}

    THttpResponse PostForm(const std::string& Url, const std::string& Body) override {
        if (!IsAllowedTokenUrl(Url)) {
            throw EHttpError("OAuth: " + Url + " is refused: only https:// (or http:// on this computer)");
        }
        const auto exchange = std::make_shared<TExchange>();
        exchange->Deadline = Clock::now() + FLimit;
        exchange->Body = Body;
        Open(*exchange, Url);
        std::thread worker([exchange] {
            const DWORD error = exchange->Run() ? 0 : ::GetLastError();
            exchange->CloseRequest();
            std::lock_guard<std::mutex> guard(exchange->Lock);
            exchange->Error = error;
            exchange->Done = true;
            exchange->Ended.notify_all();
        });
        std::unique_lock<std::mutex> lock(exchange->Lock);
        const bool done = exchange->Ended.wait_until(lock, exchange->Deadline, [&] { return exchange->Done; });
        lock.unlock();
        if (!done) {
            exchange->CloseRequest();
            worker.detach();
            throw EHttpError(TimeText(Url));
        }
        worker.join();
        if (exchange->TooLarge) throw EHttpError("OAuth: the answer of " + Url + " is larger than 1 MB");
        if (exchange->Error == ERROR_WINHTTP_TIMEOUT || (exchange->Error != 0 && Clock::now() >= exchange->Deadline))
            throw EHttpError(TimeText(Url));
        if (exchange->Error != 0) Fail(Url, exchange->Error);
        return std::move(exchange->Response);
    }

private:
    std::string TimeText(const std::string& Url) const {
        return "OAuth: " + Url + " did not answer within " + std::to_string(FLimit.count() / 1000) + " s";
    }

    [[noreturn]] static void Fail(const std::string& Url, DWORD Error) {
        throw EHttpError("OAuth: " + Url + ": " + WinHttpErrorText(Error));
    }

    // Opens the session, the connection and the request of Url. The
    // system's proxy settings: found automatically where the system can
    // (Windows 8.1 and later), else the configured ones; a call to this
    // computer goes direct. Redirects are never followed.
    static void Open(TExchange& Exchange, const std::string& Url) {
        std::wstring url;
        try {
            url = WideFromUtf8(Url);
        } catch (const Exception&) {
            Fail(Url, ERROR_WINHTTP_INVALID_URL);
        }
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) Fail(Url, ::GetLastError());
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (path.empty()) path = L"/";

        // The address with its scheme made http is allowed only when its
        // host is a loopback one.
        const bool loopback = IsAllowedTokenUrl("http" + Url.substr(Url.find(':')));
        const DWORD access = loopback ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY;
        Exchange.Session.reset(::WinHttpOpen(L"Quorvel", access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (!Exchange.Session && !loopback) {
            Exchange.Session.reset(::WinHttpOpen(L"Quorvel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                                 WINHTTP_NO_PROXY_BYPASS, 0));
        }
        if (!Exchange.Session) Fail(Url, ::GetLastError());
        Exchange.Connection.reset(::WinHttpConnect(Exchange.Session.get(), host.c_str(), parts.nPort, 0));
        if (!Exchange.Connection) Fail(Url, ::GetLastError());
        const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
        Exchange.Request = ::WinHttpOpenRequest(Exchange.Connection.get(), L"POST", path.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure);
        if (Exchange.Request == nullptr) Fail(Url, ::GetLastError());
        Exchange.RequestClosed = false;
        DWORD features = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
        if (!::WinHttpSetOption(Exchange.Request, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features))
            Fail(Url, ::GetLastError());
    }

    std::chrono::milliseconds FLimit;
};

}  // namespace

std::unique_ptr<IHttpClient> MakeHttpClient(std::chrono::milliseconds Limit) {
    return std::make_unique<TWinHttpClient>(Limit);
}

}  // namespace quorvel
