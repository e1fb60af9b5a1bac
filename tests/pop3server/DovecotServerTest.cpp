#include "tests/pop3server/DovecotServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

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

// Blanks and symbols in a password pass through the passwd file unchanged,
// and a wrong password gets a negative reply.
TEST(DovecotServerTest, MailboxesHoldTheirMessageCounts) {
    DovecotServer Server(
        {{"empty", "pw-empty", 0}, {"three", "pw-three", 3}, {"many", "pw-many", 300}, {"bob", "p w#{}=%", 2}});
    ASSERT_GT(Server.Port(), 0);
    const struct {
        const char* User;
        const char* Password;
        const char* Reply;
    } Rows[] = {{"empty", "pw-empty", "+OK 0 "},
                {"three", "pw-three", "+OK 3 "},
                {"many", "pw-many", "+OK 300 "},
                {"bob", "p w#{}=%", "+OK 2 "},
                {"bob", "wrong", "-ERR"},
                // A second session sees the same mailbox: nothing was deleted.
                {"three", "pw-three", "+OK 3 "}};
    for (const auto& Row : Rows) {
        const std::string Reply = StatByHand(Server, Row.User, Row.Password);
        EXPECT_EQ(Reply.rfind(Row.Reply, 0), 0u) << Row.User << ": " << Reply << "\n" << Server.Log();
    }
}

// Two servers run side by side on their own ports, even when the second is
// told to start at the first one's.
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

// A server that cannot start fails with the reason, within its limit. The
// stand-in script runs but never opens the port: it is stopped at the limit,
// not after its 30 s.
TEST(DovecotServerTest, AServerThatCannotStartIsAClearFailure) {
    const auto Script =
        std::filesystem::temp_directory_path() / ("quorvel-silent-" + std::to_string(::getpid()) + ".sh");
    std::ofstream(Script) << "#!/bin/sh\nexec sleep 30\n";
    std::filesystem::permissions(Script, std::filesystem::perms::owner_all);
    const struct {
        std::string Binary;
        std::vector<std::string> Reasons;
    } Rows[] = {{"/nonexistent/sbin/dovecot", {"/nonexistent/sbin/dovecot is missing", "dovecot-pop3d"}},
                {Script.string(), {"no POP3 greeting"}},
                {"/bin/false", {"exited during start-up"}}};
    for (const auto& Row : Rows) {
        DovecotOptions Options;
        Options.Binary = Row.Binary;
        Options.StartLimit = std::chrono::milliseconds(700);
        const auto Started = Clock::now();
        try {
            DovecotServer Server({{"a", "p", 0}}, Options);
            ADD_FAILURE() << Row.Binary << " was taken as started";
        } catch (const std::runtime_error& Error) {
            for (const std::string& Reason : Row.Reasons) {
                EXPECT_NE(std::string(Error.what()).find(Reason), std::string::npos) << Error.what();
            }
        }
        EXPECT_LT(Clock::now() - Started, std::chrono::seconds(10)) << Row.Binary;
    }
    std::filesystem::remove(Script);
}

}  // namespace
}  // namespace quorvel
