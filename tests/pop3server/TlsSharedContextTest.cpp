// What TLS sessions of one program share: the trust store, read lazily, and
// the sessions kept for resuming. A session is resumed only under the host
// name, port, CA file and pin it was first checked with, and a resumed
// session still gives the certificate it was made with.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
#include "net/SocketTransport.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/TestPki.h"
#include "tests/support/TempFolder.h"
#include "tests/wine/OpenSslServer.h"

namespace quorvel {
namespace {

struct Attempt {
    const char* Host;
    const char* Pin;  // the test certificate whose SHA-256 is pinned; "" for none
    bool AcceptAny;
    // What the attempt must come to: resumed or not, or the failure.
    bool Resumed;
    TlsFailure Failure = TlsFailure::None;
};

struct ResumeCase {
    const char* Name;
    std::vector<std::string> ServerOptions;  // after -cert and -key
    const char* Leaf;
    std::vector<Attempt> Attempts;  // in order, each on a new connection
};

std::vector<ResumeCase> ResumeCases() {
    const TlsFailure changed = TlsFailure::CertificateChanged;
    // The same host, port and trust resume; another host name, another pin
    // or a look at the certificate for the user never do, and do not spoil
    // the session kept for the first.
    const std::vector<Attempt> byName{{"localhost", "", false, false}, {"localhost", "", false, true},
                                      {"127.0.0.1", "", false, false}, {"localhost", "good", false, false},
                                      {"localhost", "", true, false},  {"localhost", "", false, true},
                                      {"localhost", "", false, true}};
    return {
        {"Tls13", {}, "good", byName},
        {"Tls12", {"-tls1_2"}, "good", byName},
        // A pinned self-signed certificate: resumed under the same pin;
        // another pin gets a full handshake, which refuses the certificate.
        {"Pinned",
         {},
         "self",
         {{"127.0.0.1", "self", false, false},
          {"127.0.0.1", "self", false, true},
          {"127.0.0.1", "self2", false, false, changed},
          {"127.0.0.1", "", false, false, TlsFailure::SelfSigned},
          {"127.0.0.1", "self", false, true}}},
    };
}

class TlsResumeTest : public ::testing::TestWithParam<ResumeCase> {
protected:
    TPollEventLoop Loop;
};

TEST_P(TlsResumeTest, OnlyUnderWhatTheCertificateWasCheckedWith) {
    const ResumeCase& c = GetParam();
    const TestPki& pki = TestPki::Get();
    std::vector<std::string> options{"-cert", pki.Cert(c.Leaf).string(), "-key", pki.Key(c.Leaf).string()};
    options.insert(options.end(), c.ServerOptions.begin(), c.ServerOptions.end());
    OpenSslServer server(options);
    for (std::size_t i = 0; i < c.Attempts.size(); ++i) {
        const Attempt& a = c.Attempts[i];
        SCOPED_TRACE("attempt " + std::to_string(i + 1) + " with " + a.Host + (a.Pin[0] ? " pinned" : "") +
                     (a.AcceptAny ? " accepting any" : ""));
        TSocketTransport link(Loop);
        link.SetTimeOut(10000);
        link.Host = a.Host;
        link.Port = server.Port();
        link.TlsCaFile = pki.CaFile().string();
        link.TlsPinnedSha256 = a.Pin[0] != 0 ? pki.Sha256(a.Pin) : "";
        link.TlsAcceptAnyCertificate = a.AcceptAny;
        link.Connect();
        try {
            link.StartTls();
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message(), TlsFailureText(a.Failure));
            link.Disconnect();
            continue;
        }
        EXPECT_EQ(a.Failure, TlsFailure::None);
        EXPECT_EQ(link.TlsResumed(), a.Resumed);
        ASSERT_TRUE(link.PeerCertificate().has_value());
        EXPECT_EQ(link.PeerCertificate()->Sha256, pki.Sha256(c.Leaf));
        // A reply read takes the server's tickets (TLS 1.3) with it.
        link.Writeln("KO+");
        EXPECT_EQ(link.ReadLn().substr(0, 3), "+OK");
        link.Disconnect();
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsResumeTest, ::testing::ValuesIn(ResumeCases()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// The system's CAs are looked up one at a time in their hashed folder; a
// check that fails without the whole bundle reads it once and is made
// again, with the same host name. Each case runs in a fresh process, whose
// trust store has not read the bundle: SSL_CERT_DIR is an empty folder, so
// only SSL_CERT_FILE (the test CA) can pass a certificate.
struct BundleCase {
    const char* Leaf;
    const char* Host;
    TlsFailure Expected;
};

class TlsBundleTest : public ::testing::TestWithParam<BundleCase> {};

TEST_P(TlsBundleTest, TheBundleDecidesWhenTheFolderLacksTheCa) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const BundleCase c = GetParam();
    EXPECT_EXIT(
        {
            std::string message;
            {
                TTempFolder emptyFolder;
                ::setenv("SSL_CERT_DIR", emptyFolder.Path().c_str(), 1);
                ::setenv("SSL_CERT_FILE", TestPki::Get().CaFile().c_str(), 1);
                DovecotOptions options;
                options.TlsCertFile = TestPki::Get().Cert(c.Leaf).string();
                options.TlsKeyFile = TestPki::Get().Key(c.Leaf).string();
                DovecotServer server({{"alice", "secret", 3}}, options);
                TPollEventLoop loop;
                TPop3Client client(loop);
                client.SetTimeOut(10000);
                client.Host = c.Host;
                client.Port = server.Pop3sPort();
                client.Security = TConnectionSecurity::ImplicitTls;
                client.UserID = "alice";
                client.Password = "secret";
                try {
                    client.Connect();
                    client.Disconnect();
                } catch (const Exception& error) {
                    message = error.Message();
                }
            }
            const std::string expected = c.Expected == TlsFailure::None ? "" : TlsFailureText(c.Expected);
            std::fprintf(stderr, "outcome: \"%s\", expected \"%s\"\n", message.c_str(), expected.c_str());
            std::exit(message == expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Certificates, TlsBundleTest,
                         ::testing::Values(BundleCase{"good", "localhost", TlsFailure::None},
                                           BundleCase{"other", "127.0.0.1", TlsFailure::NameMismatch},
                                           BundleCase{"expired", "localhost", TlsFailure::Expired},
                                           BundleCase{"unknown", "localhost", TlsFailure::UnknownIssuer}),
                         [](const auto& Info) { return std::string(Info.param.Leaf); });

}  // namespace
}  // namespace quorvel
