#include "tests/pop3server/DovecotServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "tests/pop3server/LoopbackLineClient.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Soon() {
    return Clock::now() + std::chrono::seconds(15);
}

// Logs in by hand and returns the STAT reply ("" when a step failed).
std::string StatByHand(const DovecotServer& Server, const std::string& User, const std::string& Password) {
    LoopbackLineClient Client;
    std::string Greeting;
    if (!Client.Connect(Server.Host(), Server.Port(), Soon()) || !Client.ReadLine(Greeting, Soon())) {
        return {};
    }
    if (Client.Exchange("USER " + User, Soon()).rfind("+OK", 0) != 0) {
        return {};
    }
    std::string Pass = Client.Exchange("PASS " + Password, Soon());
    if (Pass.rfind("+OK", 0) != 0) {
        return Pass;
    }
    std::string Stat = Client.Exchange("STAT", Soon());
    Client.Exchange("QUIT", Soon());
    return Stat;
}

TEST(DovecotServerTest, MailboxesHoldTheirMessageCounts) {
    DovecotServer Server({{"empty", "pw-empty", 0}, {"three", "pw-three", 3}, {"many", "pw-many", 300}});
    ASSERT_GT(Server.Port(), 0);
    EXPECT_EQ(StatByHand(Server, "empty", "pw-empty").rfind("+OK 0 ", 0), 0u) << Server.Log();
    EXPECT_EQ(StatByHand(Server, "three", "pw-three").rfind("+OK 3 ", 0), 0u) << Server.Log();
    EXPECT_EQ(StatByHand(Server, "many", "pw-many").rfind("+OK 300 ", 0), 0u) << Server.Log();
    // A second session sees the same mailbox: nothing was deleted.
    EXPECT_EQ(StatByHand(Server, "three", "pw-three").rfind("+OK 3 ", 0), 0u) << Server.Log();
}

TEST(DovecotServerTest, RefusesAWrongPasswordWithANegativeReply) {
    DovecotServer Server({{"alice", "right", 1}});
    const std::string Reply = StatByHand(Server, "alice", "wrong");
    EXPECT_EQ(Reply.rfind("-ERR", 0), 0u) << Reply << "\n" << Server.Log();
}

TEST(DovecotServerTest, PasswordsAreComparedExactly) {
    // Blanks and symbols pass through the passwd file unchanged.
    DovecotServer Server({{"bob", "p w#{}=%", 2}});
    EXPECT_EQ(StatByHand(Server, "bob", "p w#{}=%").rfind("+OK 2 ", 0), 0u) << Server.Log();
}

TEST(DovecotServerTest, TwoServersRunSideBySideOnTheirOwnPorts) {
    DovecotServer First({{"a", "pa", 1}});
    DovecotServer Second({{"a", "pb", 4}});
    EXPECT_NE(First.Port(), Second.Port());
    EXPECT_EQ(StatByHand(First, "a", "pa").rfind("+OK 1 ", 0), 0u) << First.Log();
    EXPECT_EQ(StatByHand(Second, "a", "pb").rfind("+OK 4 ", 0), 0u) << Second.Log();
}

TEST(DovecotServerTest, APortTakenByAnotherServerIsLeftForAFreeOne) {
    DovecotServer First({{"a", "pa", 1}});
    DovecotOptions Options;
    Options.FirstPort = First.Port();
    DovecotServer Second({{"a", "pb", 4}}, Options);
    EXPECT_NE(Second.Port(), First.Port());
    // Each answers for its own mailboxes: the second did not settle for the
    // first one's greeting.
    EXPECT_EQ(StatByHand(Second, "a", "pb").rfind("+OK 4 ", 0), 0u) << Second.Log();
    EXPECT_EQ(StatByHand(First, "a", "pa").rfind("+OK 1 ", 0), 0u) << First.Log();
}

TEST(DovecotServerTest, StoppingClosesThePortAndTheDestructorRemovesTheFolder) {
    std::filesystem::path Folder;
    {
        DovecotServer Server({{"a", "p", 0}});
        Folder = Server.Folder();
        EXPECT_TRUE(std::filesystem::exists(Folder / "dovecot.conf"));
        EXPECT_NE(Server.Log().find("starting up"), std::string::npos) << Server.Log();
        Server.Stop();
        LoopbackLineClient Client;
        std::string Greeting;
        EXPECT_FALSE(Client.Connect(Server.Host(), Server.Port(), Soon()) && Client.ReadLine(Greeting, Soon()));
    }
    EXPECT_FALSE(std::filesystem::exists(Folder));
}

TEST(DovecotServerTest, MailboxesTheFilesCannotCarryAreRefusedBeforeStart) {
    EXPECT_THROW(DovecotServer({{"a:b", "p", 0}}), std::runtime_error);
    EXPECT_THROW(DovecotServer({{"a", "p\r\nSTAT", 0}}), std::runtime_error);
    EXPECT_THROW(DovecotServer({{"../x", "p", 0}}), std::runtime_error);
    EXPECT_THROW(DovecotServer({{"a", "p", 0}, {"a", "q", 1}}), std::runtime_error);
}

TEST(DovecotServerTest, AMissingDovecotIsAClearFailure) {
    DovecotOptions Options;
    Options.Binary = "/nonexistent/sbin/dovecot";
    try {
        DovecotServer Server({{"a", "p", 0}}, Options);
        ADD_FAILURE() << "a server started without its program";
    } catch (const std::runtime_error& Error) {
        const std::string Message = Error.what();
        EXPECT_NE(Message.find("/nonexistent/sbin/dovecot is missing"), std::string::npos) << Message;
        EXPECT_NE(Message.find("dovecot-pop3d"), std::string::npos) << Message;
    }
}

TEST(DovecotServerTest, AServerThatNeverGreetsTimesOutAndIsStopped) {
    // A stand-in program that runs but never opens the port: the start
    // gives up at its limit with the reason, and the program is stopped.
    const auto Script =
        std::filesystem::temp_directory_path() / ("quorvel-silent-" + std::to_string(::getpid()) + ".sh");
    {
        std::ofstream Out(Script);
        Out << "#!/bin/sh\nexec sleep 30\n";
    }
    std::filesystem::permissions(Script, std::filesystem::perms::owner_all);
    DovecotOptions Options;
    Options.Binary = Script.string();
    Options.StartLimit = std::chrono::milliseconds(700);
    const auto Started = Clock::now();
    try {
        DovecotServer Server({{"a", "p", 0}}, Options);
        ADD_FAILURE() << "a server that never greets was taken as started";
    } catch (const std::runtime_error& Error) {
        EXPECT_NE(std::string(Error.what()).find("no POP3 greeting"), std::string::npos) << Error.what();
    }
    // Stopped within the bound, not after the stand-in's 30 s.
    EXPECT_LT(Clock::now() - Started, std::chrono::seconds(10));
    std::filesystem::remove(Script);
}

TEST(DovecotServerTest, AServerThatExitsAtStartIsAClearFailure) {
    DovecotOptions Options;
    Options.Binary = "/bin/false";
    try {
        DovecotServer Server({{"a", "p", 0}}, Options);
        ADD_FAILURE() << "a server that exited was taken as started";
    } catch (const std::runtime_error& Error) {
        EXPECT_NE(std::string(Error.what()).find("exited during start-up"), std::string::npos) << Error.what();
    }
}

}  // namespace
}  // namespace quorvel
