// The browser's way back after a sign-in, on each platform's sockets and
// event loop.
#include <gtest/gtest.h>

#include <thread>

#include "core/Exception.h"
#include "net/RedirectListener.h"
#include "tests/net/TestLoop.h"
#include "tests/net/TestSockets.h"

namespace quorvel {
namespace {

// The status line the listener answers a GET of Target with; empty when
// the connection is refused or nothing comes.
std::string StatusOf(std::int32_t Port, const std::string& Target) {
    const int socket = test::sockets::Connect(Port);
    if (socket < 0) return {};
    test::sockets::SendText(socket, "GET " + Target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    std::string reply;
    char buffer[4096];
    long n = 0;
    while (test::sockets::WaitReadable(socket, 5000) &&
           (n = test::sockets::ReceiveSome(socket, buffer, sizeof buffer)) > 0) {
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    test::sockets::CloseSocket(socket);
    return reply.substr(0, reply.find("\r\n"));
}

TEST(RedirectListener, RefusesOtherRequestsTakesTheAnswerAndClosesAll) {
    const std::string refused = "HTTP/1.1 400 Bad Request", done = "HTTP/1.1 200 OK";
    struct Case {
        std::vector<std::string> Targets;  // asked in turn; the last one ends the wait
        std::vector<std::string> Statuses;
        std::string Outcome;  // the code, or the failure
    };
    for (const Case& c : std::vector<Case>{
             {{"/favicon.ico", "/?code=x&state=other", "/?code=abc&state=S1"}, {refused, refused, done}, "abc"},
             {{"/?error=access_denied&state=S1"}, {done}, "OAuth: the sign-in was refused: access_denied"}}) {
        test::CountingLoop loop;
        std::int32_t port = 0;
        std::vector<std::string> statuses;
        std::string outcome;
        {
            TRedirectListener listener(loop, "S1");
            port = listener.Port();
            EXPECT_EQ(listener.RedirectUri(), "http://127.0.0.1:" + std::to_string(port) + "/");
            std::thread browser([&] {
                for (const std::string& target : c.Targets) statuses.push_back(StatusOf(port, target));
            });
            try {
                outcome = listener.WaitForCode(std::chrono::seconds(10));
            } catch (const Exception& error) {
                outcome = error.what();
            }
            browser.join();
        }
        EXPECT_EQ(statuses, c.Statuses);
        EXPECT_EQ(outcome, c.Outcome);
        EXPECT_EQ(StatusOf(port, "/"), "") << "the port is still open";
    }
}

}  // namespace
}  // namespace quorvel
