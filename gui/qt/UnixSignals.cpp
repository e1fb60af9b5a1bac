#include "gui/qt/UnixSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace quorvel {

namespace {

int WakeFd = -1;

extern "C" void OnUnixSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe already holds a wake-up.
    [[maybe_unused]] const auto written = ::write(WakeFd, &byte, 1);
}

}  // namespace

struct TUnixSignals::Private {
    int Fds[2] = {-1, -1};
    QSocketNotifier* Notifier = nullptr;
};

TUnixSignals::TUnixSignals(std::function<void()> OnSignal) : D(new Private) {
    if (::pipe2(D->Fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    WakeFd = D->Fds[1];
    D->Notifier = new QSocketNotifier(D->Fds[0], QSocketNotifier::Read);
    QObject::connect(D->Notifier, &QSocketNotifier::activated, [fd = D->Fds[0], OnSignal] {
        char buffer[16];
        while (::read(fd, buffer, sizeof buffer) > 0) {}
        OnSignal();
    });
    struct sigaction action {};
    action.sa_handler = OnUnixSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

TUnixSignals::~TUnixSignals() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    delete D->Notifier;
    for (int fd : D->Fds)
        if (fd >= 0) ::close(fd);
    WakeFd = -1;
    delete D;
}

}  // namespace quorvel
