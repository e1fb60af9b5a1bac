// quorvel-tls-bench: what encryption costs a check. Against a Dovecot on
// 127.0.0.1 with a test certificate: one check with implicit TLS side by side
// with curl's pop3s, and one in plain text; the processor time and resident
// memory of whole quorvel-check and curl runs; the processor time of a wait
// on a server that never answers the handshake; the processor time of a TLS
// session resumed and of a full one. Prints figures; nothing passes or fails.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/Figures.h"
#include "bench/SilentServerWait.h"
#include "core/Exception.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
#include "net/SocketTransport.h"
#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/TestPki.h"
#include "tests/support/TempFolder.h"
#include "tests/wine/OpenSslServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Runs = 20;

double OneCheck(const quorvel::DovecotServer& Server, quorvel::TConnectionSecurity Security, std::int32_t Port) {
    quorvel::TPollEventLoop loop;
    quorvel::TPop3Client client(loop);
    client.SetTimeOut(10000);
    client.Host = Server.Host();
    client.Port = Port;
    client.UserID = "bench";
    client.Password = "bench-pass";
    client.Security = Security;
    client.TlsCaFile = quorvel::TestPki::Get().CaFile().string();
    const auto start = Clock::now();
    try {
        client.Connect();
        client.Disconnect();
    } catch (const quorvel::Exception& error) {
        std::fprintf(stderr, "    check failed: %s\n", error.Message().c_str());
        return -1;
    }
    return quorvel::Milliseconds(Clock::now() - start);
}

double OneCurl(const quorvel::DovecotServer& Server) {
    const std::string url = "pop3s://127.0.0.1:" + std::to_string(Server.Pop3sPort()) + "/";
    const auto result = quorvel::RunChild("/usr/bin/curl",
                                          {"-s", "--cacert", quorvel::TestPki::Get().CaFile().string(), "-u",
                                           "bench:bench-pass", url, "-X", "STAT", "-I"},
                                          {}, std::chrono::milliseconds(10000));
    return result.Finished && result.ExitStatus == 0 ? quorvel::Milliseconds(result.Elapsed) : -1;
}

void PrintRow(const char* Name, std::vector<double> Samples) {
    std::vector<double> good;
    for (double s : Samples)
        if (s >= 0) good.push_back(s);
    const auto summary = quorvel::Summarise(good);
    std::printf("    %-34s %4zu %8.2f %8.2f %8.2f %7zu\n", Name, summary.Runs, summary.Min, summary.Median, summary.Max,
                Samples.size() - good.size());
}

// What one child process used: peak resident memory and processor time.
struct ChildUse {
    double RssMiB = -1;
    double CpuMs = -1;
};

// Runs Program with Arguments (stdout dropped) and reports what it used;
// both figures -1 when it did not end with status 0.
ChildUse RunMeasured(const std::string& Program, const std::vector<std::string>& Arguments,
                     const std::filesystem::path& Config) {
    std::fflush(stdout);  // or the child's copy of the buffer is printed again
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!Config.empty()) ::setenv("XDG_CONFIG_HOME", Config.c_str(), 1);
        if (std::FILE* quiet = std::freopen("/dev/null", "w", stdout); !quiet) ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(Program.c_str())};
        for (const std::string& argument : Arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(Program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_usec) / 1000;
    };
    return {static_cast<double>(usage.ru_maxrss) / 1024, ms(usage.ru_utime) + ms(usage.ru_stime)};
}

// One TLS session against an s_server on Port (connect, handshake, one
// line each way, close): this process's processor time in milliseconds, or
// -1 when it failed; Resumed tells whether the handshake resumed.
double SessionCpu(std::int32_t Port, bool& Resumed) {
    quorvel::TPollEventLoop loop;
    quorvel::TSocketTransport link(loop);
    link.SetTimeOut(10000);
    link.Host = "localhost";
    link.Port = Port;
    link.TlsCaFile = quorvel::TestPki::Get().CaFile().string();
    const auto start = quorvel::ProcessCpuTime();
    try {
        link.Connect();
        link.StartTls();
        Resumed = link.TlsResumed();
        link.Writeln("KO+");
        if (link.ReadLn().rfind("+OK", 0) != 0) return -1;
        link.Disconnect();
    } catch (const quorvel::Exception& error) {
        std::fprintf(stderr, "    session failed: %s\n", error.Message().c_str());
        return -1;
    }
    return quorvel::Milliseconds(quorvel::ProcessCpuTime() - start);
}

void PrintSessions(const char* Name, const quorvel::OpenSslServer& Server) {
    std::vector<double> cpu;
    int resumed = 0;
    for (int i = 0; i < Runs + 1; ++i) {
        bool again = false;
        const double ms = SessionCpu(Server.Port(), again);
        if (i > 0) cpu.push_back(ms);  // the first one has nothing to resume
        if (i > 0 && again) ++resumed;
    }
    PrintRow(Name, cpu);
    std::printf("    %-34s %d of %d resumed\n", "", resumed, Runs);
}

std::filesystem::path SettingsFor(const TTempFolder& Folder, const quorvel::DovecotServer& Server, bool Tls) {
    const auto config = Folder.Path() / (Tls ? "tls" : "plain");
    std::filesystem::create_directories(config / "Quorvel");
    quorvel::TAccounts accounts;
    quorvel::TAccount& account = accounts.Add();
    account.Host = Server.Host();
    account.Port = Tls ? Server.Pop3sPort() : Server.Port();
    account.UserID = "bench";
    account.Password = "bench-pass";
    account.Enabled = true;
    account.Security = Tls ? quorvel::TConnectionSecurity::ImplicitTls : quorvel::TConnectionSecurity::None;
    quorvel::TRegistryStore store(config / "Quorvel" / "registry.reg");
    quorvel::SaveAccounts(store, accounts);
    return config;
}

}  // namespace

