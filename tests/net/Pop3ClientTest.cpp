#include <gtest/gtest.h>

#include <functional>
#include <memory>
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
using test::Reset;
using test::Say;
using test::ScriptedPop3Server;

constexpr std::int32_t TestTimeOut = 5000;

// What a call raised: its exception class and its message.
struct Raised {
    std::string Class;
    std::string Message;
};

Raised RaisedBy(const std::function<void()>& action) {
    try {
        action();
    } catch (const EAbortError& error) {
        return {"EAbortError", error.what()};
    } catch (const ESockError& error) {
        return {"ESockError", error.what()};
    } catch (const EXOAuth2Refused& error) {
        return {"EXOAuth2Refused", error.what()};
    } catch (const Exception& error) {
        return {"Exception", error.what()};
    } catch (const std::exception& error) {
        return {"other", error.what()};
    }
    return {"none", ""};
}

struct Pop3Test : ::testing::Test {
    void Use(ScriptedPop3Server& server) {
        Client.Host = "127.0.0.1";
        Client.Port = server.Port();
    }
    void SetUp() override {
        Client.SetTimeOut(TestTimeOut);
        Client.UserID = "u";
        Client.Password = "p";
        Client.OnConnect = [this](TPop3Client&) { ++Connects; };
        Client.OnDisconnect = [this](TSocketTransport&) { ++Disconnects; };
        Client.OnConnectionFailed = [this](TSocketTransport&) { ++Failures; };
    }

    test::CountingLoop Loop;
    TPop3Client Client{Loop};
    int Connects = 0;
    int Disconnects = 0;
    int Failures = 0;
};

std::vector<test::ServerStep> LogInAndStat(const std::string& statReply) {
    return {Say("+OK POP3 ready\r\n"), Hear(), Say("+OK\r\n"), Hear(),
            Say("+OK logged in\r\n"),  Hear(), Say(statReply), Hear(),
            Say("+OK bye\r\n")};
}

TEST_F(Pop3Test, CheckSendsExactlyUserPassStatQuit) {
    ScriptedPop3Server server(LogInAndStat("+OK 3 1200\r\n"));
    EXPECT_EQ(Client.Port, 110);
    EXPECT_EQ(Client.MessageCount(), 0);
    Use(server);
    Client.Connect();
    EXPECT_TRUE(Client.Connected());
    EXPECT_EQ(Client.MessageCount(), 3);
    EXPECT_EQ(Connects, 1);
    Client.Disconnect();
    EXPECT_FALSE(Client.Connected());
    EXPECT_EQ(Disconnects, 1);
    EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT\r\nQUIT\r\n");
    EXPECT_EQ(server.Problems(), "");
}

