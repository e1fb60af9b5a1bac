// The Windows build's TLS session (Schannel) against real servers on this
// machine: Dovecot with each test certificate, and openssl s_server for an
// old protocol, SNI and connections cut by a relay. The Windows test
// program tests/winnet/SchannelTest_win32.cpp runs under Wine with the
// servers' ports and must pass every case without skipping any.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/TestPki.h"
#include "tests/wine/OpenSslServer.h"
#include "tests/wine/TlsRecordRelay.h"
#include "tests/wine/WineRunner.h"

namespace quorvel {
namespace {

const char* const Program = "tests/winnet/schannel_tests.exe";
const char* const Leaves[] = {"good", "other", "expired", "notyet", "self", "unknown"};
const auto RunLimit = std::chrono::minutes(3);

std::vector<std::string> CertificateOptions(const std::string& Leaf) {
    const TestPki& pki = TestPki::Get();
    return {"-cert", pki.Cert(Leaf).string(), "-key", pki.Key(Leaf).string()};
}

std::vector<std::string> Joined(std::vector<std::string> First, const std::vector<std::string>& Second) {
    First.insert(First.end(), Second.begin(), Second.end());
    return First;
}

// Every server of the Windows program's cases, started once.
struct Servers {
    Servers() {
        const TestPki& pki = TestPki::Get();
        for (const std::string leaf : Leaves) {
            DovecotOptions options;
            options.TlsCertFile = pki.Cert(leaf).string();
            options.TlsKeyFile = pki.Key(leaf).string();
            Dovecots.push_back(
                std::make_unique<DovecotServer>(std::vector<DovecotMailbox>{{"alice", "secret", 1}}, options));
            Ports[leaf] = Dovecots.back()->Pop3sPort();
        }
        // A private CA's server: "unknown" followed by its own root, ca2.
        const auto chain = pki.CaFile().parent_path() / "unknown-chain.pem";
        std::ofstream(chain) << std::ifstream(pki.Cert("unknown")).rdbuf()
                             << std::ifstream(pki.CaFile().parent_path() / "ca2.pem").rdbuf();
        DovecotOptions chained;
        chained.TlsCertFile = chain.string();
        chained.TlsKeyFile = pki.Key("unknown").string();
        Dovecots.push_back(
            std::make_unique<DovecotServer>(std::vector<DovecotMailbox>{{"alice", "secret", 1}}, chained));
        Ports["unknown-chain"] = Dovecots.back()->Pop3sPort();
        Relays.push_back(std::make_unique<TlsRecordRelay>(Ports["good"], TlsRecordRelay::Mode::Trickle));
        Ports["trickle"] = Relays.back()->Port();
        Relays.push_back(std::make_unique<TlsRecordRelay>(Ports["good"], TlsRecordRelay::Mode::SlowReader));
        Ports["slow"] = Relays.back()->Port();

        // TLS 1.2 only, so that the relay can tell the handshake from the
        // first reply.
        Reverser = std::make_unique<OpenSslServer>(Joined(CertificateOptions("good"), {"-tls1_2"}));
        Relays.push_back(std::make_unique<TlsRecordRelay>(Reverser->Port(), TlsRecordRelay::Mode::EndInsideReply));
        Ports["cut"] = Relays.back()->Port();
        Relays.push_back(std::make_unique<TlsRecordRelay>(Reverser->Port(), TlsRecordRelay::Mode::EndAfterReply));
        Ports["whole"] = Relays.back()->Port();

        // OpenSSL 3 allows TLS 1.1 only at security level 0.
        Old = std::make_unique<OpenSslServer>(
            Joined(CertificateOptions("good"), {"-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"}));
        Ports["tls11"] = Old->Port();
        Sni = std::make_unique<OpenSslServer>(Joined(
            CertificateOptions("other"),
            {"-servername", "localhost", "-cert2", pki.Cert("good").string(), "-key2", pki.Key("good").string()}));
        Ports["sni"] = Sni->Port();
        Notice = std::make_unique<OpenSslServer>(Joined(CertificateOptions("good"), {"-msg"}));
        Ports["notice"] = Notice->Port();
        Typed = std::make_unique<OpenSslServer>(Joined(CertificateOptions("good"), {"-tls1_2"}),
                                                OpenSslServer::Mode::Typed);
        Ports["renegotiating"] = Typed->Port();
    }

    std::map<std::string, std::string> Environment() const {
        const TestPki& pki = TestPki::Get();
        std::string ports;
        for (const auto& [name, port] : Ports) ports += (ports.empty() ? "" : ",") + name + "=" + std::to_string(port);
        std::string sums;
        for (const std::string name : {"good", "other", "expired", "notyet", "self", "self2", "unknown"}) {
            sums += (sums.empty() ? "" : ",") + name + "=" + pki.Sha256(name);
        }
        sums += ",unknown-chain=" + pki.Sha256("unknown");
        return {{"QUORVEL_TLS_PORTS", ports},
                {"QUORVEL_TLS_SHA256", sums},
                {"QUORVEL_TLS_PKI", WineRunner::WindowsPath(pki.CaFile().parent_path())}};
    }