int main() {
    try {
        const auto& pki = quorvel::TestPki::Get();
        quorvel::DovecotOptions options;
        options.TlsCertFile = pki.Cert("good").string();
        options.TlsKeyFile = pki.Key("good").string();
        quorvel::DovecotServer server({{"bench", "bench-pass", 5}}, options);

        std::printf("(a) One check against Dovecot on 127.0.0.1 (5 messages), %d runs each, in turns\n", Runs);
        std::printf("    %-34s %4s %8s %8s %8s %7s\n", "ms per check", "runs", "min", "median", "max", "failed");
        std::vector<double> tls, plain, curl;
        for (int i = 0; i < 3; ++i) OneCheck(server, quorvel::TConnectionSecurity::ImplicitTls, server.Pop3sPort());
        for (int i = 0; i < Runs; ++i) {
            tls.push_back(OneCheck(server, quorvel::TConnectionSecurity::ImplicitTls, server.Pop3sPort()));
            plain.push_back(OneCheck(server, quorvel::TConnectionSecurity::None, server.Port()));
            if (::access("/usr/bin/curl", X_OK) == 0) curl.push_back(OneCurl(server));
        }
        PrintRow("quorvel, implicit TLS (port 995)", tls);
        PrintRow("curl pop3s:// -X STAT -I", curl);
        PrintRow("quorvel, plain text", plain);

        TTempFolder folder;
        const std::string program = QUORVEL_CHECK_PROGRAM;
        const std::string ca = pki.CaFile().string();
        const auto plainConfig = SettingsFor(folder, server, false);
        const auto tlsConfig = SettingsFor(folder, server, true);
        const std::vector<std::string> curlArguments{"-s",
                                                     "--cacert",
                                                     ca,
                                                     "-u",
                                                     "bench:bench-pass",
                                                     "pop3s://127.0.0.1:" + std::to_string(server.Pop3sPort()) + "/",
                                                     "-X",
                                                     "STAT",
                                                     "-I"};
        std::vector<double> plainCpu, tlsCpu, curlCpu;
        ChildUse plainUse, tlsUse;
        for (int i = 0; i < Runs; ++i) {
            plainUse = RunMeasured(program, {}, plainConfig);
            tlsUse = RunMeasured(program, {"--ca-file", ca}, tlsConfig);
            plainCpu.push_back(plainUse.CpuMs);
            tlsCpu.push_back(tlsUse.CpuMs);
            if (::access("/usr/bin/curl", X_OK) == 0)
                curlCpu.push_back(RunMeasured("/usr/bin/curl", curlArguments, {}).CpuMs);
        }
        std::printf("\n(b) Processor time (user+sys) of the whole process, one account, %d runs each, in turns\n",
                    Runs);
        std::printf("    %-34s %4s %8s %8s %8s %7s\n", "CPU ms per run", "runs", "min", "median", "max", "failed");
        PrintRow("quorvel-check, implicit TLS", tlsCpu);
        PrintRow("curl pop3s:// --cacert -X STAT -I", curlCpu);
        PrintRow("quorvel-check, plain text", plainCpu);
        std::printf("\n    Peak resident memory of one quorvel-check run\n");
        std::printf("    plain text:   %.1f MiB\n    implicit TLS: %.1f MiB\n", plainUse.RssMiB, tlsUse.RssMiB);

        std::printf(
            "\n(c) One implicit-TLS check waiting 10 s on a server that accepts and never answers the handshake\n");
        const auto silent = quorvel::MeasureSilentServerWait(10000, quorvel::TConnectionSecurity::ImplicitTls);
        const double wallMs = quorvel::Milliseconds(silent.Wall);
        const double cpuMs = quorvel::Milliseconds(silent.Cpu);
        std::printf(
            "    ended with:      %s\n    wall time:       %.1f ms\n    CPU (user+sys):  %.2f ms (%.3f %% of one "
            "core)\n",
            silent.Outcome.c_str(), wallMs, cpuMs, wallMs > 0 ? 100.0 * cpuMs / wallMs : 0.0);
        // Dovecot starts a log-in process per connection, so it never
        // resumes: s_server (with tickets, and with none) shows the two.
        std::printf("\n(d) One TLS session with openssl s_server on 127.0.0.1, %d runs each: this process's CPU\n",
                    Runs);
        std::printf("    %-34s %4s %8s %8s %8s %7s\n", "CPU ms per session", "runs", "min", "median", "max", "failed");
        const std::vector<std::string> certificate{"-cert", pki.Cert("good").string(), "-key",
                                                   pki.Key("good").string()};
        {
            quorvel::OpenSslServer resuming(certificate);
            PrintSessions("handshake resumed where it can", resuming);
        }
        {
            std::vector<std::string> noTickets = certificate;
            noTickets.insert(noTickets.end(), {"-num_tickets", "0", "-no_cache"});
            quorvel::OpenSslServer full(noTickets);
            PrintSessions("full handshake (server keeps none)", full);
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvel-tls-bench: %s\n", error.what());
        return 1;
    }
}