TEST_F(Pop3Test, XOAuth2SendsTheTokenOnALineOfItsOwn) {
    const std::string first = "dXNlcj11AWF1dGg9QmVhcmVyIHRvawEB", second = "dXNlcj11AWF1dGg9QmVhcmVyIG5ldwEB";
    const std::string refused = "-ERR [AUTH] Authentication failed.\r\n";
    struct Case {
        std::vector<test::ServerStep> Script;
        bool Renew;  // the handler puts "new" in AccessToken
        std::string Sent;
        std::string Raised;
    };
    const auto greetAuth = [](std::string go) { return std::vector{Say("+OK ready\r\n"), Hear(), Say(go), Hear()}; };
    const auto then = [](std::vector<test::ServerStep> a, std::vector<test::ServerStep> b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<test::ServerStep> statQuit = {Say("+OK Logged in.\r\n"), Hear(), Say("+OK 2 9\r\n"), Hear(),
                                                    Say("+OK\r\n")};
    for (const Case& c : std::vector<Case>{
             {then(greetAuth("+\r\n"), statQuit), false, "AUTH XOAUTH2\r\n" + first + "\r\nSTAT\r\nQUIT\r\n", "none "},
             {then(greetAuth("+ \r\n"),
                   {Say("+ eyJzdGF0dXMiOiI0MDEifQ==\r\n"), Hear(), Say(refused), Hear(), Say("+OK\r\n")}),
              false, "AUTH XOAUTH2\r\n" + first + "\r\n\r\nQUIT\r\n",
              "EXOAuth2Refused -ERR [AUTH] Authentication failed.\r\n"},
             {then(then(greetAuth("+\r\n"), {Say(refused), Hear(), Say("+\r\n"), Hear()}), statQuit), true,
              "AUTH XOAUTH2\r\n" + first + "\r\nAUTH XOAUTH2\r\n" + second + "\r\nSTAT\r\nQUIT\r\n", "none "},
             {then(greetAuth("-ERR Unsupported authentication mechanism.\r\n"), {Say("+OK\r\n")}), true,
              "AUTH XOAUTH2\r\nQUIT\r\n", "Exception -ERR Unsupported authentication mechanism.\r\n"}}) {
        ScriptedPop3Server server(c.Script);
        Use(server);
        Client.AccessToken = "tok";
        Client.OnAuthenticationFailed = [&](bool& handled) {
            Client.AccessToken = "new";
            handled = c.Renew;
        };
        const Raised raised = RaisedBy([&] {
            Client.Connect();
            Client.Disconnect();
        });
        EXPECT_EQ(raised.Class + " " + raised.Message, c.Raised);
        EXPECT_EQ(server.Received(), c.Sent);
        EXPECT_EQ(server.Problems(), "");
    }
}

TEST_F(Pop3Test, StatCountForms) {
    struct Case {
        const char* Reply;
        std::int32_t Count;
    };
    for (const Case& c : {Case{"+OK 7 999\r\n", 7}, Case{"+OK 2\r\n", 0}, Case{"+OK\r\n", 0}, Case{"+OK 0 0\r\n", 0},
                          Case{"+OK x 1\r\n", 0}, Case{"+OK 12 3456\n", 12}, Case{"+OK -3 100\r\n", 0},
                          Case{"+OK $10 100\r\n", 0}, Case{"+OK 4294967297 1\r\n", 0}}) {
        ScriptedPop3Server server(LogInAndStat(c.Reply));
        Use(server);
        Client.Connect();
        EXPECT_EQ(Client.MessageCount(), c.Count) << c.Reply;
        Client.Disconnect();
    }
}

// A refusal is raised with QUIT sent while the line is still up, and the
// password only ever follows an accepted USER.
TEST_F(Pop3Test, RefusalsAreRaisedAndQuitSentWhileTheLineIsUp) {
    struct Case {
        std::vector<test::ServerStep> Script;
        std::string Message;
        std::string Sent;
    };
    const auto ok = Say("+OK\r\n");
    for (const Case& c : std::vector<Case>{
             {{Say("-ERR busy\r\n"), Hear(), ok}, "-ERR busy\r\n", "QUIT\r\n"},
             {{Say("+ok lower case\r\n"), Hear(), ok}, "+ok lower case\r\n", "QUIT\r\n"},
             {{Say(" +OK leading blank\r\n"), Hear(), ok}, " +OK leading blank\r\n", "QUIT\r\n"},
             {{ok, Hear(), Say("-ERR who?\r\n"), Hear(), ok}, "Authentication failed", "USER u\r\nQUIT\r\n"},
             {{ok, Hear(), ok, Hear(), Say("+ok wrong case\r\n"), Hear(), ok},
              "Authentication failed",
              "USER u\r\nPASS p\r\nQUIT\r\n"},
             // The server closes after refusing: no QUIT to a closed line.
             {{ok, Hear(), test::SayAndClose("-ERR go away\r\n")}, "Authentication failed", "USER u\r\n"},
             // A QUIT that fails in the clean-up keeps the original failure.
             {{Say("-ERR too busy\r\n"), Hear(), Reset()}, "-ERR too busy\r\n", "QUIT\r\n"}}) {
        ScriptedPop3Server server(c.Script);
        Use(server);
        const Raised raised = RaisedBy([&] { Client.Connect(); });
        EXPECT_EQ(raised.Class + " " + raised.Message, "Exception " + c.Message);
        EXPECT_FALSE(Client.Connected());
        EXPECT_EQ(server.Received(), c.Sent) << c.Message;
    }
    EXPECT_EQ(Connects, 0);
}

TEST_F(Pop3Test, AuthenticationFailedHandlerGetsOneRetry) {
    int asked = 0;
    Client.OnAuthenticationFailed = [&](bool& handled) {
        ++asked;
        Client.Password = "right";
        handled = true;
    };
    {
        ScriptedPop3Server server({Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("-ERR\r\n"), Hear(),
                                   Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK 1 1\r\n"), Hear(),
                                   Say("+OK\r\n")});
        Use(server);
        Client.Connect();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(Client.MessageCount(), 1);
        Client.Disconnect();
        EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nUSER u\r\nPASS right\r\nSTAT\r\nQUIT\r\n");
    }
    {
        asked = 0;
        ScriptedPop3Server server(
            {Say("+OK\r\n"), Hear(), Say("-ERR\r\n"), Hear(), Say("-ERR\r\n"), Hear(), Say("+OK\r\n")});
        Use(server);
        EXPECT_EQ(RaisedBy([&] { Client.Connect(); }).Message, "Authentication failed");
        EXPECT_EQ(asked, 1) << "a second refusal is final";
        EXPECT_EQ(server.Received(), "USER u\r\nUSER u\r\nQUIT\r\n");
    }
}

TEST_F(Pop3Test, NegativeStatIsRaisedAfterQuitAndOnConnectStillFires) {
    ScriptedPop3Server server(LogInAndStat("-ERR mailbox locked\r\n"));
    Use(server);
    bool connectedAtOnConnect = true;
    Client.OnConnect = [&](TPop3Client& sender) {
        ++Connects;
        connectedAtOnConnect = sender.Connected();
    };
    EXPECT_EQ(RaisedBy([&] { Client.Connect(); }).Message, "-ERR mailbox locked\r\n");
    EXPECT_EQ(Connects, 1);
    EXPECT_FALSE(connectedAtOnConnect) << "OnConnect runs after the clean-up Disconnect";
    EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT\r\nQUIT\r\n");
}

TEST_F(Pop3Test, FailedConnectKeepsTheOldMessageCount) {
    {
        ScriptedPop3Server server(LogInAndStat("+OK 4 100\r\n"));
        Use(server);
        Client.Connect();
        Client.Disconnect();
    }
    ScriptedPop3Server server(LogInAndStat("-ERR\r\n"));
    Use(server);
    RaisedBy([&] { Client.Connect(); });
    EXPECT_EQ(Client.MessageCount(), 4);
    Client.Password.clear();
    RaisedBy([&] { Client.Connect(); });
    EXPECT_EQ(Client.MessageCount(), 4);
}

TEST_F(Pop3Test, SilentServerTimesOutAndTheConnectionIsDropped) {
    ScriptedPop3Server server({});
    Use(server);
    Client.SetTimeOut(300);
    const Raised raised = RaisedBy([&] { Client.Connect(); });
    EXPECT_EQ(raised.Class + " " + raised.Message, "EAbortError Socket readln aborted");
    EXPECT_FALSE(Client.Connected());
    EXPECT_EQ(server.Received(std::chrono::milliseconds(3000)), "") << "dropped at once, without QUIT";

    // The client is usable again at once.
    Client.SetTimeOut(TestTimeOut);
    ScriptedPop3Server next(LogInAndStat("+OK 1 1\r\n"));
    Use(next);
    Client.Connect();
    EXPECT_EQ(Client.MessageCount(), 1);
    Client.Disconnect();
}

TEST_F(Pop3Test, ResetDuringTheDialogue) {
    ScriptedPop3Server server({Say("+OK\r\n"), Hear(), Reset()});
    Use(server);
    const Raised raised = RaisedBy([&] { Client.Connect(); });
    EXPECT_EQ(raised.Class, "ESockError");
    EXPECT_TRUE(test::IsResetText(raised.Message)) << raised.Message;
}

TEST_F(Pop3Test, MissingCredentialsSendNothing) {
    ScriptedPop3Server server({});
    Use(server);
    Client.Password.clear();
    EXPECT_EQ(RaisedBy([&] { Client.Connect(); }).Message, "Authentication failed");
    Client.Password = "p";
    Client.UserID.clear();
    int asked = 0;
    Client.OnAuthenticationNeeded = [&](bool&) { ++asked; };
    EXPECT_EQ(RaisedBy([&] { Client.Connect(); }).Message, "Authentication failed");
    EXPECT_EQ(asked, 1);
    Client.OnAuthenticationNeeded = [&](bool& handled) {
        ++asked;
        handled = true;
    };
    // The handler supplies nothing: after one try the values are used as
    // they are, and the empty user ID is sent.
    ScriptedPop3Server other(LogInAndStat("+OK 0 0\r\n"));
    Use(other);
    Client.Connect();
    Client.Disconnect();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(other.Received(), "USER \r\nPASS p\r\nSTAT\r\nQUIT\r\n");
    EXPECT_FALSE(server.Accepted()) << "nothing connected for the refused attempts";
}

TEST_F(Pop3Test, LineBreaksInCredentialsAreNeverSent) {
    ScriptedPop3Server server({});
    Use(server);
    for (const auto& [user, pass] : std::vector<std::pair<std::string, std::string>>{
             {"u\r\nDELE 1", "p"}, {"u", "p\nDELE 1"}, {"u\r", "p"}, {"u", std::string("p\0x", 3)}}) {
        Client.UserID = user;
        Client.Password = pass;
        const Raised raised = RaisedBy([&] { Client.Connect(); });
        EXPECT_EQ(raised.Class, "Exception");
        EXPECT_EQ(raised.Message, "Invalid character in user ID or password");
    }
    EXPECT_FALSE(server.Accepted());
}

TEST_F(Pop3Test, DisconnectRules) {
    // A refused QUIT, and a QUIT answered by a close (a connection failure
    // after the count), are raised once the connection is closed.
    for (const auto& [last, expected] : std::vector<std::pair<test::ServerStep, std::string>>{
             {Say("-ERR could not remove\r\n"), "Exception -ERR could not remove\r\n"},
             {Close(), "ESockError 10057:Socket is not connected"}}) {
        ScriptedPop3Server server(
            {Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK 7 0\r\n"), Hear(), last});
        Use(server);
        Client.Connect();
        EXPECT_EQ(Client.MessageCount(), 7);
        const Raised raised = RaisedBy([&] { Client.Disconnect(); });
        EXPECT_EQ(raised.Class + " " + raised.Message, expected);
        EXPECT_FALSE(Client.Connected()) << "closed before raising";
    }
    {
        ScriptedPop3Server server(
            {Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK 0 0\r\n"), Close()});
        Use(server);
        Client.Connect();
        EXPECT_TRUE(Loop.RunUntil([&] { return !Client.Connected(); })) << "the server's close arrives";
        Client.Disconnect();  // nothing at all
        EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT\r\n");
    }
    Client.Disconnect();  // never connected: nothing happens
}

TEST_F(Pop3Test, DestroyWhileConnectedDropsTheConnectionQuietly) {
    ScriptedPop3Server server(LogInAndStat("+OK 2 2\r\n"));
    {
        TPop3Client client(Loop);
        client.SetTimeOut(TestTimeOut);
        client.UserID = "u";
        client.Password = "p";
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.Connect();
    }
    EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT\r\n") << "no QUIT: the connection is dropped";
}

TEST_F(Pop3Test, ReplyLinesAreReportedAtLevelOne) {
    ScriptedPop3Server server(LogInAndStat("+OK 1 5\r\n"));
    Use(server);
    std::vector<std::string> seen;
    Client.ReportLevel = 1;
    Client.OnStatus = [&](TSocketTransport&, const std::string& status) { seen.push_back(status); };
    Client.Connect();
    Client.Disconnect();
    EXPECT_EQ(seen, (std::vector<std::string>{"+OK\r\n", "+OK logged in\r\n", "+OK 1 5\r\n", "+OK bye\r\n"}));
}

// Connections that fail in ways the plain tests do not reach: names with
// addresses of both families, servers that hang up where a reply is due, and
// host names that hold control characters.
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

// A name giving ::1 first reaches a server only on 127.0.0.1; when every
// address fails, the last failure is reported.
TEST_F(Pop3Test, NameGivingIpv6FirstReachesAnIpv4OnlyServer) {
    ScriptedPop3Server server(LogInAndStat("+OK 7 100\r\n"));
    FakeResolver resolver({Numeric("::1"), Numeric("127.0.0.1")});
    Client.Host = "dual-stack.quorvel.test";
    Client.Port = server.Port();
    Client.Connect();
    EXPECT_EQ(Client.MessageCount(), 7);
    Client.Disconnect();
    EXPECT_EQ(Failures, 0);
    EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT\r\nQUIT\r\n");

    test::RefusingPort refusing;
    Client.Port = refusing.Port;
    EXPECT_EQ(MessageOf<ESockError>([&] { Client.Connect(); }), "Connection Failed");
    EXPECT_EQ(Client.LastErrorNo(), SocketErrorNo::ConnectionRefused);
    EXPECT_EQ(Failures, 1);
}

TEST_F(Pop3Test, LocalhostWithIpv6FirstReachesAnIpv4OnlyServer) {
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
    ScriptedPop3Server server(LogInAndStat("+OK 3 100\r\n"));
    Client.Host = "localhost";
    Client.Port = server.Port();
    Client.Connect();
    EXPECT_EQ(Client.MessageCount(), 3);
    Client.Disconnect();
}

// A close where a reply is due is the connection's failure, whichever comes
// first: the close notification or the read that finds the end.
TEST_F(Pop3Test, HangUpIsNeverAWrongPassword) {
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
            Use(server);
            EXPECT_EQ(MessageOf<ESockError>([&] { Client.Connect(); }), "10057:Socket is not connected")
                << "script " << i << ", run " << run;
            EXPECT_FALSE(Client.Connected());
        }
    }
}

TEST_F(Pop3Test, HostWithAControlCharacterIsNeverLookedUp) {
    ScriptedPop3Server server(LogInAndStat("+OK 1 100\r\n"));
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
