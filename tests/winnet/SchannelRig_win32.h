#pragma once
// What the Schannel tests share: where the test servers are, a loopback
// connection that waits for what the session asks, and line reading and
// writing through the session.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "net/TlsSession.h"

namespace quorvel::schannel_test {

using Clock = std::chrono::steady_clock;
inline constexpr auto CaseLimit = std::chrono::seconds(20);

// The test servers by name (QUORVEL_TLS_PORTS), the SHA-256 of each test
// certificate (QUORVEL_TLS_SHA256) and a file of the test PKI (QUORVEL_TLS_PKI).
const std::map<std::string, std::string>& Ports();
std::string Sha256Of(const std::string& Name);
std::string PkiFile(const std::string& Name);

#define SKIP_WITHOUT_SERVER(Name)                                                                        \
    if (Ports().count(Name) == 0 || std::getenv("QUORVEL_TLS_PKI") == nullptr)                           \
    GTEST_SKIP() << "no test server \"" << (Name) << "\": run tests/wine/schannel_wine_tests on Linux, " \
                 << "which starts the servers and runs this program under Wine"

// A loopback connection to one of the test servers, non-blocking once made.
class Connection {
public:
    explicit Connection(const std::string& Server, int SendBuffer = 0) {
        Socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (SendBuffer > 0) {
            ::setsockopt(Socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&SendBuffer), sizeof SendBuffer);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(std::stoi(Ports().at(Server))));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Connected = ::connect(Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        u_long nonBlocking = 1;
        ::ioctlsocket(Socket, FIONBIO, &nonBlocking);
    }
    ~Connection() { ::closesocket(Socket); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int Fd() const { return static_cast<int>(Socket); }

    // Repeats Step while it asks to wait, waiting with select() for what it
    // asked; Failed (and a test failure) when the case runs out of time.
    IoStep Run(const std::function<IoStep()>& Step) {
        for (;;) {
            const IoStep step = Step();
            if (step != IoStep::WantRead && step != IoStep::WantWrite) return step;
            ++(step == IoStep::WantRead ? ReadWaits : WriteWaits);
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(Deadline - Clock::now());
            if (left.count() <= 0) {
                ADD_FAILURE() << "the session waited past the case's time limit";
                return IoStep::Failed;
            }
            fd_set sockets;
            FD_ZERO(&sockets);
            FD_SET(Socket, &sockets);
            timeval limit{static_cast<long>(left.count() / 1000000), static_cast<long>(left.count() % 1000000)};
            ::select(0, step == IoStep::WantRead ? &sockets : nullptr, step == IoStep::WantWrite ? &sockets : nullptr,
                     nullptr, &limit);
        }
    }

    // Whether the socket became readable within Milliseconds.
    bool WaitReadable(long Milliseconds) {
        fd_set sockets;
        FD_ZERO(&sockets);
        FD_SET(Socket, &sockets);
        timeval limit{Milliseconds / 1000, (Milliseconds % 1000) * 1000};
        return ::select(0, &sockets, nullptr, nullptr, &limit) == 1;
    }

    // Whether at least Bytes have arrived and wait unread, within the
    // case's time.
    bool WaitUnread(u_long Bytes) {
        for (;;) {
            u_long unread = 0;
            if (::ioctlsocket(Socket, FIONREAD, &unread) != 0) return false;
            if (unread >= Bytes) return true;
            if (Clock::now() >= Deadline) return false;
            ::Sleep(5);
        }
    }

    bool Connected = false;
    int ReadWaits = 0;
    int WriteWaits = 0;

private:
    SOCKET Socket = INVALID_SOCKET;
    Clock::time_point Deadline = Clock::now() + CaseLimit;
};

// One line (with its LF) read through the session, taking what the session
// holds before waiting; empty when the session ended first.
std::string ReadLine(Connection& Link, ITlsSession& Tls, std::string& Pending, IoStep* Last = nullptr);

// Writes all of Text; false when the session ended or failed first.
bool WriteAll(Connection& Link, ITlsSession& Tls, const std::string& Text);

void Figure(const std::string& What, double Value, const char* Unit);
double MillisecondsSince(Clock::time_point Start);

class SchannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override { ::WSACleanup(); }
};

}  // namespace quorvel::schannel_test
