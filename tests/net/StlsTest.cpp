// The TLS stage against servers that do what they should not: refusing
// STLS, sending a line after its +OK, closing, never answering the
// handshake, or speaking plaintext on an implicit-TLS account. Each fails
// the account, and nothing but STLS (or the first handshake bytes) is sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/Pop3Client.h"
#include "tests/net/ScriptedPop3Server.h"
#include "tests/net/TestLoop.h"

namespace quorvel {
namespace {

using test::Close;
using test::Hear;
using test::Pause;
using test::Say;

struct StageCase {
    const char* Name;
    TConnectionSecurity Security;
    std::vector<test::ServerStep> Script;
    std::string Message;    // empty: any failure
    bool SendsStls = true;  // false: nothing at all is sent before the handshake
};

std::vector<StageCase> Cases() {
    using S = TConnectionSecurity;
    return {
        {"Refused", S::Stls, {Say("+OK ready\r\n"), Hear(), Say("-ERR TLS support isn't enabled.\r\n")}, TlsNoStlsText},
        {"LineAfterOk",
         S::Stls,
         {Say("+OK ready\r\n"), Hear(), Say("+OK Begin TLS.\r\n+OK logged in\r\n")},
         TlsPlaintextAfterStlsText},
        {"ClosedInsteadOfReply", S::Stls, {Say("+OK ready\r\n"), Hear(), Close()}, ""},
        {"NeverHandshakes",
         S::Stls,
         {Say("+OK ready\r\n"), Hear(), Say("+OK Begin TLS.\r\n"), Pause(3000)},
         TlsHandshakeTimedOutText},
        {"PlaintextOnImplicitTls",
         S::ImplicitTls,
         {Say("+OK ready\r\n"), Pause(3000)},
         TlsFailureText(TlsFailure::HandshakeFailed),
         false},
        {"NegativeGreeting", S::Stls, {Say("-ERR busy\r\n"), Pause(3000)}, "-ERR busy\r\n", false},
    };
}

class StlsStageTest : public ::testing::TestWithParam<StageCase> {};

TEST_P(StlsStageTest, FailsBeforeAnyCredential) {
    test::CountingLoop loop;
    TPop3Client client(loop);
    client.SetTimeOut(1000);
    client.UserID = "u";
    client.Password = "p";
    client.Security = GetParam().Security;
    test::ScriptedPop3Server server(GetParam().Script);
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    std::string message = "no failure";
    try {
        client.Connect();
    } catch (const std::exception& error) {
        message = error.what();
    }
    if (GetParam().Message.empty()) {
        EXPECT_NE(message, "no failure");
    } else {
        EXPECT_EQ(message, GetParam().Message);
    }
    EXPECT_FALSE(client.Connected());
    const std::string received = server.Received();
    if (GetParam().Security == TConnectionSecurity::Stls && !GetParam().SendsStls) {
        EXPECT_EQ(received, "");
    } else if (GetParam().Security == TConnectionSecurity::Stls) {
        // STLS, then at most the handshake's first bytes: no QUIT, no USER.
        EXPECT_EQ(received.rfind("STLS\r\n", 0), 0u) << received;
        EXPECT_EQ(received.find("QUIT"), std::string::npos) << received;
    }
    EXPECT_EQ(received.find("USER"), std::string::npos) << received;
    EXPECT_EQ(received.find("PASS"), std::string::npos) << received;
}

INSTANTIATE_TEST_SUITE_P(Servers, StlsStageTest, ::testing::ValuesIn(Cases()),
                         [](const auto& Case) { return std::string(Case.param.Name); });

}  // namespace
}  // namespace quorvel