    std::vector<std::unique_ptr<DovecotServer>> Dovecots;
    std::vector<std::unique_ptr<TlsRecordRelay>> Relays;
    std::unique_ptr<OpenSslServer> Reverser;
    std::unique_ptr<OpenSslServer> Old;
    std::unique_ptr<OpenSslServer> Sni;
    std::unique_ptr<OpenSslServer> Notice;
    std::unique_ptr<OpenSslServer> Typed;
    std::map<std::string, std::int32_t> Ports;
};

class SchannelWineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (WineRunner().SkipReason(Program).empty()) Started = std::make_unique<Servers>();
    }
    static void TearDownTestSuite() { Started.reset(); }

    void SetUp() override {
        const std::string reason = Runner.SkipReason(Program);
        if (!reason.empty()) GTEST_SKIP() << reason;
    }

    // Runs the cases matching Filter; all of them must pass, none skip.
    void RunCases(const std::string& Filter, const char* Which = Program) {
        const WineResult result = Runner.Run(Which, {"--gtest_filter=" + Filter}, Started->Environment(), RunLimit);
        const std::string& out = result.Output;
        // QUORVEL_SHOW_WINDOWS_OUTPUT: the program's whole output, also when it passes.
        if (std::getenv("QUORVEL_SHOW_WINDOWS_OUTPUT") != nullptr)
            std::printf("%s%s", out.c_str(), result.Errors.c_str());
        ASSERT_TRUE(result.Finished) << "killed after " << RunLimit.count() << " min\n" << out << result.Errors;
        EXPECT_EQ(result.ExitStatus, 0) << out << result.Errors;
        EXPECT_EQ(out.find("[  SKIPPED ]"), std::string::npos) << out;
        EXPECT_NE(out.find("[  PASSED  ]"), std::string::npos) << out << result.Errors;
        EXPECT_EQ(out.find("[  PASSED  ] 0 tests"), std::string::npos) << out;
        // The program's own measurements and what the library said, for the log.
        for (std::size_t at = 0; at < out.size();) {
            const std::size_t end = std::min(out.find('\n', at), out.size());
            const std::string line = out.substr(at, end - at);
            if (line.rfind("[ figure", 0) == 0 || line.rfind("[ detail", 0) == 0) std::printf("%s\n", line.c_str());
            at = end + 1;
        }
        std::printf("[ figure   ] the Windows program ran %.1f s under Wine\n",
                    std::chrono::duration<double>(result.Elapsed).count());
    }

    static std::unique_ptr<Servers> Started;
    WineRunner Runner;
};

std::unique_ptr<Servers> SchannelWineTest::Started;

TEST_F(SchannelWineTest, CertificatesAreCheckedAsOnLinux) {
    RunCases("Certificates/*:SchannelTest.TheCertificate*:SchannelTest.ACaFile*");
}

TEST_F(SchannelWineTest, TheSessionReadsWritesAndEnds) {
    RunCases(
        "SchannelTest.Quit*:SchannelTest.ALine*:SchannelTest.ALargeWrite*:"
        "SchannelTest.AConnection*:SchannelTest.AServerWith*:SchannelTest.Sni*");
}

TEST_F(SchannelWineTest, CloseSendsOneCloseNotice) {
    RunCases("SchannelTest.Close*");
    const std::string log = Started->Notice->Log();
    std::size_t notices = 0;
    for (std::size_t at = log.find("<<< "); at != std::string::npos; at = log.find("<<< ", at + 1)) {
        const std::string line = log.substr(at, log.find('\n', at) - at);
        if (line.find("Alert") != std::string::npos && line.find("close_notify") != std::string::npos) ++notices;
    }
    EXPECT_EQ(notices, 1u) << log;
}

// The server sends a line, asks for a new handshake (a TLS 1.2
// HelloRequest: Schannel's SEC_I_RENEGOTIATE) and sends another line.
TEST_F(SchannelWineTest, ARenegotiationIsFollowedOrEndsTheSession) {
    OpenSslServer& server = *Started->Typed;
    std::string failure;
    std::thread typist([&server, &failure] {
        if (!server.WaitForLog("CIPHER is", std::chrono::seconds(30))) return;
        try {
            for (const char* line : {"first\n", "r\n", "after\n"}) server.Type(line);
        } catch (const std::exception& error) {
            failure = error.what();
        }
    });
    RunCases("SchannelTest.ARenegotiation*");
    typist.join();
    EXPECT_EQ(failure, "");
}

// "証明書を取得..." of the Windows account edit dialog fetches the
// self-signed server's certificate over Schannel and shows it for trusting.
TEST_F(SchannelWineTest, AccountDialogFetchesTheCertificateToTrust) {
    const char* const dialogs = "tests/windialogs/windialog_tests.exe";
    if (const std::string reason = Runner.SkipReason(dialogs); !reason.empty()) GTEST_SKIP() << reason;
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "the dialog needs an X display (DISPLAY)";
    RunCases("CertificateFetch.*", dialogs);
}

}  // namespace
}  // namespace quorvel
