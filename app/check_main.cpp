// quorvel-check: one check of every enabled account, as the tray makes it,
// for scripts, status bars and machines without a display.
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/AccountCheck.h"
#include "app/TrayCycleReport.h"
#include "core/VisibleText.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"

namespace {

constexpr int ExitAllChecked = 0;
constexpr int ExitAccountFailed = 1;
constexpr int ExitNoSettings = 2;

void PrintUsage() {
    std::cout << "Usage: quorvel-check [--ca-file FILE] [--tray]\n"
                 "Checks every enabled Quorvel account once and prints one line per account:\n"
                 "  USER@HOST: COUNT            the mailbox holds COUNT messages\n"
                 "  USER@HOST: COUNT (QUIT failed: MESSAGE)\n"
                 "                              counted, but the log-out failed\n"
                 "  USER@HOST: failed: MESSAGE  the check failed\n"
                 "With --tray it prints what the tray would show instead: the status hint,\n"
                 "  the signal level (0-4), then one summary line per account with mail.\n"
                 "With --ca-file the CAs in FILE (PEM) are trusted for TLS as well as\n"
                 "  the system's.\n"
                 "Control characters in what a server or the settings say are shown\n"
                 "as escapes (\\x1b).\n"
                 "Exit status: 0 every account was checked, 1 an account failed or\n"
                 "could not be loaded (with --tray: the cycle failed), 2 the settings\n"
                 "could not be read.\n";
}

int Run(bool AsTray, const std::string& CaFile) {
    quorvel::TAccounts accounts;
    std::uint32_t period = 0;
    std::vector<quorvel::TDroppedAccount> dropped;
    try {
        quorvel::RegistryStore store(quorvel::RegistryStore::DefaultPath());
        quorvel::LoadSettings(store, accounts, period, &dropped);
    } catch (const std::exception& error) {
        std::cerr << "quorvel-check: " << quorvel::VisibleText(error.what()) << '\n';
        return ExitNoSettings;
    }

    int status = ExitAllChecked;
    // An account the tray would leave out, and whose key its next save of
    // the accounts would remove, is a failure to report.
    for (const quorvel::TDroppedAccount& account : dropped) {
        std::cerr << "quorvel-check: account " << quorvel::AccountsKeyPath << '\\' << quorvel::VisibleText(account.Key)
                  << " not loaded: " << quorvel::VisibleText(account.Reason) << '\n';
        status = ExitAccountFailed;
    }

    quorvel::PollEventLoop loop([](const std::string& message) { std::cerr << "quorvel-check: " << message << '\n'; });
    quorvel::TPop3Client client(loop);
    client.SetTimeOut(quorvel::CheckTimeOutMs);
    client.TlsCaFile = CaFile;

    if (AsTray) {
        const bool failed = quorvel::ReportTrayCycle(accounts, client, std::cout);
        return failed ? ExitAccountFailed : status;
    }

    bool anyEnabled = false;
    for (std::int32_t i = 0; i < accounts.Count(); ++i) {
        const quorvel::TAccount& account = accounts.Items(i);
        if (!account.Enabled) continue;
        anyEnabled = true;
        const auto result = quorvel::CheckAccount(client, account);
        // What the settings and the server say may hold terminal controls.
        std::cout << quorvel::VisibleText(quorvel::AccountName(account)) << ": ";
        if (result.Succeeded) {
            std::cout << result.Count << '\n';
        } else if (result.Counted) {
            std::cout << result.Count << " (QUIT failed: " << quorvel::VisibleText(result.Message) << ")\n";
            status = ExitAccountFailed;
        } else {
            std::cout << "failed: " << quorvel::VisibleText(result.Message) << '\n';
            status = ExitAccountFailed;
        }
        std::cout.flush();
    }
    if (!anyEnabled) std::cerr << "quorvel-check: no account is set up and enabled\n";
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    bool asTray = false;
    std::string caFile;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tray") == 0 && !asTray) {
            asTray = true;
        } else if (std::strcmp(argv[i], "--ca-file") == 0 && i + 1 < argc && caFile.empty() && argv[i + 1][0] != '\0') {
            caFile = argv[++i];
        } else {
            const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
            PrintUsage();
            return help && argc == 2 ? 0 : ExitNoSettings;
        }
    }
    try {
        return Run(asTray, caFile);
    } catch (const std::exception& error) {
        std::cerr << "quorvel-check: " << quorvel::VisibleText(error.what()) << '\n';
        return ExitNoSettings;
    }
}
