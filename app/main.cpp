// quorvel: the POP3 mail checker of the notification area.
#include <QApplication>
#include <cstdio>
#include <exception>
#include <string>

#include "app/DisplayCheck.h"
#include "app/ErrorReport.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/QtEventLoop.h"
#include "app/UnixSignals.h"

namespace {

int RunProgram(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);

    // A signal during the start-up check comes before the main loop runs,
    // when quitting the loop would be lost: it is remembered as well.
    bool endRequested = false;
    quorvel::UnixSignals endOnSignal([&endRequested] {
        endRequested = true;
        QApplication::quit();
    });
    quorvel::QtEventLoop loop([](const std::string& message) { quorvel::ShowErrorReport(message); });

    // The first check runs while the main window is made, before the loop.
    quorvel::TMainForm mainForm(loop);
    if (mainForm.CloseRequested() || endRequested) return 0;
    QApplication::exec();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // One copy per user: a second start ends at once, silently.
    quorvel::InstanceGuard guard(quorvel::InstanceGuard::DefaultPath());
    if (!guard.Held() && !guard.Failed()) return 0;

    std::string why;
    if (!quorvel::DisplayReachable(why)) {
        std::fprintf(stderr,
                     "quorvel: %s; it needs a desktop to show its tray icon (quorvel-check checks without one)\n",
                     why.c_str());
        return 1;
    }
    try {
        RunProgram(argc, argv);
    } catch (const std::exception& error) {
        // The application object is gone here; only the terminal can be told.
        std::fprintf(stderr, "quorvel: %s\n", error.what());
    }
    return 0;
}
