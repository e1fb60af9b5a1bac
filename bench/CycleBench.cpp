// quorvel-cycle-bench: one full check cycle over 1, 10 and 100 accounts
// against a Dovecot on 127.0.0.1, run with the tray's own cycle, for plain
// text, STLS and implicit TLS accounts: the wall time and the processor time
// of this process (the client's, Dovecot runs in processes of its own).
// Prints figures; nothing passes or fails on timing.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/CheckCycle.h"
#include "app/TickClock.h"
#include "bench/Figures.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
#include "settings/Account.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/TestPki.h"

namespace {

constexpr int Rounds = 5;

struct Kind {
    const char* Name;
    quorvel::TConnectionSecurity Security;
};

}  // namespace

int main() {
    try {
        const quorvel::TestPki& pki = quorvel::TestPki::Get();
        std::vector<quorvel::DovecotMailbox> boxes;
        for (int i = 0; i < 100; ++i) boxes.push_back({"user" + std::to_string(i), "pass" + std::to_string(i), i % 7});
        quorvel::DovecotOptions options;
        options.TlsCertFile = pki.Cert("good").string();
        options.TlsKeyFile = pki.Key("good").string();
        quorvel::DovecotServer server(boxes, options);
        std::printf("One check cycle against Dovecot on 127.0.0.1 (%d rounds each, median; CPU: this process)\n",
                    Rounds);
        std::printf("    %-12s %8s %10s %12s %14s %16s %6s %7s\n", "security", "accounts", "cycle ms", "ms/account",
                    "CPU ms/account", "1st round CPU ms", "level", "failed");
        using S = quorvel::TConnectionSecurity;
        for (const Kind kind :
             {Kind{"plain text", S::None}, Kind{"STLS", S::Stls}, Kind{"implicit TLS", S::ImplicitTls}}) {
            for (int count : {1, 10, 100}) {
                quorvel::TAccounts accounts;
                for (int i = 0; i < count; ++i) {
                    quorvel::TAccount& account = accounts.Add();
                    account.Host = server.Host();
                    account.Port = kind.Security == S::ImplicitTls ? server.Pop3sPort() : server.Port();
                    account.UserID = boxes[static_cast<std::size_t>(i)].UserID;
                    account.Password = boxes[static_cast<std::size_t>(i)].Password;
                    account.Security = kind.Security;
                    account.Enabled = true;
                }
                quorvel::TPollEventLoop loop;
                quorvel::TPop3Client client(loop);
                client.SetTimeOut(60000);
                client.TlsCaFile = pki.CaFile().string();
                quorvel::TMonotonicTickClock clock;
                quorvel::TSilentCycleView view;  // the figures come from the outcome and the clock
                std::vector<double> wall, cpu;
                std::int32_t level = 0;
                bool failed = false;
                for (int round = 0; round < Rounds; ++round) {
                    const auto cpuStart = quorvel::ProcessCpuTime();
                    const auto start = std::chrono::steady_clock::now();
                    failed |= quorvel::RunCheckCycle(accounts, client, clock, view, level).Failed;
                    wall.push_back(quorvel::Milliseconds(std::chrono::steady_clock::now() - start));
                    cpu.push_back(quorvel::Milliseconds(quorvel::ProcessCpuTime() - cpuStart) / count);
                }
                const double first = cpu.front();
                const double median = quorvel::Summarise(wall).Median;
                std::printf("    %-12s %8d %10.1f %12.2f %14.2f %16.2f %6d %7s\n", kind.Name, count, median,
                            median / count, quorvel::Summarise(cpu).Median, first, level, failed ? "yes" : "no");
            }
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvel-cycle-bench: %s\n", error.what());
        return 1;
    }
}
