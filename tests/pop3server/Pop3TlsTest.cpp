// STLS and implicit TLS against a real Dovecot with ssl = required, and the
// certificate failures: each fails with its own text before any USER or PASS
// reaches the server.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/Exception.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/TestPki.h"
#include "tests/support/TempFolder.h"

namespace quorvel {
namespace {

constexpr std::int32_t WaitLimitMs = 20000;
using S = TConnectionSecurity;

DovecotOptions TlsOptions(const std::string& Leaf) {
    DovecotOptions Options;
    Options.TlsCertFile = TestPki::Get().Cert(Leaf).string();
    Options.TlsKeyFile = TestPki::Get().Key(Leaf).string();
    Options.PreLoginRawLog = true;
    return Options;
}

struct Outcome {
    bool Succeeded = false;
    std::int32_t Count = -1;
    std::string Message;
};

Outcome Check(TPollEventLoop& Loop, const DovecotServer& Server, S Security, const std::string& Host = "127.0.0.1",
              const std::string& Pin = "") {
    TPop3Client Client(Loop);
    Client.SetTimeOut(WaitLimitMs);
    Client.Host = Host;
    Client.Port = Security == S::ImplicitTls ? Server.Pop3sPort() : Server.Port();
    Client.Security = Security;
    Client.TlsCaFile = TestPki::Get().CaFile().string();
    Client.TlsPinnedSha256 = Pin;
    Client.UserID = "alice";
    Client.Password = "secret";
    Outcome Result;
    try {
        Client.Connect();
        Result.Count = Client.MessageCount();
        Client.Disconnect();
        Result.Succeeded = true;
    } catch (const Exception& Error) {
        Result.Message = Error.Message();
    }
    EXPECT_FALSE(Client.Connected());
    return Result;
}

// What the log-in process received held no credentials. Its rawlog keeps
// the encrypted part encrypted, so this also holds when TLS worked; the log
// then shows whether anyone logged in.
void ExpectNoCredentialsSent(const DovecotServer& Server) {
    const std::string Input = Server.PreLoginInput();
    EXPECT_EQ(Input.find("USER"), std::string::npos) << Input;
    EXPECT_EQ(Input.find("PASS"), std::string::npos) << Input;
    EXPECT_EQ(Input.find("secret"), std::string::npos) << Input;
    EXPECT_EQ(Server.Log().find("user=<alice>"), std::string::npos) << Server.Log();
}

class Pop3TlsTest : public ::testing::Test {
protected:
    TPollEventLoop Loop;
};

// A host name is checked against the certificate and sent as SNI.
TEST_F(Pop3TlsTest, ImplicitTlsAndStlsReadTheCountInsideTls) {
    DovecotServer Server({{"alice", "secret", 4}}, TlsOptions("good"));
    for (const auto& [Security, Host] : {std::pair{S::ImplicitTls, "127.0.0.1"}, std::pair{S::Stls, "127.0.0.1"},
                                         std::pair{S::ImplicitTls, "localhost"}}) {
        const Outcome Result = Check(Loop, Server, Security, Host);
        EXPECT_TRUE(Result.Succeeded) << Host << ": " << Result.Message << "\n" << Server.Log();
        EXPECT_EQ(Result.Count, 4);
    }
    // Every log-in ran inside TLS, and the plain listener saw STLS and
    // nothing readable after it.
    EXPECT_TRUE(Server.LogShows("Login: user=<alice>, method=PLAIN, rip=127.0.0.1, lip=127.0.0.1, mpid=", 3));
    const std::string Log = Server.Log();
    std::size_t TlsLogins = 0;
    for (auto At = Log.find("Login: user=<alice>"); At != std::string::npos;
         At = Log.find("Login: user=<alice>", At + 1)) {
        const std::string Line = Log.substr(At, Log.find('\n', At) - At);
        if (Line.find(", TLS") != std::string::npos) ++TlsLogins;
    }
    EXPECT_EQ(TlsLogins, 3u) << Log;
    const std::string Plain = Server.PreLoginInput();
    EXPECT_NE(Plain.find(" STLS\r\n"), std::string::npos) << Plain;
    EXPECT_EQ(Plain.find("USER"), std::string::npos) << Plain;
}

struct FailureCase {
    const char* Leaf;
    TlsFailure Expected;
    // The server sends its chain up to its own root, as a private CA's
    // server does: the certificate is from an unknown issuer, not self-signed.
    bool WithRoot = false;
};

class Pop3TlsFailureTest : public ::testing::TestWithParam<FailureCase> {
protected:
    TPollEventLoop Loop;
};

TEST_P(Pop3TlsFailureTest, FailsWithItsTextBeforeAnyCredential) {
    TTempFolder Folder;
    DovecotOptions Options = TlsOptions(GetParam().Leaf);
    if (GetParam().WithRoot) {
        const auto Chain = Folder / "chain.pem";
        std::ofstream(Chain) << std::ifstream(TestPki::Get().Cert(GetParam().Leaf)).rdbuf()
                             << std::ifstream(TestPki::Get().Cert(GetParam().Leaf).parent_path() / "ca2.pem").rdbuf();
        Options.TlsCertFile = Chain.string();
    }
    DovecotServer Server({{"alice", "secret", 2}}, Options);
    for (const S Security : {S::ImplicitTls, S::Stls}) {
        const Outcome Result = Check(Loop, Server, Security);
        EXPECT_FALSE(Result.Succeeded);
        EXPECT_EQ(Result.Message, TlsFailureText(GetParam().Expected)) << Server.Log();
    }
    ExpectNoCredentialsSent(Server);
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, Pop3TlsFailureTest,
    ::testing::Values(FailureCase{"other", TlsFailure::NameMismatch}, FailureCase{"expired", TlsFailure::Expired},
                      FailureCase{"notyet", TlsFailure::NotYetValid}, FailureCase{"self", TlsFailure::SelfSigned},
                      FailureCase{"unknown", TlsFailure::UnknownIssuer},
                      FailureCase{"unknown", TlsFailure::UnknownIssuer, true}),
    [](const auto& Info) { return std::string(Info.param.Leaf) + (Info.param.WithRoot ? "Root" : ""); });

TEST_F(Pop3TlsTest, APinnedSelfSignedCertificateIsTrustedAndNoOther) {
    const std::string Pin = TestPki::Get().Sha256("self");
    ASSERT_EQ(Pin.size(), 64u);
    {
        DovecotServer Server({{"alice", "secret", 5}}, TlsOptions("self"));
        const Outcome Result = Check(Loop, Server, S::ImplicitTls, "127.0.0.1", Pin);
        EXPECT_TRUE(Result.Succeeded) << Result.Message << "\n" << Server.Log();
        EXPECT_EQ(Result.Count, 5);
    }
    DovecotServer Other({{"alice", "secret", 5}}, TlsOptions("self2"));
    const Outcome Result = Check(Loop, Other, S::ImplicitTls, "127.0.0.1", Pin);
    EXPECT_EQ(Result.Message, TlsFailureText(TlsFailure::CertificateChanged));
    ExpectNoCredentialsSent(Other);
}

TEST_F(Pop3TlsTest, TheFetchedCertificateIsTheServers) {
    DovecotServer Server({{"alice", "secret", 0}}, TlsOptions("self"));
    for (const S Security : {S::ImplicitTls, S::Stls}) {
        TPop3Client Client(Loop);
        Client.SetTimeOut(WaitLimitMs);
        Client.Host = "127.0.0.1";
        Client.Port = Security == S::ImplicitTls ? Server.Pop3sPort() : Server.Port();
        Client.Security = Security;
        const TTlsCertificate Shown = Client.FetchCertificate();
        EXPECT_EQ(Shown.Sha256, TestPki::Get().Sha256("self"));
        EXPECT_NE(Shown.Subject.find("self"), std::string::npos) << Shown.Subject;
        EXPECT_FALSE(Shown.NotAfter.empty());
        EXPECT_FALSE(Client.Connected());
    }
    ExpectNoCredentialsSent(Server);
}

TEST_F(Pop3TlsTest, AServerWithoutTlsFailsStlsBeforeUser) {
    DovecotOptions Options;
    Options.PreLoginRawLog = true;
    DovecotServer Server({{"alice", "secret", 1}}, Options);
    const Outcome Result = Check(Loop, Server, S::Stls);
    EXPECT_EQ(Result.Message, TlsNoStlsText);
    ExpectNoCredentialsSent(Server);
}

}  // namespace
}  // namespace quorvel
