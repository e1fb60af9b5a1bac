// The POP3 client against a real Dovecot server on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/Exception.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
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

class Pop3InteropTest : public ::testing::Test {
protected:
    TPollEventLoop Loop;
};

// A fresh client for every check, over and over, leaves nothing behind.
TEST_F(Pop3InteropTest, CountsEmptySmallAndLargeMailboxesExactly) {
    DovecotOptions Options;
    Options.RawLog = true;
    DovecotServer Server({{"empty", "pw-e", 0}, {"three", "pw-3", 3}, {"many", "pw-m", 300}}, Options);
    constexpr int Rounds = 7;
    for (int Round = 0; Round < Rounds; ++Round) {
        for (const auto& Box : Server.Mailboxes()) {
            TPop3Client Client(Loop);
            Client.SetTimeOut(WaitLimitMs);
            const auto Outcome = CheckWith(Client, Server.Host(), Server.Port(), Box.UserID, Box.Password);
            ASSERT_TRUE(Outcome.Succeeded) << Box.UserID << ": " << Outcome.Message << "\n" << Server.Log();
            ASSERT_EQ(Outcome.Count, Box.MessageCount) << Box.UserID;
        }
    }
    // Every session ended with an accepted QUIT, and a check neither
    // retrieves nor deletes anything.
    EXPECT_TRUE(Server.LogShows("Disconnected: Logged out top=0/0, retr=0/0, del=0/", 3 * Rounds)) << Server.Log();
    // After the log-in the client sends only STAT and QUIT (Dovecot's rawlog
    // writes the sessions a moment after they end).
    std::string Expected;
    for (int Round = 0; Round < Rounds; ++Round) Expected += "STAT\r\nQUIT\r\n";
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Server.RawInput("three") != Expected && std::chrono::steady_clock::now() < Deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Server.RawInput("three"), Expected) << Server.Log();
}

TEST_F(Pop3InteropTest, OneClientChecksSeveralAccountsInTurn) {
    // As the tray does: one client object, the accounts one after another,
    // a wrong password and an unknown user in the middle that must not spoil
    // the ones after them.
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
        {"one", "p1", true, 1}, {"many", "pm", true, 250},       {"empty", "pe", true, 0}, {"two", "wrong", false, 0},
        {"two", "p2", true, 2}, {"nobody-here", "p1", false, 0}, {"one", "p1", true, 1},
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
    EXPECT_TRUE(Server.LogShows("Disconnected: Logged out", 5)) << Server.Log();
    // The refused sessions still ended with QUIT.
    EXPECT_TRUE(Server.LogShows("Aborted login by logging out", 2)) << Server.Log();
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
