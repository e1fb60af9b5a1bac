// The Schannel session against real TLS servers on 127.0.0.1, run under
// Wine by tests/wine/SchannelWineTest.cpp, which starts the servers and says
// where they are:
//   QUORVEL_TLS_PORTS   name=port,...   one server per name (see the driver)
//   QUORVEL_TLS_SHA256  name=hex,...    the SHA-256 of each test certificate
//   QUORVEL_TLS_PKI     the folder of the test certificates (a Windows path)
// Without them every test is skipped, so a plain ctest run passes.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "core/Exception.h"
#include "net/TlsSession.h"
#include "tests/winnet/SchannelRig_win32.h"

namespace quorvel {
namespace {

using namespace schannel_test;

// ---- the certificate check ----

struct CertificateCase {
    const char* Name;
    const char* Server;  // also the name of the certificate it shows
    const char* Host;
    const char* CaFile;  // in the test PKI folder; "" for none
    const char* Pin;     // the certificate whose SHA-256 is pinned; "" for none
    bool AcceptAny;
    TlsFailure Expected;  // None: the handshake completes
};

class SchannelCertificateTest : public SchannelTest, public ::testing::WithParamInterface<CertificateCase> {};

TEST_P(SchannelCertificateTest, HandshakeComesToItsOutcome) {
    const CertificateCase& c = GetParam();
    SKIP_WITHOUT_SERVER(c.Server);
    Connection link(c.Server);
    ASSERT_TRUE(link.Connected);
    TTlsClientOptions options{c.Host, PkiFile(c.CaFile), c.Pin[0] != 0 ? Sha256Of(c.Pin) : "", c.AcceptAny};
    ASSERT_EQ(options.PinnedSha256.empty(), c.Pin[0] == 0);
    auto tls = StartTlsClient(link.Fd(), options);

    const auto start = Clock::now();
    const IoStep step = link.Run([&] { return tls->Handshake(); });
    Figure(std::string("handshake ") + c.Name, MillisecondsSince(start), "ms");
    // A handshake is a few round trips: many more waits would be a spin.
    EXPECT_LT(link.ReadWaits + link.WriteWaits, 20);

    // The certificate is shown whether or not it passed.
    std::printf("[ detail   ] %s: %s\n", c.Name, tls->FailureDetail().c_str());
    const auto peer = tls->PeerCertificate();
    ASSERT_TRUE(peer.has_value());
    EXPECT_EQ(peer->Sha256, Sha256Of(c.Server));
    if (c.Expected == TlsFailure::None) {
        ASSERT_EQ(step, IoStep::Done) << TlsFailureText(tls->Failure()) << " / " << tls->FailureDetail();
        EXPECT_EQ(tls->Failure(), TlsFailure::None);
        std::string pending;
        EXPECT_EQ(ReadLine(link, *tls, pending).substr(0, 4), "+OK ");
        tls->Close();
    } else {
        ASSERT_EQ(step, IoStep::Failed);
        EXPECT_EQ(tls->Failure(), c.Expected) << TlsFailureText(tls->Failure()) << " / " << tls->FailureDetail();
        // A failed session stays failed and never asks to wait again.
        std::size_t count = 0;
        char byte;
        EXPECT_EQ(tls->Handshake(), IoStep::Failed);
        EXPECT_EQ(tls->Read(&byte, 1, count), IoStep::Failed);
        EXPECT_EQ(tls->Write("x", 1, count), IoStep::Failed);
    }
}

constexpr TlsFailure Valid = TlsFailure::None;

INSTANTIATE_TEST_SUITE_P(
    Certificates, SchannelCertificateTest,
    ::testing::Values(
        CertificateCase{"GoodByName", "good", "localhost", "ca.pem", "", false, Valid},
        CertificateCase{"GoodByNameInCapitals", "good", "LOCALHOST", "ca.pem", "", false, Valid},
        CertificateCase{"GoodByAddress", "good", "127.0.0.1", "ca.pem", "", false, Valid},
        CertificateCase{"GoodForAnotherAddress", "good", "127.0.0.2", "ca.pem", "", false, TlsFailure::NameMismatch},
        CertificateCase{"GoodForIPv6Loopback", "good", "::1", "ca.pem", "", false, TlsFailure::NameMismatch},
        CertificateCase{"GoodForAnotherName", "good", "mail.example.invalid", "ca.pem", "", false,
                        TlsFailure::NameMismatch},
        CertificateCase{"GoodWithoutTheCaFile", "good", "localhost", "", "", false, TlsFailure::UnknownIssuer},
        CertificateCase{"GoodWithAnotherCaFile", "good", "localhost", "ca2.pem", "", false, TlsFailure::UnknownIssuer},
        CertificateCase{"OtherByName", "other", "localhost", "ca.pem", "", false, TlsFailure::NameMismatch},
        CertificateCase{"OtherByAddress", "other", "127.0.0.1", "ca.pem", "", false, TlsFailure::NameMismatch},
        CertificateCase{"OtherForItsName", "other", "other.example.invalid", "ca.pem", "", false, Valid},
        CertificateCase{"Expired", "expired", "localhost", "ca.pem", "", false, TlsFailure::Expired},
        CertificateCase{"NotYetValid", "notyet", "localhost", "ca.pem", "", false, TlsFailure::NotYetValid},
        CertificateCase{"SelfSigned", "self", "localhost", "ca.pem", "", false, TlsFailure::SelfSigned},
        CertificateCase{"UnknownIssuer", "unknown", "localhost", "ca.pem", "", false, TlsFailure::UnknownIssuer},
        CertificateCase{"UnknownWithItsCaFile", "unknown", "localhost", "ca2.pem", "", false, Valid},
        // The chain up to a root nobody here trusts: an unknown issuer, as
        // OpenSSL says, not a self-signed certificate.
        CertificateCase{"UnknownWithItsOwnRoot", "unknown-chain", "localhost", "ca.pem", "", false,
                        TlsFailure::UnknownIssuer},
        CertificateCase{"UnknownWithItsOwnRootAndItsCaFile", "unknown-chain", "localhost", "ca2.pem", "", false, Valid},
        CertificateCase{"SelfSignedAsItsOwnCaFile", "self", "localhost", "self.pem", "", false, Valid},
        CertificateCase{"SelfSignedPinned", "self", "127.0.0.1", "ca.pem", "self", false, Valid},
        CertificateCase{"SelfSignedWithAnotherPin", "self", "127.0.0.1", "ca.pem", "self2", false,
                        TlsFailure::CertificateChanged},
        CertificateCase{"ExpiredWithAnotherPin", "expired", "localhost", "ca.pem", "self", false,
                        TlsFailure::CertificateChanged},
        CertificateCase{"OtherPinned", "other", "localhost", "ca.pem", "other", false, Valid},
        CertificateCase{"GoodWithAStalePin", "good", "localhost", "ca.pem", "self2", false, Valid},
        CertificateCase{"ExpiredShownToTheUser", "expired", "localhost", "", "", true, Valid},
        CertificateCase{"SelfSignedShownToTheUser", "self", "mail.example.invalid", "", "", true, Valid}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(SchannelTest, TheCertificateIsDescribedAsOnLinux) {
    SKIP_WITHOUT_SERVER("expired");
    Connection link("expired");
    auto tls = StartTlsClient(link.Fd(), {"localhost", "", "", true});
    ASSERT_EQ(link.Run([&] { return tls->Handshake(); }), IoStep::Done);
    const TTlsCertificate peer = tls->PeerCertificate().value();
    EXPECT_EQ(peer.Subject, "CN = expired");
    EXPECT_EQ(peer.Issuer, "CN = Quorvel ca");
    EXPECT_EQ(peer.NotBefore, "2020-01-01 00:00:00 UTC");
    EXPECT_EQ(peer.NotAfter, "2021-01-01 00:00:00 UTC");
    EXPECT_EQ(peer.Sha256, Sha256Of("expired"));
}

TEST_F(SchannelTest, ACaFileWithoutCertificatesIsRefusedAtTheStart) {
    SKIP_WITHOUT_SERVER("good");
    for (const std::string& file : {PkiFile("missing.pem"), PkiFile("good.key")}) {
        Connection link("good");
        try {
            StartTlsClient(link.Fd(), {"localhost", file, "", false});
            ADD_FAILURE() << file << " was taken as a CA file";
        } catch (const Exception& Error) {
            EXPECT_EQ(Error.Message(), "TLS: the CA file " + file + " cannot be read");
        }
    }
}

// ---- the established session ----

// Logs in to the Dovecot behind Server and returns the session.
std::unique_ptr<ITlsSession> Open(Connection& Link, const std::string& Host, std::string& Pending) {
    auto tls = StartTlsClient(Link.Fd(), {Host, PkiFile("ca.pem"), "", false});
    if (Link.Run([&] { return tls->Handshake(); }) != IoStep::Done) {
        ADD_FAILURE() << "handshake: " << TlsFailureText(tls->Failure()) << " / " << tls->FailureDetail();
        return nullptr;
    }
    const std::string greeting = ReadLine(Link, *tls, Pending);
    EXPECT_EQ(greeting.substr(0, 4), "+OK ") << greeting;
    return tls;
}

// QUIT ends the session with the server's close notice, also behind
// "trickle", which passes the server's bytes on a few at a time: every
// record and handshake message arrives in pieces.
TEST_F(SchannelTest, QuitEndsTheSessionWithTheServersCloseNoticeAlsoInPieces) {
    for (const std::string server : {"good", "trickle"}) {
        SKIP_WITHOUT_SERVER(server);
        Connection link(server);
        std::string pending;
        auto tls = Open(link, "localhost", pending);
        ASSERT_NE(tls, nullptr);
        ASSERT_TRUE(WriteAll(link, *tls, "QUIT\r\n"));
        EXPECT_EQ(ReadLine(link, *tls, pending).substr(0, 4), "+OK ");
        char byte;
        std::size_t count = 0;
        EXPECT_EQ(link.Run([&] { return tls->Read(&byte, 1, count); }), IoStep::Closed) << tls->FailureDetail();
        EXPECT_EQ(tls->Failure(), TlsFailure::None);
        EXPECT_EQ(tls->Read(&byte, 1, count), IoStep::Closed);
        EXPECT_EQ(tls->Write("NOOP\r\n", 6, count), IoStep::Closed);
        tls->Close();
        tls->Close();
        // The session waited for the rest of what it had begun to read: how
        // often depends on how busy the machine is, not whether.
        EXPECT_TRUE(server != "trickle" || link.ReadWaits > 2) << link.ReadWaits << " waits";
    }
}

TEST_F(SchannelTest, ALineReadByteByByteComesFromTheSessionWithoutWaiting) {
    SKIP_WITHOUT_SERVER("good");
    Connection link("good");
    auto tls = StartTlsClient(link.Fd(), {"localhost", PkiFile("ca.pem"), "", false});
    ASSERT_EQ(link.Run([&] { return tls->Handshake(); }), IoStep::Done);
    std::string line;
    while (line.empty() || line.back() != '\n') {
        char byte;
        std::size_t got = 0;
        // What the session holds is there at once; only an empty session
        // may ask to wait.
        const bool held = tls->HasBufferedInput();
        const IoStep step = held ? tls->Read(&byte, 1, got) : link.Run([&] { return tls->Read(&byte, 1, got); });
        ASSERT_EQ(step, IoStep::Done) << line;
        ASSERT_EQ(got, 1u);
        line += byte;
        ASSERT_LT(line.size(), 200u);
    }
    EXPECT_EQ(line.substr(0, 4), "+OK ");
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    EXPECT_FALSE(tls->HasBufferedInput());
}

// Many commands in one write: more than a record holds, through a small
// send buffer to a relay ("slow") that reads slowly, so the socket takes
// the ciphertext in parts.
TEST_F(SchannelTest, ALargeWriteIsSplitIntoRecordsAndArrivesWhole) {
    SKIP_WITHOUT_SERVER("slow");
    Connection link("slow", 4096);
    std::string pending;
    auto tls = Open(link, "localhost", pending);
    ASSERT_NE(tls, nullptr);
    IoStep last = IoStep::Done;
    ASSERT_TRUE(WriteAll(link, *tls, "USER alice\r\n"));
    ASSERT_EQ(ReadLine(link, *tls, pending, &last).substr(0, 3), "+OK")
        << static_cast<int>(last) << " " << tls->FailureDetail();
    ASSERT_TRUE(WriteAll(link, *tls, "PASS secret\r\n"));
    ASSERT_EQ(ReadLine(link, *tls, pending, &last).substr(0, 3), "+OK")
        << static_cast<int>(last) << " " << tls->FailureDetail();

    constexpr int Commands = 12000;
    std::string burst;
    for (int i = 0; i < Commands; ++i) burst += "NOOP\r\n";
    const auto start = Clock::now();
    std::size_t writes = 0;
    for (std::size_t done = 0; done < burst.size(); ++writes) {
        std::size_t sent = 0;
        const IoStep step = link.Run([&] { return tls->Write(burst.data() + done, burst.size() - done, sent); });
        ASSERT_EQ(step, IoStep::Done) << tls->FailureDetail();
        ASSERT_GT(sent, 0u);
        ASSERT_LE(sent, burst.size() - done);
        done += sent;
    }
    // STAT's reply marks the end, with the connection still open.
    ASSERT_TRUE(WriteAll(link, *tls, "STAT\r\n"));
    // The replies read as an event loop reads them: the session is asked
    // only when the socket is readable or when it says it holds input. More
    // than two full records have arrived first, so that one receive brings
    // several records.
    ASSERT_TRUE(link.WaitUnread(40000)) << "the replies did not arrive";
    std::string text = pending;
    while (text.find("+OK 1 ") == std::string::npos || text.back() != '\n') {
        const bool held = tls->HasBufferedInput();
        if (!held) {
            ASSERT_TRUE(link.WaitReadable(5000)) << "replies missing: held inside the session unsaid?";
        }
        char chunk[64];
        std::size_t got = 0;
        const IoStep step = tls->Read(chunk, sizeof chunk, got);
        if (step == IoStep::WantRead && !held) continue;
        ASSERT_EQ(step, IoStep::Done) << tls->FailureDetail();
        text.append(chunk, got);
    }
    std::string expected;
    for (int i = 0; i < Commands; ++i) expected += "+OK\r\n";
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    EXPECT_EQ(text.substr(expected.size(), 6), "+OK 1 ");
    ASSERT_TRUE(WriteAll(link, *tls, "QUIT\r\n"));
    EXPECT_GT(link.WriteWaits, 0) << "the socket always took every record whole";
    Figure("write of " + std::to_string(burst.size()) + " bytes and its replies", MillisecondsSince(start), "ms");
    Figure("waits for the socket to take more", link.WriteWaits, "");
    Figure("Write calls", static_cast<double>(writes), "");
}

// Behind "cut" the relay ends the connection halfway through the server's
// first reply record; behind "whole" right after it, without a close notice.
TEST_F(SchannelTest, AConnectionEndingInsideARecordFailsAndBetweenRecordsCloses) {
    for (const bool inside : {true, false}) {
        const char* server = inside ? "cut" : "whole";
        SKIP_WITHOUT_SERVER(server);
        Connection link(server);
        auto tls = StartTlsClient(link.Fd(), {"localhost", PkiFile("ca.pem"), "", false});
        ASSERT_EQ(link.Run([&] { return tls->Handshake(); }), IoStep::Done) << tls->FailureDetail();
        ASSERT_TRUE(WriteAll(link, *tls, "hello\n"));
        std::string pending;
        IoStep last = IoStep::Done;
        const std::string line = ReadLine(link, *tls, pending, &last);
        if (inside) {
            EXPECT_EQ(line, "");
            EXPECT_EQ(last, IoStep::Failed);
            EXPECT_EQ(tls->Failure(), TlsFailure::ConnectionFailed);
        } else {
            EXPECT_EQ(line, "olleh\n");
            EXPECT_EQ(ReadLine(link, *tls, pending, &last), "");
            EXPECT_EQ(last, IoStep::Closed);
            EXPECT_EQ(tls->Failure(), TlsFailure::None);
        }
    }
}

TEST_F(SchannelTest, AServerWithOnlyTls11IsTooOld) {
    SKIP_WITHOUT_SERVER("tls11");
    Connection link("tls11");
    auto tls = StartTlsClient(link.Fd(), {"localhost", PkiFile("ca.pem"), "", false});
    EXPECT_EQ(link.Run([&] { return tls->Handshake(); }), IoStep::Failed);
    EXPECT_EQ(tls->Failure(), TlsFailure::ProtocolTooOld) << tls->FailureDetail();
    std::printf("[ detail   ] TLS 1.1: %s\n", tls->FailureDetail().c_str());
}

// The "sni" server shows "good" to a client that asks for localhost and
// "other" to one that names no server.
TEST_F(SchannelTest, SniIsSentForANameAndNotForAnAddress) {
    SKIP_WITHOUT_SERVER("sni");
    for (const char* host : {"localhost", "127.0.0.1"}) {
        Connection link("sni");
        auto tls = StartTlsClient(link.Fd(), {host, "", "", true});
        ASSERT_EQ(link.Run([&] { return tls->Handshake(); }), IoStep::Done) << tls->FailureDetail();
        EXPECT_EQ(tls->PeerCertificate().value().Sha256, Sha256Of(host[0] == 'l' ? "good" : "other")) << host;
    }
}

// Close sends the close notice at once; the driver finds it in the log of
// the "notice" server.
TEST_F(SchannelTest, CloseSendsTheCloseNoticeOnce) {
    SKIP_WITHOUT_SERVER("notice");
    Connection link("notice");
    auto tls = StartTlsClient(link.Fd(), {"localhost", PkiFile("ca.pem"), "", false});
    ASSERT_EQ(link.Run([&] { return tls->Handshake(); }), IoStep::Done) << tls->FailureDetail();
    ASSERT_TRUE(WriteAll(link, *tls, "bye\n"));
    std::string pending;
    EXPECT_EQ(ReadLine(link, *tls, pending), "eyb\n");
    tls->Close();
    tls->Close();
    std::printf("[ notice   ] sent\n");
}

// The driver's "renegotiating" server sends "first", asks for a new
// handshake, then sends "after". Wine 8 loses its own ClientHello there, so
// the session may end; what it must not do is hang, spin or pass on
// anything wrong.
TEST_F(SchannelTest, ARenegotiationIsFollowedOrEndsTheSession) {
    SKIP_WITHOUT_SERVER("renegotiating");
    Connection link("renegotiating");
    auto tls = StartTlsClient(link.Fd(), {"localhost", PkiFile("ca.pem"), "", false});
    ASSERT_EQ(link.Run([&] { return tls->Handshake(); }), IoStep::Done) << tls->FailureDetail();
    std::string pending;
    ASSERT_EQ(ReadLine(link, *tls, pending), "first\n");
    IoStep last = IoStep::Done;
    const std::string after = ReadLine(link, *tls, pending, &last);
    if (after.empty()) {
        EXPECT_EQ(last, IoStep::Failed);
        EXPECT_EQ(tls->Failure(), TlsFailure::ConnectionFailed);
        std::printf("[ detail   ] renegotiation not completed: %s\n", tls->FailureDetail().c_str());
    } else {
        EXPECT_EQ(after, "after\n");
        std::printf("[ detail   ] renegotiation followed\n");
    }
    EXPECT_LT(link.ReadWaits + link.WriteWaits, 20);
}

}  // namespace
}  // namespace quorvel
