// quorvel: the POP3 mail checker of the notification area.
#include <QApplication>
#include <cstdio>
#include <exception>

#include "app/ErrorReport.h"
#include "app/InstanceGuard.h"
#include "app/QtEventLoop.h"
#include "app/UnixSignals.h"
#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"

namespace {

int RunProgram(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);

    quorvel::UnixSignals endOnSignal([] { QApplication::quit(); });
    quorvel::QtEventLoop loop([](const std::string& message) { quorvel::ShowErrorReport(message); });

    quorvel::TAccounts accounts;
    std::uint32_t timerPeriodMs = 0;
    try {
        quorvel::RegistryStore store(quorvel::RegistryStore::DefaultPath());
        quorvel::LoadSettings(store, accounts, timerPeriodMs);
    } catch (const std::exception& error) {
        quorvel::ShowErrorReport(error.what());
    }

    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    // One copy per user: a second start ends at once, silently.
    quorvel::InstanceGuard guard(quorvel::InstanceGuard::DefaultPath());
    if (!guard.Held() && !guard.Failed()) return 0;
    try {
        RunProgram(argc, argv);
    } catch (const std::exception& error) {
        // The application object is gone here; only the terminal can be told.
        std::fprintf(stderr, "quorvel: %s\n", error.what());
    }
    return 0;
}
