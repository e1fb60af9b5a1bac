// The POP3 client against a real Dovecot server on loopback.
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/Exception.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
#include "net/SocketErrors.h"
#include "tests/pop3server/DovecotServer.h"

namespace quorvel {
namespace {

// Each single wait of the client; far above what a loopback server needs,
// so a hang fails the test instead of stalling it.
constexpr std::int32_t WaitLimitMs = 20000;

struct CheckOutcome {
    bool Succeeded = false;
    std::int32_t Count = -1;
    std::string Message;
};

// One account check the way the tray makes it: Connect, read the count,
// Disconnect. A failed Connect has already closed the connection.
CheckOutcome CheckWith(TPop3Client& Client, const std::string& Host, std::int32_t Port, const std::string& User,
                       const std::string& Password) {
    CheckOutcome Outcome;
    Client.Host = Host;
    Client.Port = Port;
    Client.UserID = User;
    Client.Password = Password;
    try {
        Client.Connect();
        Outcome.Count = Client.MessageCount();
        EXPECT_TRUE(Client.Connected());
        Client.Disconnect();
        Outcome.Succeeded = true;
    } catch (const Exception& Error) {
        Outcome.Message = Error.Message();
    }
    EXPECT_FALSE(Client.Connected()) << "the connection stayed open after the check";
    return Outcome;
}

// Waits (bounded) until Dovecot's log holds Text Times times; its processes
// write the log a moment after the client has gone.
bool LogShows(const DovecotServer& Server, const std::string& Text, std::size_t Times = 1) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        const std::string Log = Server.Log();
        std::size_t Found = 0;
        for (auto At = Log.find(Text); At != std::string::npos; At = Log.find(Text, At + 1)) {
            ++Found;
        }
        if (Found >= Times) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= Deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

class Pop3InteropTest : public ::testing::Test {
protected:
    TPollEventLoop Loop;
};

TEST_F(Pop3InteropTest, CountsEmptySmallAndLargeMailboxesExactly) {
    DovecotServer Server({{"empty", "pw-e", 0}, {"three", "pw-3", 3}, {"many", "pw-m", 300}});
    for (const auto& Box : Server.Mailboxes()) {
        TPop3Client Client(Loop);
        Client.SetTimeOut(WaitLimitMs);
        const auto Outcome = CheckWith(Client, Server.Host(), Server.Port(), Box.UserID, Box.Password);
        EXPECT_TRUE(Outcome.Succeeded) << Box.UserID << ": " << Outcome.Message << "\n" << Server.Log();
        EXPECT_EQ(Outcome.Count, Box.MessageCount) << Box.UserID;
    }
    // Every session ended with an accepted QUIT, and a check neither
    // retrieves nor deletes anything.
    EXPECT_TRUE(LogShows(Server, "Disconnected: Logged out top=0/0, retr=0/0, del=0/", 3)) << Server.Log();
}

TEST_F(Pop3InteropTest, AWrongPasswordFailsTheLogIn) {
    DovecotServer Server({{"alice", "right", 2}});
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    const auto Outcome = CheckWith(Client, Server.Host(), Server.Port(), "alice", "wrong");
    EXPECT_FALSE(Outcome.Succeeded);
    EXPECT_EQ(Outcome.Message, "Authentication failed") << Server.Log();
    // The refused session still ended with QUIT.
    EXPECT_TRUE(LogShows(Server, "Aborted login by logging out")) << Server.Log();
}

TEST_F(Pop3InteropTest, AnUnknownUserFailsTheLogIn) {
    DovecotServer Server({{"alice", "right", 2}});
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    const auto Outcome = CheckWith(Client, Server.Host(), Server.Port(), "nobody-here", "right");
    EXPECT_FALSE(Outcome.Succeeded);
    EXPECT_EQ(Outcome.Message, "Authentication failed") << Server.Log();
}

TEST_F(Pop3InteropTest, AfterLogInTheClientSendsOnlyStatAndQuit) {
    DovecotOptions Options;
    Options.RawLog = true;
    DovecotServer Server({{"u", "p", 2}}, Options);
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    for (int Run = 0; Run < 2; ++Run) {
        const auto Outcome = CheckWith(Client, Server.Host(), Server.Port(), "u", "p");
        EXPECT_TRUE(Outcome.Succeeded) << Outcome.Message << "\n" << Server.Log();
        EXPECT_EQ(Outcome.Count, 2);
    }
    // Dovecot's rawlog writes the sessions a moment after they end.
    const std::string Expected = "STAT\r\nQUIT\r\nSTAT\r\nQUIT\r\n";
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Server.RawInput("u") != Expected && std::chrono::steady_clock::now() < Deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Server.RawInput("u"), Expected) << Server.Log();
}

TEST_F(Pop3InteropTest, OneClientChecksSeveralAccountsInTurn) {
    // As the tray does: one client object, the accounts one after another,
    // a refused account in the middle that must not spoil the ones after it.
    // (Dovecot delays the log-ins after a refused one by a few seconds.)
    DovecotServer Server({{"one", "p1", 1}, {"two", "p2", 2}, {"empty", "pe", 0}, {"many", "pm", 250}});
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    struct Step {
        const char* User;
        const char* Password;
        bool Succeeds;
        std::int32_t Count;
    };
    const Step Steps[] = {
        {"one", "p1", true, 1},     {"many", "pm", true, 250}, {"empty", "pe", true, 0},
        {"two", "wrong", false, 0}, {"two", "p2", true, 2},    {"one", "p1", true, 1},
    };
    for (const auto& S : Steps) {
        const auto Outcome = CheckWith(Client, Server.Host(), Server.Port(), S.User, S.Password);
        EXPECT_EQ(Outcome.Succeeded, S.Succeeds) << S.User << ": " << Outcome.Message << "\n" << Server.Log();
        if (S.Succeeds) {
            EXPECT_EQ(Outcome.Count, S.Count) << S.User;
        } else {
            EXPECT_EQ(Outcome.Message, "Authentication failed") << S.User;
        }
    }
    EXPECT_TRUE(LogShows(Server, "Disconnected: Logged out", 5)) << Server.Log();
}

TEST_F(Pop3InteropTest, FreshClientPerCheckLeavesNothingBehind) {
    DovecotServer Server({{"u", "p", 4}});
    for (int Run = 0; Run < 20; ++Run) {
        TPop3Client Client(Loop);
        Client.SetTimeOut(WaitLimitMs);
        const auto Outcome = CheckWith(Client, Server.Host(), Server.Port(), "u", "p");
        ASSERT_TRUE(Outcome.Succeeded) << "run " << Run << ": " << Outcome.Message << "\n" << Server.Log();
        ASSERT_EQ(Outcome.Count, 4);
    }
    EXPECT_TRUE(LogShows(Server, "Disconnected: Logged out", 20)) << Server.Log();
}

bool LocalhostResolvesToLoopbackFirst() {
    addrinfo Hints{};
    Hints.ai_family = AF_UNSPEC;
    Hints.ai_socktype = SOCK_STREAM;
    addrinfo* List = nullptr;
    if (::getaddrinfo("localhost", "110", &Hints, &List) != 0 || List == nullptr) {
        return false;
    }
    bool Loopback4 = List->ai_family == AF_INET &&
                     reinterpret_cast<sockaddr_in*>(List->ai_addr)->sin_addr.s_addr == htonl(INADDR_LOOPBACK);
    ::freeaddrinfo(List);
    return Loopback4;
}

TEST_F(Pop3InteropTest, AHostNameIsLookedUp) {
    if (!LocalhostResolvesToLoopbackFirst()) {
        GTEST_SKIP() << "\"localhost\" does not resolve to 127.0.0.1 first on this machine";
    }
    DovecotServer Server({{"u", "p", 3}});
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    const auto Outcome = CheckWith(Client, "localhost", Server.Port(), "u", "p");
    EXPECT_TRUE(Outcome.Succeeded) << Outcome.Message << "\n" << Server.Log();
    EXPECT_EQ(Outcome.Count, 3);
}

bool Ipv6LoopbackUsable() {
    int Fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (Fd < 0) {
        return false;
    }
    sockaddr_in6 Address{};
    Address.sin6_family = AF_INET6;
    Address.sin6_addr = in6addr_loopback;
    const bool Usable = ::bind(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof(Address)) == 0;
    ::close(Fd);
    return Usable;
}

TEST_F(Pop3InteropTest, AnIpv6AddressIsReached) {
    if (!Ipv6LoopbackUsable()) {
        GTEST_SKIP() << "::1 is not available on this machine";
    }
    DovecotOptions Options;
    Options.AlsoIPv6 = true;
    DovecotServer Server({{"u", "p", 6}}, Options);
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    const auto Outcome = CheckWith(Client, "::1", Server.Port(), "u", "p");
    EXPECT_TRUE(Outcome.Succeeded) << Outcome.Message << "\n" << Server.Log();
    EXPECT_EQ(Outcome.Count, 6);
    EXPECT_TRUE(LogShows(Server, "rip=::1")) << Server.Log();
}

TEST_F(Pop3InteropTest, AStoppedServerFailsTheCheckAndTheClientRecovers) {
    DovecotServer Gone({{"u", "p", 1}});
    const std::int32_t GonePort = Gone.Port();
    Gone.Stop();
    DovecotServer Live({{"u", "p", 5}});
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    Client.Host = "127.0.0.1";
    Client.Port = GonePort;
    Client.UserID = "u";
    Client.Password = "p";
    try {
        Client.Connect();
        ADD_FAILURE() << "Connect to a closed port succeeded";
    } catch (const ESockError& Error) {
        EXPECT_EQ(Error.Message(), "Connection Failed");
    }
    EXPECT_FALSE(Client.Connected());
    // The refused attempt must not spoil the next connection of the same
    // client (as the tray's next account after an unreachable one).
    const auto Outcome = CheckWith(Client, Live.Host(), Live.Port(), "u", "p");
    EXPECT_TRUE(Outcome.Succeeded) << Outcome.Message << "\n" << Live.Log();
    EXPECT_EQ(Outcome.Count, 5);
}

TEST_F(Pop3InteropTest, AServerThatGoesAwayDuringTheSessionLeavesTheClientUsable) {
    DovecotServer Leaving({{"u", "p", 3}});
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    Client.Host = Leaving.Host();
    Client.Port = Leaving.Port();
    Client.UserID = "u";
    Client.Password = "p";
    Client.Connect();
    EXPECT_EQ(Client.MessageCount(), 3);
    Leaving.Stop();
    // The QUIT finds the connection gone (or the close was already seen and
    // nothing is sent); either way the wait ends and the connection is shut.
    try {
        Client.Disconnect();
    } catch (const Exception&) {}
    EXPECT_FALSE(Client.Connected());

    DovecotServer Next({{"u", "p", 8}});
    const auto Outcome = CheckWith(Client, Next.Host(), Next.Port(), "u", "p");
    EXPECT_TRUE(Outcome.Succeeded) << Outcome.Message << "\n" << Next.Log();
    EXPECT_EQ(Outcome.Count, 8);
}

}  // namespace
}  // namespace quorvel
