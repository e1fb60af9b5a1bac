#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>
#include <string>

#include "net/WinEventLoop_win32.h"

using quorvel::IEventTimer;
using quorvel::TSocketReadiness;
using quorvel::TWinEventLoop;

namespace {

// Winsock for the test program, and a connected loopback pair.
class WinEventLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override {
        for (SOCKET s : {Client, Server, Listener}) {
            if (s != INVALID_SOCKET) ::closesocket(s);
        }
        ::WSACleanup();
    }
    void Connect() {
        Listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(Listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(Listener, 1), 0);
        int length = sizeof address;
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length);
        Client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_EQ(::connect(Client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        Server = ::accept(Listener, nullptr, nullptr);
        ASSERT_NE(Server, INVALID_SOCKET);
    }
    // Waits until Done or 5 s have passed; true when Done.
    template <class F>
    bool WaitUntil(F Done) {
        bool late = false;
        auto guard = Loop.CreateTimer([&] { late = true; });
        guard->Start(5000);
        while (!Done() && !late) Loop.WaitForEvents();
        return Done();
    }

    TWinEventLoop Loop;
    SOCKET Listener = INVALID_SOCKET;
    SOCKET Client = INVALID_SOCKET;
    SOCKET Server = INVALID_SOCKET;
};

}  // namespace

TEST_F(WinEventLoopTest, TimerTicksUntilStopped) {
    int ticks = 0;
    auto timer = Loop.CreateTimer([&] { ++ticks; });
    timer->Start(20);
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 3; }));
    EXPECT_GE(::GetTickCount() - start, 40u);
    timer->Stop();
    const int stoppedAt = ticks;
    bool waited = false;
    auto after = Loop.CreateTimer([&] { waited = true; });
    after->Start(100);
    WaitUntil([&] { return waited; });
    EXPECT_EQ(ticks, stoppedAt);
}

TEST_F(WinEventLoopTest, TimerMayDestroyItselfInItsTick) {
    std::unique_ptr<IEventTimer> timer;
    int ticks = 0;
    timer = Loop.CreateTimer([&] {
        ++ticks;
        timer.reset();
    });
    timer->Start(10);
    ASSERT_TRUE(WaitUntil([&] { return timer == nullptr; }));
    EXPECT_EQ(ticks, 1);
}

TEST_F(WinEventLoopTest, LoopbackSocketBecomesReadableWithTheData) {
    Connect();
    std::string received;
    auto watch = Loop.WatchSocket(static_cast<int>(Server), [&](TSocketReadiness ready) {
        if (!ready.Readable) return;
        char buffer[64];
        const int n = ::recv(Server, buffer, sizeof buffer, 0);
        if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
    });
    watch->SetInterest(true, false);
    Loop.PumpOnce();
    EXPECT_TRUE(received.empty());
    ASSERT_EQ(::send(Client, "+OK hi\r\n", 8, 0), 8);
    ASSERT_TRUE(WaitUntil([&] { return received.size() >= 8; }));
    EXPECT_EQ(received, "+OK hi\r\n");
}

TEST_F(WinEventLoopTest, ConnectedSocketIsWritableAndClosedPeerReadable) {
    Connect();
    bool writable = false;
    bool readable = false;
    auto watch = Loop.WatchSocket(static_cast<int>(Client), [&](TSocketReadiness ready) {
        writable = writable || ready.Writable;
        readable = readable || ready.Readable;
    });
    watch->SetInterest(false, true);
    ASSERT_TRUE(WaitUntil([&] { return writable; }));
    watch->SetInterest(true, false);
    ::closesocket(Server);
    Server = INVALID_SOCKET;
    EXPECT_TRUE(WaitUntil([&] { return readable; }));
}

TEST_F(WinEventLoopTest, HandlerErrorIsReportedAndTheLoopGoesOn) {
    std::string reported;
    TWinEventLoop loop([&](const std::string& message) { reported = message; });
    int ticks = 0;
    auto timer = loop.CreateTimer([&] {
        if (++ticks == 1) throw std::runtime_error("tick failed");
    });
    timer->Start(10);
    auto guard = loop.CreateTimer([&] { ticks = 100; });
    guard->Start(5000);
    while (ticks < 2) loop.WaitForEvents();
    EXPECT_EQ(reported, "tick failed");
}
