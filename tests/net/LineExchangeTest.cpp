#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/SocketTransport.h"
#include "tests/net/NetTestSupport.h"
#include "tests/net/ScriptedPop3Server.h"
#include "tests/net/TestLoop.h"
#include "tests/support/MessageOf.h"

namespace quorvel {
namespace {

using test::Close;
using test::Hear;
using test::Pause;
using test::Reset;
using test::Say;
using test::ScriptedPop3Server;

constexpr std::int32_t TestTimeOut = 5000;

using test::FailureOf;
const test::SockFailureSeen NotConnected{SockFailure::NotConnected, 10057, "10057:Socket is not connected"};
const test::SockFailureSeen ResetSeen{SockFailure::NotConnected, 10054, "10054:Connection reset by peer"};

// A transport connected to a scripted server.
struct Connection {
    explicit Connection(std::vector<test::ServerStep> script) : Server(std::move(script)), Transport(Loop) {
        Transport.SetTimeOut(TestTimeOut);
        Transport.Host = "127.0.0.1";
        Transport.Port = Server.Port();
        Transport.Connect();
    }
    ScriptedPop3Server Server;
    test::CountingLoop Loop;
    TSocketTransport Transport;
};

TEST(LineExchange, LineInPiecesIsReturnedWholeAndTheRestStays) {
    Connection c(
        {Say("+OK hel"), Pause(60), Say("lo wor"), Pause(60), Say("ld\r"), Pause(30), Say("\n+OK next\r\nthird")});
    EXPECT_EQ(c.Transport.ReadLn(), "+OK hello world\r\n");
    EXPECT_TRUE(c.Transport.DataAvailable()) << "bytes after the line end stay in the socket";
    EXPECT_EQ(c.Transport.ReadLn(), "+OK next\r\n");
    c.Transport.ClearInput();
    EXPECT_FALSE(c.Transport.DataAvailable());
}

TEST(LineExchange, LineEndedByLfAloneKeepsJustTheLf) {
    Connection c({Say("one\ntwo\r\n\n")});
    EXPECT_EQ(c.Transport.ReadLn(), "one\n");
    EXPECT_EQ(c.Transport.ReadLn(), "two\r\n");
    EXPECT_EQ(c.Transport.ReadLn(), "\n");
}

// A close, in the middle of a line or with nothing pending, is an error
// whatever the timing; the close notification replaces the socket during the
// wait, and the next read finds no connection.
TEST(LineExchange, CloseWhileReadingIsAnError) {
    for (const auto& script :
         std::vector<std::vector<test::ServerStep>>{{test::SayAndClose("+OK cut")},  // data and close arrive together
                                                    {Say("+OK cut"), Pause(80), Close()},
                                                    {Pause(50), Close()}}) {
        Connection c(script);
        EXPECT_EQ(FailureOf([&] { c.Transport.ReadLn(); }), NotConnected);
        // A close seen during the wait shuts the connection.
        if (script.size() > 1) {
            EXPECT_FALSE(c.Transport.Connected());
        }
        EXPECT_EQ(FailureOf([&] { c.Transport.ReadLn(); }), NotConnected);
    }
}

TEST(LineExchange, ResetIsReportedWithItsNumber) {
    if (!test::sockets::PeerResetIsReported()) GTEST_SKIP() << "this system reports a reset as an orderly close";
    {
        Connection c({Say("+OK par"), Pause(60), Reset()});
        EXPECT_EQ(FailureOf([&] { c.Transport.ReadLn(); }), ResetSeen);
        EXPECT_FALSE(c.Transport.Connected());
    }
    {
        // The server resets only once it hears from the connected client: a
        // reset that beats the connect completion is a failed connect instead.
        Connection c({Hear(), Reset()});
        c.Transport.Writeln("hello");
        c.Server.Received();  // the reset has arrived before the read, which meets it first
        EXPECT_EQ(FailureOf([&] { c.Transport.ReadLn(); }),
                  (test::SockFailureSeen{SockFailure::SocketCall, 10054, ResetSeen.Message}));
    }
}

// The server answers only once the client has written again, so nothing can
// arrive before the time-out, however slow the machine.
TEST(LineExchange, TimeOutAbortsTheReadWhileTheLoopGoesOn) {
    Connection c({Hear(), Say("late\r\n")});
    c.Transport.SetTimeOut(250);
    int ticks = 0;
    auto other = c.Loop.CreateTimer([&] { ++ticks; });
    other->Start(20);
    const long waits = c.Loop.Waits;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageOf<EAbortError>([&] { c.Transport.ReadLn(); }), "Socket readln aborted");
    EXPECT_GE(test::ElapsedMs(start), 200);
    EXPECT_GE(ticks, 1) << "other timers keep running during the wait";
    EXPECT_LT(c.Loop.Waits - waits, 2 * ticks + 20) << "the wait blocks; it does not spin";

