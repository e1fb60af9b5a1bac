// quorvel: the POP3 mail checker of the notification area.
#include <QApplication>
#include <cstdio>
#include <exception>
#include <string>

#include "app/DisplayCheck.h"
#include "app/InstanceGuard.h"
#include "core/Guarded.h"
#include "gui/ErrorReport.h"
#include "gui/qt/HeapTrim.h"
#include "gui/qt/MainForm.h"
#include "gui/qt/QtEventLoop.h"
#include "gui/qt/UnixSignals.h"

namespace {

int RunProgram(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);

    // A signal during the start-up check comes before the main loop runs,
    // when quitting the loop would be lost: it is remembered as well.
    bool endRequested = false;
    quorvel::TUnixSignals endOnSignal([&endRequested] {
        endRequested = true;
        QApplication::quit();
    });
    quorvel::TQtEventLoop loop([](const std::string& message) { quorvel::ShowErrorReport(message); });

    // The first check runs before the loop.
    quorvel::TMainForm mainForm(loop);
    mainForm.Start();
    if (mainForm.CloseRequested() || endRequested) return 0;
    quorvel::TrimHeapSoon();
    QApplication::exec();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // One copy per user: a second start ends at once, silently.
    quorvel::TInstanceGuard guard(quorvel::TInstanceGuard::DefaultPath());
    if (!guard.Held() && !guard.Failed()) return 0;

    std::string why;
    if (!quorvel::DisplayReachable(why)) {
        std::fprintf(stderr,
                     "quorvel: %s; it needs a desktop to show its tray icon (quorvel-check checks without one)\n",
                     why.c_str());
        return 1;
    }
    // The application object is gone once this fails; only the terminal can be told.
    quorvel::Guarded([](const std::string& message) { std::fprintf(stderr, "quorvel: %s\n", message.c_str()); },
                     [&] { RunProgram(argc, argv); });
    return 0;
}
