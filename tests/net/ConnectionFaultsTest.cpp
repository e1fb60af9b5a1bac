// Connections that fail in ways the plain tests do not reach: names with
// addresses of both families, servers that hang up where a reply is due, and
// host names that hold control characters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HostLookup.h"
#include "net/Pop3Client.h"
#include "tests/net/NetTestSupport.h"
#include "tests/net/ScriptedPop3Server.h"
#include "tests/net/TestLoop.h"
#include "tests/support/MessageOf.h"

namespace quorvel {
namespace {

using test::Close;
using test::Hear;
using test::Say;
using test::ScriptedPop3Server;

TSocketAddress Numeric(const std::string& text) {
    TSocketAddress address;
    EXPECT_TRUE(ParseNumericHost(text, address)) << text;
    return address;
}

// Answers every look-up with the given addresses, in that order.
class FakeResolver {
public:
    explicit FakeResolver(std::vector<TSocketAddress> Addresses) {
        THostLookup::SetResolverForTesting([Addresses](const std::string&, std::vector<TSocketAddress>& out) {
            out = Addresses;
            return 0;
        });
    }
    ~FakeResolver() { THostLookup::SetResolverForTesting(nullptr); }
};

std::vector<test::ServerStep> CountOf(const std::string& count) {
    return {
        Say("+OK\r\n"), Hear(),        Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK " + count + " 100\r\n"),
        Hear(),         Say("+OK\r\n")};
}

struct ConnectionFaults : ::testing::Test {
    void SetUp() override {
        Client.SetTimeOut(5000);
        Client.UserID = "u";
        Client.Password = "p";
        Client.OnConnectionFailed = [this](TSocketTransport&) { ++Failures; };
    }
    test::CountingLoop Loop;
    TPop3Client Client{Loop};
    int Failures = 0;
};

TEST_F(ConnectionFaults, NameGivingIpv6FirstReachesAnIpv4OnlyServer) {
    ScriptedPop3Server server(CountOf("7"));
    FakeResolver resolver({Numeric("::1"), Numeric("127.0.0.1")});
    Client.Host = "dual-stack.quorvel.test";
    Client.Port = server.Port();
    Client.Connect();
    EXPECT_EQ(Client.MessageCount(), 7);
    Client.Disconnect();
    EXPECT_EQ(Failures, 0);
    EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT\r\nQUIT\r\n");
}

TEST_F(ConnectionFaults, WhenEveryAddressFailsTheLastFailureIsReported) {
    test::RefusingPort refusing;
    FakeResolver resolver({Numeric("::1"), Numeric("127.0.0.1")});
    Client.Host = "dual-stack.quorvel.test";
    Client.Port = refusing.Port;
    EXPECT_EQ(MessageOf<ESockError>([&] { Client.Connect(); }), "Connection Failed");
    EXPECT_EQ(Client.LastErrorNo(), SocketErrorNo::ConnectionRefused);
    EXPECT_EQ(Failures, 1);
}

TEST_F(ConnectionFaults, LocalhostWithIpv6FirstReachesAnIpv4OnlyServer) {
    std::vector<TSocketAddress> addresses;
    THostLookup::SystemResolve("localhost", addresses);
    const int ipv4 = Numeric("127.0.0.1").Family();
    const int ipv6 = Numeric("::1").Family();
    bool v4 = false;
    for (const TSocketAddress& address : addresses) v4 = v4 || address.Family() == ipv4;
    if (addresses.empty() || addresses.front().Family() != ipv6 || !v4) {
        GTEST_SKIP() << "localhost does not resolve to ::1 first and 127.0.0.1 after it here (/etc/hosts); "
                        "the injected resolver above covers the same path";
    }
    ScriptedPop3Server server(CountOf("3"));
    Client.Host = "localhost";
    Client.Port = server.Port();
    Client.Connect();
    EXPECT_EQ(Client.MessageCount(), 3);
    Client.Disconnect();
}

// A close where a reply is due is the connection's failure, whichever comes
// first: the close notification or the read that finds the end.
TEST_F(ConnectionFaults, HangUpIsNeverAWrongPassword) {
    const std::vector<std::vector<test::ServerStep>> scripts = {
        {Close()},                                                  // no greeting
        {Say("+OK\r\n"), Close()},                                  // half-close after the greeting
        {test::SayAndClose("+OK\r\n")},                             // greeting and close together
        {Say("+OK\r\n"), Hear(), Close()},                          // after USER
        {Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Close()},  // after PASS
    };
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        // Wine now and then never completes a connect that the server
        // closes as it accepts it (not even for poll()); the transport then
        // waits for its time-out.
        if (i == 0 && test::sockets::RunsUnderWine()) continue;
        for (int run = 0; run < 4; ++run) {
            ScriptedPop3Server server(scripts[i]);
            Client.Host = "127.0.0.1";
            Client.Port = server.Port();
            EXPECT_EQ(MessageOf<ESockError>([&] { Client.Connect(); }), "10057:Socket is not connected")
                << "script " << i << ", run " << run;
            EXPECT_FALSE(Client.Connected());
        }
    }
}

TEST_F(ConnectionFaults, ClosedQuitIsAConnectionFailureAfterTheCount) {
    ScriptedPop3Server server({Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(),
                               Say("+OK 7 100\r\n"), Hear(), Close()});
    Client.Host = "127.0.0.1";
    Client.Port = server.Port();
    Client.Connect();
    EXPECT_EQ(Client.MessageCount(), 7);
    EXPECT_EQ(MessageOf<ESockError>([&] { Client.Disconnect(); }), "10057:Socket is not connected");
    EXPECT_FALSE(Client.Connected());
}

TEST_F(ConnectionFaults, HostWithAControlCharacterIsNeverLookedUp) {
    ScriptedPop3Server server(CountOf("1"));
    bool asked = false;
    THostLookup::SetResolverForTesting([&asked](const std::string&, std::vector<TSocketAddress>&) {
        asked = true;
        return 11001;
    });
    for (const std::string& host : {std::string("127.0.0.1\0.evil.invalid", 23), std::string("127.0.0.1\n"),
                                    std::string("pop\x1b.example.jp"), std::string("pop\xc2\x9b.example.jp")}) {
        Client.Host = host;
        Client.Port = server.Port();
        EXPECT_EQ(MessageOf<ESockError>([&] { Client.Connect(); }), "Invalid character in host name");
    }
    THostLookup::SetResolverForTesting(nullptr);
    EXPECT_FALSE(asked);
    EXPECT_FALSE(server.Accepted());
    EXPECT_EQ(Failures, 0);
}

}  // namespace
}  // namespace quorvel
