// The token calls' bounds, against the scripted server speaking HTTP.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "net/CommandLineLoop.h"
#include "net/HttpClient.h"
#include "tests/net/ScriptedPop3Server.h"

namespace quorvel {
namespace {

using test::Hear;
using test::Pause;
using test::Say;

TEST(HttpClient, StalledOrFloodingEndpointsEndWithinTheBound) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
    // A server that sends its status line a byte at a time, never pausing
    // long enough for one read's time-out.
    std::vector<test::ServerStep> trickle{Hear()};
    for (const char c : std::string("HTTP/1.1 200 OK\r\n")) {
        trickle.push_back(Say(std::string(1, c)));
        trickle.push_back(Pause(250));
    }
    struct Case {
        std::vector<test::ServerStep> Script;
        std::string Failure;  // the start of the message; empty: an answer
    };
    for (const Case& c : std::vector<Case>{
             {{Hear(), Pause(4000)}, "did not answer within 1 s"},
             {trickle, "did not answer within 1 s"},
             {{Hear(), Say(head + "Content-Length: 10485760\r\n\r\n" + std::string(1 << 16, 'x')), Pause(4000)},
              "larger than 1 MB"},
             {{Hear(), Say(head + "\r\n" + std::string(3 << 20, 'x'))}, "larger than 1 MB"},
             {{Hear(), Say(head + "Content-Length: 2\r\n\r\n{}")}, ""},
             // Never followed: the answer is the redirect's own.
             {{Hear(), Say("HTTP/1.1 307 Temporary Redirect\r\nLocation: http://127.0.0.1:9/x\r\n"
                           "Content-Length: 2\r\n\r\n{}")},
              ""}}) {
        SCOPED_TRACE(testing::Message() << c.Script.size() << " steps, " << c.Failure);
        test::ScriptedPop3Server server(c.Script);
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/token";
        const auto start = std::chrono::steady_clock::now();
        std::string failure;
        try {
            EXPECT_EQ(MakeHttpClient(std::chrono::seconds(1))->PostForm(url, "a=b").Body, "{}");
        } catch (const EHttpError& error) {
            failure = error.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(failure.empty(), c.Failure.empty()) << failure;
        EXPECT_NE(failure.find(c.Failure), std::string::npos) << failure;
    }
}

TEST(HttpClient, PlainHttpOnlyToLoopback) {
    for (const char* url : {"https://login.example/token", "http://127.0.0.1:8080/token", "http://127.9.0.1/",
                            "http://[::1]:80/t", "HTTP://localhost/t"}) {
        EXPECT_TRUE(IsAllowedTokenUrl(url)) << url;
    }
    for (const char* url : {"http://example.com/token", "http://127.0.0.1.example.com/",
                            "http://127.0.0.1@example.com/", "http://10.0.0.1/", "ftp://127.0.0.1/", "http://[::2]/"}) {
        EXPECT_FALSE(IsAllowedTokenUrl(url)) << url;
    }
    // Refused before any connection is made.
    EXPECT_THROW(MakeHttpClient()->PostForm("http://192.0.2.1/token", ""), EHttpError);
}

// A wait that raises (a sign-in cancelled during a token call) does not
// stop the loop: its timers still run until the call has ended, and then
// what the wait raised comes out.
TEST(HttpClient, ALoopThatRaisesOnceKeepsRunningBesideTheCall) {
    class RaisingOnce final : public TForwardingLoop {
    public:
        using TForwardingLoop::TForwardingLoop;
        void WaitForEvents() override {
            if (!Raised) {
                Raised = true;
                throw Exception("cancelled");
            }
            FInner.WaitForEvents();
        }

    private:
        bool Raised = false;
    };
    const auto inner = MakeCommandLineLoop();
    std::atomic<bool> ticked{false};
    const auto timer = inner->CreateTimer([&] { ticked = true; });
    timer->Start(50);
    RaisingOnce loop(*inner);
    bool sawTick = false;
    try {
        RunBesideLoop(loop, [&] {
            for (int i = 0; i < 500 && !ticked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            sawTick = ticked;
        });
        ADD_FAILURE() << "the loop's exception was lost";
    } catch (const Exception& error) {
        EXPECT_STREQ(error.what(), "cancelled");
    }
    EXPECT_TRUE(sawTick);
}

}  // namespace
}  // namespace quorvel
