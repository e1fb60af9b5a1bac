#include "net/HttpClient.h"

#include <exception>
#include <mutex>
#include <thread>

#include "core/AsciiCase.h"
#include "net/EventLoop.h"
#include "net/LoopWake.h"

namespace quorvel {

bool IsAllowedTokenUrl(const std::string& Url) {
    const std::string url = AsciiLower(Url);
    if (url.rfind("https://", 0) == 0) return url.size() > 8;
    if (url.rfind("http://", 0) != 0) return false;
    // The authority ends at the first '/', '?' or '#'; user information
    // ("user@") before the host is refused outright.
    std::string authority = url.substr(7, url.find_first_of("/?#", 7) - 7);
    if (authority.find('@') != std::string::npos) return false;
    std::string host;
    if (!authority.empty() && authority[0] == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        host = authority.substr(1, close - 1);
        authority.erase(0, close + 1);
        if (!authority.empty() && authority[0] != ':') return false;
        return host == "::1";
    }
    host = authority.substr(0, authority.find(':'));
    if (host == "localhost") return true;
    // 127.a.b.c with four decimal parts.
    int parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = host.find('.', start);
        const std::string part = host.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(part) > 255) {
            return false;
        }
        if (parts == 0 && part != "127") return false;
        ++parts;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts == 4;
}

void RunBesideLoop(IEventLoop& Loop, const std::function<void()>& Work) {
    struct Shared {
        std::mutex Lock;
        bool Done = false;
        std::exception_ptr Failure;
    };
    const auto shared = std::make_shared<Shared>();
    bool done = false;
    const std::unique_ptr<ILoopWake> wake = MakeLoopWake(Loop, [&] {
        std::lock_guard<std::mutex> guard(shared->Lock);
        done = shared->Done;
    });
    std::thread worker([&Work, shared, sender = wake->Sender()] {
        std::exception_ptr failure;
        try {
            Work();
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> guard(shared->Lock);
            shared->Done = true;
            shared->Failure = failure;
        }
        sender->Wake();
    });
    // Work is bounded, so this wait is too; the thread is always joined.
    // The loop goes on handling events until then, even after one of its
    // waits raised (a sign-in cancelled meanwhile): what it raised is
    // raised once Work has ended.
    std::exception_ptr interrupted;
    while (!done) {
        try {
            Loop.WaitForEvents();
        } catch (...) {
            if (!interrupted) interrupted = std::current_exception();
        }
    }
    worker.join();
    if (interrupted) std::rethrow_exception(interrupted);
    if (shared->Failure) std::rethrow_exception(shared->Failure);
}

}  // namespace quorvel