    // The transport's own Abort only cancels: the line still arrives later,
    // and the cancel does not linger.
    c.Transport.SetTimeOut(TestTimeOut);
    c.Transport.Writeln("go");
    EXPECT_EQ(c.Transport.ReadLn(), "late\r\n");
}

TEST(LineExchange, UnlimitedWaitBlocksWithoutSpinning) {
    Connection c({Pause(300), Say("eventually\r\n")});
    c.Transport.SetTimeOut(0);
    const long waits = c.Loop.Waits;
    EXPECT_EQ(c.Transport.ReadLn(), "eventually\r\n");
    EXPECT_LE(c.Loop.Waits - waits, 5);
}

TEST(LineExchange, PendingCancelAbortsTheNextReadOnce) {
    Connection c({Say("one\r\ntwo\r\n")});
    c.Transport.Cancel();
    EXPECT_EQ(MessageOf<EAbortError>([&] { c.Transport.ReadLn(); }), "Socket readln aborted");
    EXPECT_EQ(c.Transport.ReadLn(), "one\r\n") << "the aborted read took nothing";
    c.Transport.Cancel();
    EXPECT_EQ(MessageOf<EAbortError>([&] { c.Transport.Write("x"); }), "Socket send aborted");
    EXPECT_EQ(c.Transport.ReadLn(), "two\r\n");
}

TEST(LineExchange, LineLengthLimit) {
    const std::string longest(65535, 'a');
    Connection c({Say(longest + "\n" + std::string(65536, 'b') + "\n")});
    EXPECT_EQ(c.Transport.ReadLn(), longest + "\n");
    EXPECT_EQ(FailureOf([&] { c.Transport.ReadLn(); }),
              (test::SockFailureSeen{SockFailure::LineTooLong, 0, "Socket readln line too long"}));
}

TEST(LineExchange, TransactionSetsLastReplyAndReplyNumber) {
    Connection c({Hear(), Say("+OK fine\r\n"), Hear(), Say("250 done\r\n"), Hear(), Say("0042x\r\n"), Hear(),
                  Say("99999 big\r\n"), Hear(), Say("32767\r\n")});
    EXPECT_EQ(c.Transport.Transaction("A"), "+OK fine\r\n");
    EXPECT_EQ(c.Transport.ReplyNumber(), 0);
    EXPECT_EQ(c.Transport.Transaction("B"), "250 done\r\n");
    EXPECT_EQ(c.Transport.ReplyNumber(), 250);
    EXPECT_EQ(c.Transport.LastReply(), "250 done\r\n");
    EXPECT_EQ(c.Transport.Transaction("C"), "0042x\r\n");
    EXPECT_EQ(c.Transport.ReplyNumber(), 42);
    EXPECT_EQ(MessageOf<ESockError>([&] { c.Transport.Transaction("D"); }), "Reply number out of range");
    EXPECT_EQ(c.Transport.ReplyNumber(), 0);
    EXPECT_EQ(c.Transport.Transaction("E"), "32767\r\n");
    EXPECT_EQ(c.Transport.ReplyNumber(), 32767);
    c.Transport.Disconnect();
    EXPECT_EQ(c.Server.Received(), "A\r\nB\r\nC\r\nD\r\nE\r\n");
}

TEST(LineExchange, FailedTransactionKeepsTheLastReply) {
    Connection c({Hear(), Say("+OK first\r\n"), Hear(), Reset()});
    c.Transport.Transaction("ONE");
    const std::string message = MessageOf<ESockError>([&] { c.Transport.Transaction("TWO"); });
    EXPECT_TRUE(test::IsResetText(message)) << message;
    EXPECT_EQ(c.Transport.LastReply(), "+OK first\r\n");
}

TEST(LineExchange, WriteStopsAtNulAndRefusesOverlongText) {
    Connection c({});
    c.Transport.Write(std::string("ab\0cd", 5));
    c.Transport.Write("");
    EXPECT_EQ(MessageOf<ESockError>([&] { c.Transport.Write(std::string(65536, 'x')); }), "Socket write text too long");
    std::string overlongWithNul(70000, 'y');
    overlongWithNul[3] = '\0';
    c.Transport.Write(overlongWithNul);
    c.Transport.Writeln("|" + std::string(65532, 'z'));
    c.Transport.Disconnect();
    EXPECT_EQ(c.Server.Received(), "abyyy|" + std::string(65532, 'z') + "\r\n");
}

TEST(LineExchange, SendWaitsForRoomThroughTheLoop) {
    // The server reads nothing for a while, so the socket's send buffer fills;
    // then it reads the 4 MiB, which takes a while on a busy machine: the
    // bound here is only against a hang.
    Connection c({Pause(1000), Hear(), Say("+OK all\r\n")});
    c.Transport.SetTimeOut(60000);
    const std::string chunk(65535, 'q');
    constexpr int Chunks = 64;
    const long waits = c.Loop.Waits;
    for (int i = 0; i < Chunks; ++i) c.Transport.Write(chunk);
    EXPECT_GT(c.Loop.Waits, waits) << "a full send buffer is waited for in the loop";
    // The reply comes once the server has read everything (the first socket
    // resets its connection when closed, dropping what was not yet read).
    EXPECT_EQ(c.Transport.Transaction("END"), "+OK all\r\n");
    c.Transport.Disconnect();
    const std::string received = c.Server.Received();
    EXPECT_EQ(received.size(), chunk.size() * Chunks + 5);
    EXPECT_EQ(received.find_first_not_of('q'), chunk.size() * Chunks);
}

TEST(LineExchange, TimeOutEndsABlockedSend) {
    Connection c({Pause(60000)});  // reads nothing until the test ends
    c.Transport.SetTimeOut(200);
    const std::string chunk(65535, 'q');
    const auto start = std::chrono::steady_clock::now();
    const std::string message = MessageOf<EAbortError>([&] {
        for (int i = 0; i < 4096; ++i) c.Transport.Write(chunk);
    });
    EXPECT_EQ(message, "Socket send aborted");
    EXPECT_LT(test::ElapsedMs(start), 30000);
}

TEST(LineExchange, OperationsOnAnIdleTransport) {
    test::CountingLoop loop;
    TSocketTransport transport(loop);
    transport.SetTimeOut(1000);
    EXPECT_FALSE(transport.Connected());
    EXPECT_FALSE(transport.DataAvailable());
    EXPECT_EQ(FailureOf([&] { transport.ReadLn(); }), NotConnected);
    EXPECT_EQ(FailureOf([&] { transport.Writeln("x"); }), NotConnected);
    transport.ClearInput();  // nothing to clear, and no failure
}

}  // namespace
}  // namespace quorvel
