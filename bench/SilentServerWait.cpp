#include "bench/SilentServerWait.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "bench/Figures.h"
#include "core/Exception.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"

namespace quorvel {

namespace {

// A listening socket whose connections the kernel accepts into the backlog
// and that this program never reads from or writes to.
class SilentListener {
public:
    SilentListener() {
        Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in Address{};
        Address.sin_family = AF_INET;
        Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t Length = sizeof(Address);
        if (Fd < 0 || ::bind(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof(Address)) != 0 || ::listen(Fd, 8) != 0 ||
            ::getsockname(Fd, reinterpret_cast<sockaddr*>(&Address), &Length) != 0) {
            int Error = errno;
            if (Fd >= 0) {
                ::close(Fd);
            }
            throw std::runtime_error(std::string("cannot listen on 127.0.0.1: ") + std::strerror(Error));
        }
        Port = ntohs(Address.sin_port);
    }
    ~SilentListener() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int Fd = -1;
    std::int32_t Port = 0;
};

}  // namespace

SilentWaitFigures MeasureSilentServerWait(std::int32_t TimeOutMs, TConnectionSecurity Security) {
    SilentListener Listener;
    TPollEventLoop Loop;
    TPop3Client Client(Loop);
    Client.SetTimeOut(TimeOutMs);
    Client.Host = "127.0.0.1";
    Client.Port = Listener.Port;
    Client.UserID = "bench";
    Client.Password = "bench";
    Client.Security = Security;

    // Backstop, should the client's own time-out fail: closing the listener
    // resets the connection waiting in its queue, which ends the wait.
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    bool WatchdogFired = false;
    std::thread Watchdog([&] {
        std::unique_lock<std::mutex> Guard(Lock);
        if (!Done.wait_for(Guard, std::chrono::milliseconds(TimeOutMs) + std::chrono::seconds(20),
                           [&] { return Finished; })) {
            WatchdogFired = true;
            ::shutdown(Listener.Fd, SHUT_RDWR);
            ::close(Listener.Fd);
            Listener.Fd = -1;
        }
    });

    SilentWaitFigures Figures;
    const auto CpuBefore = ProcessCpuTime();
    const auto WallBefore = std::chrono::steady_clock::now();
    try {
        Client.Connect();
        Figures.Outcome = "unexpected: the check succeeded";
        Client.Disconnect();
    } catch (const Exception& Error) {
        Figures.Outcome = Error.Message();
    }
    Figures.Wall = std::chrono::steady_clock::now() - WallBefore;
    Figures.Cpu = ProcessCpuTime() - CpuBefore;
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Finished = true;
    }
    Done.notify_one();
    Watchdog.join();
    if (WatchdogFired) {
        Figures.Outcome += " (the client's time-out did not end the wait; the benchmark's backstop did)";
    }
    return Figures;
}

}  // namespace quorvel
