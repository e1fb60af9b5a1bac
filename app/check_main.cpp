// quorvel-check: one check of every enabled account, as the tray makes it,
// for scripts, status bars and machines without a display.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/AccountCheck.h"
#include "app/Browser.h"
#include "app/ConsoleText.h"
#include "app/OAuthAccess.h"
#include "app/TrayCycleReport.h"
#include "core/VisibleText.h"
#include "net/CommandLineLoop.h"
#include "net/HttpClient.h"
#include "net/Pop3Client.h"
#include "settings/Account.h"
#include "settings/SecretStore.h"
#include "settings/Settings.h"
#include "settings/UserSettings.h"

namespace {

constexpr int ExitAllChecked = 0;
constexpr int ExitAccountFailed = 1;
constexpr int ExitNoSettings = 2;

void PrintUsage() {
    std::cout << "Usage: quorvel-check [--ca-file FILE] [--tray]\n"
                 "       quorvel-check --sign-in USER@HOST\n"
                 "Checks every enabled Quorvel account once and prints one line per account:\n"
                 "  USER@HOST: COUNT            the mailbox holds COUNT messages\n"
                 "  USER@HOST: COUNT (QUIT failed: MESSAGE)\n"
                 "                              counted, but the log-out failed\n"
                 "  USER@HOST: failed: MESSAGE  the check failed\n"
                 "With --tray it prints what the tray would show instead: the status hint,\n"
                 "  the signal level (0-4), then one summary line per account with mail.\n"
                 "With --ca-file the CAs in FILE (PEM) are trusted for TLS as well as\n"
                 "  the system's.\n"
                 "With --sign-in the OAuth 2.0 account USER@HOST (as the lines above name\n"
                 "  it) signs in in the browser; its tokens go to the system's secret store.\n"
                 "Control characters in what a server or the settings say are shown\n"
                 "as escapes (\\x1b).\n"
                 "Exit status: 0 every account was checked, 1 an account failed or\n"
                 "could not be loaded, or the settings file is damaged (with --tray:\n"
                 "also when the cycle failed), 2 the settings could not be read.\n";
}

// Signs the account named Name in; 0 when it is signed in, 1 when not.
int SignInAccount(const quorvel::TAccounts& Accounts, const std::string& Name) {
    const quorvel::TAccount* found = nullptr;
    for (std::int32_t i = 0; i < Accounts.Count() && found == nullptr; ++i) {
        if (quorvel::AccountName(Accounts.Items(i)) == Name) found = &Accounts.Items(i);
    }
    if (found == nullptr) {
        std::cerr << "quorvel-check: no account " << quorvel::VisibleText(Name) << '\n';
        return ExitAccountFailed;
    }
    const auto loop = quorvel::MakeCommandLineLoop(
        [](const std::string& message) { std::cerr << "quorvel-check: " << message << '\n'; });
    const auto store = quorvel::OpenSecretStore();
    const auto http = quorvel::MakeHttpClient();
    try {
        // No browser to start (a headless machine): the address above is
        // the way on, and the wait goes on.
        const auto openBrowser = [](const std::string& url) {
            try {
                quorvel::OpenInBrowser(url);
            } catch (const std::exception& error) {
                std::cerr << "quorvel-check: " << quorvel::VisibleText(error.what())
                          << "; open the address above in a browser\n";
            }
        };
        quorvel::SignIn(*loop, *found, *store, *http, openBrowser, [](const std::string& url) {
            std::cerr << "quorvel-check: signing in; if no browser opens, open this address:\n"
                      << quorvel::VisibleText(url) << '\n';
        });
    } catch (const std::exception& error) {
        std::cout << quorvel::VisibleText(Name) << ": sign-in failed: " << quorvel::VisibleText(error.what()) << '\n';
        return ExitAccountFailed;
    }
    std::cout << quorvel::VisibleText(Name) << ": signed in\n";
    return ExitAllChecked;
}

// Whether any enabled account signs in with OAuth.
bool AnyOAuth(const quorvel::TAccounts& Accounts) {
    for (std::int32_t i = 0; i < Accounts.Count(); ++i) {
        const quorvel::TAccount& account = Accounts.Items(i);
        if (account.Enabled && account.Auth == quorvel::TAuthMethod::OAuth) return true;
    }
    return false;
}

int Run(bool AsTray, const std::string& CaFile, const std::string& SignInName) {
    quorvel::TAccounts accounts;
    std::uint32_t period = 0;
    std::vector<quorvel::TDroppedAccount> dropped;
    std::string damage;
    try {
        const std::unique_ptr<quorvel::IRegistry> store = quorvel::OpenUserSettings();
        quorvel::LoadSettings(*store, accounts, period, &dropped);
        damage = store->DamageReport();
    } catch (const std::exception& error) {
        std::cerr << "quorvel-check: " << quorvel::VisibleText(error.what()) << '\n';
        return ExitNoSettings;
    }

    int status = ExitAllChecked;
    // Parts of the file that were skipped may have held accounts; the check
    // runs with the rest, but the run does not pass as all checked.
    if (!damage.empty()) {
        std::istringstream lines(damage);
        for (std::string line; std::getline(lines, line);) {
            std::cerr << "quorvel-check: " << quorvel::VisibleText(line) << '\n';
        }
        status = ExitAccountFailed;
    }
    // An account the tray would leave out, and whose key its next save of
    // the accounts would remove, is a failure to report.
    for (const quorvel::TDroppedAccount& account : dropped) {
        std::cerr << "quorvel-check: account " << quorvel::AccountsKeyPath << '\\' << quorvel::VisibleText(account.Key)
                  << " not loaded: " << quorvel::VisibleText(account.Reason) << '\n';
        status = ExitAccountFailed;
    }

    if (!SignInName.empty()) return std::max(status, SignInAccount(accounts, SignInName));

    const auto loop = quorvel::MakeCommandLineLoop(
        [](const std::string& message) { std::cerr << "quorvel-check: " << message << '\n'; });
    // Nothing of OAuth is loaded for password accounts.
    std::unique_ptr<quorvel::ISecretStore> secrets;
    std::unique_ptr<quorvel::IHttpClient> http;
    std::unique_ptr<quorvel::TOAuthAccess> oauth;
    if (AnyOAuth(accounts)) {
        secrets = quorvel::OpenSecretStore();
        http = quorvel::MakeHttpClient();
        oauth = std::make_unique<quorvel::TOAuthAccess>(*secrets, *http, nullptr);
    }
    quorvel::TPop3Client client(*loop);
    client.SetTimeOut(quorvel::CheckTimeOutMs);
    client.TlsCaFile = CaFile;

    if (AsTray) {
        const bool failed = quorvel::ReportTrayCycle(accounts, client, std::cout, oauth.get());
        return failed ? ExitAccountFailed : status;
    }

    bool anyEnabled = false;
    for (std::int32_t i = 0; i < accounts.Count(); ++i) {
        const quorvel::TAccount& account = accounts.Items(i);
        if (!account.Enabled) continue;
        anyEnabled = true;
        const auto result = quorvel::CheckAccount(client, account, oauth.get());
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
    quorvel::UseUtf8Console();
    const std::vector<std::string> arguments = quorvel::CommandLineArguments(argc, argv);
    bool asTray = false;
    std::string caFile;
    std::string signIn;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--tray" && !asTray) {
            asTray = true;
        } else if (argument == "--ca-file" && i + 1 < arguments.size() && caFile.empty() && !arguments[i + 1].empty()) {
            caFile = arguments[++i];
        } else if (argument == "--sign-in" && i + 1 < arguments.size() && signIn.empty() && !asTray &&
                   !arguments[i + 1].empty()) {
            signIn = arguments[++i];
        } else {
            const bool help = argument == "--help" || argument == "-h";
            PrintUsage();
            return help && arguments.size() == 1 ? 0 : ExitNoSettings;
        }
    }
    try {
        if (asTray && !signIn.empty()) {
            PrintUsage();
            return ExitNoSettings;
        }
        return Run(asTray, caFile, signIn);
    } catch (const std::exception& error) {
        std::cerr << "quorvel-check: " << quorvel::VisibleText(error.what()) << '\n';
        return ExitNoSettings;
    }
}
