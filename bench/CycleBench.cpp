// quorvel-cycle-bench: wall time of one full check cycle over 1, 10 and 100
// accounts against a Dovecot on 127.0.0.1, run with the tray's own cycle.
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

namespace {

constexpr int Rounds = 5;

}  // namespace

int main() {
    try {
        std::vector<quorvel::DovecotMailbox> boxes;
        for (int i = 0; i < 100; ++i) boxes.push_back({"user" + std::to_string(i), "pass" + std::to_string(i), i % 7});
        quorvel::DovecotServer server(boxes);
        std::printf("One check cycle against Dovecot on 127.0.0.1 (%d rounds each, median)\n", Rounds);
        std::printf("    %8s %12s %16s %7s %7s\n", "accounts", "cycle ms", "ms per account", "level", "failed");
        for (int count : {1, 10, 100}) {
            quorvel::TAccounts accounts;
            for (int i = 0; i < count; ++i) {
                quorvel::TAccount& account = accounts.Add();
                account.Host = server.Host();
                account.Port = server.Port();
                account.UserID = boxes[static_cast<std::size_t>(i)].UserID;
                account.Password = boxes[static_cast<std::size_t>(i)].Password;
                account.Enabled = true;
            }
            quorvel::PollEventLoop loop;
            quorvel::TPop3Client client(loop);
            client.SetTimeOut(60000);
            quorvel::MonotonicTickClock clock;
            quorvel::TSilentCycleView view;  // the figures come from the outcome and the clock
            std::vector<double> samples;
            std::int32_t level = 0;
            bool failed = false;
            for (int round = 0; round < Rounds; ++round) {
                const auto start = std::chrono::steady_clock::now();
                failed |= quorvel::RunCheckCycle(accounts, client, clock, view, level).Failed;
                samples.push_back(quorvel::Milliseconds(std::chrono::steady_clock::now() - start));
            }
            const double median = quorvel::Summarise(samples).Median;
            std::printf("    %8d %12.1f %16.2f %7d %7s\n", count, median, median / count, level, failed ? "yes" : "no");
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvel-cycle-bench: %s\n", error.what());
        return 1;
    }
}
