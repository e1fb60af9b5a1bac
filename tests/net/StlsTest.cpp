// The TLS stage against servers that do what they should not: refusing
// STLS, sending a line after its +OK, answering the hello in plaintext,
// closing, never answering the handshake, or speaking plaintext on an
// implicit-TLS account. Each fails the account, and nothing but STLS (or
// the first handshake bytes) is sent.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "net/Pop3Client.h"
#include "tests/net/ScriptedPop3Server.h"
#include "tests/net/TestLoop.h"

namespace quorvel {
namespace {

using test::Close;
using test::Hear;
using test::HearBytes;
using test::Pause;
using test::Say;

struct StageCase {
    const char* Name;
    TConnectionSecurity Security;
    std::vector<test::ServerStep> Script;
    std::string Message;    // empty: any failure
    bool SendsStls = true;  // false: nothing at all is sent before the handshake
    std::int32_t TimeOutMs = 10000;
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
        // The server takes the hello and answers it in plain text, as one
        // that did not really switch does.
        {"PlaintextAnswersTheHello",
         S::Stls,
         {Say("+OK ready\r\n"), Hear(), Say("+OK Begin TLS.\r\n"), HearBytes(), Say("+OK hello\r\n"), Pause(3000)},
         TlsPlaintextAfterStlsText},
        {"ErrorAnswersTheHello",
         S::Stls,
         {Say("+OK ready\r\n"), Hear(), Say("+OK Begin TLS.\r\n"), HearBytes(), Say("-ERR what?\r\n"), Pause(3000)},
         TlsPlaintextAfterStlsText},
        {"NeverHandshakes",
         S::Stls,
         {Say("+OK ready\r\n"), Hear(), Say("+OK Begin TLS.\r\n"), Pause(3000)},
         TlsHandshakeTimedOutText,
         true,
         1000},
        {"PlaintextOnImplicitTls",
         S::ImplicitTls,
         {Say("+OK ready\r\n"), Pause(3000)},
         TlsFailureText(TlsFailure::HandshakeFailed),
         false},
        {"NegativeGreeting", S::Stls, {Say("-ERR busy\r\n"), Pause(3000)}, "-ERR busy\r\n", false},
    };
}

// One check of an account with Security against a server playing Script:
// what it raised, and what the server received.
struct Attempt {
    std::string Message = "no failure";
    std::string Received;
    Attempt(TConnectionSecurity security, std::vector<test::ServerStep> script, std::int32_t timeOutMs,
            const std::string& caFile = "") {
        test::ScriptedPop3Server server(std::move(script));
        test::CountingLoop loop;
        TPop3Client client(loop);
        client.SetTimeOut(timeOutMs);
        client.UserID = "u";
        client.Password = "p";
        client.Security = security;
        client.TlsCaFile = caFile;
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        try {
            client.Connect();
        } catch (const std::exception& error) {
            Message = error.what();
        }
        EXPECT_FALSE(client.Connected());
        Received = server.Received();
    }
};

class StlsStageTest : public ::testing::TestWithParam<StageCase> {};

TEST_P(StlsStageTest, FailsBeforeAnyCredential) {
    const auto [message, received] = Attempt(GetParam().Security, GetParam().Script, GetParam().TimeOutMs);
    if (GetParam().Message.empty()) {
        EXPECT_NE(message, "no failure");
    } else {
        EXPECT_EQ(message, GetParam().Message);
    }
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

// A CA file that is missing or holds no certificate fails each TLS account
// at its start, the same at every try, before anything is sent; what the
// session had made by then is released (the sanitizer build's leak check
// at exit sees to that).
TEST(TlsStartTest, ABadCaFileFailsEveryTryAndKeepsNothing) {
    const auto stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    const auto folder = std::filesystem::temp_directory_path();
    const auto notPem = folder / ("quorvel-not-pem-" + stamp + ".txt");
    std::ofstream(notPem) << "not a certificate\n";
    const std::string missing = (folder / ("quorvel-missing-" + stamp + ".pem")).string();
    for (const std::string& file : {missing, notPem.string()}) {
        for (const TConnectionSecurity security : {TConnectionSecurity::ImplicitTls, TConnectionSecurity::Stls}) {
            for (int attempt = 0; attempt < 2; ++attempt) {
                // The server keeps the connection open until the client closes it.
                std::vector<test::ServerStep> script;
                if (security == TConnectionSecurity::Stls) {
                    script = {Say("+OK ready\r\n"), Hear(), Say("+OK Begin TLS.\r\n")};
                }
                const auto [message, received] = Attempt(security, script, 1000, file);
                EXPECT_EQ(message, "TLS: the CA file " + file + " cannot be read");
                EXPECT_EQ(received, security == TConnectionSecurity::Stls ? "STLS\r\n" : "");
            }
        }
    }
    std::filesystem::remove(notPem);
}

}  // namespace
}  // namespace quorvel
