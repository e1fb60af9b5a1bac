// The wake-up as a pipe the event loop watches.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "net/LoopWake.h"

namespace quorvel {

namespace {

// Both ends of the pipe live as long as the sender: a late Wake writes into
// a pipe nobody reads, never into a descriptor reused for something else.
class PipeSender final : public ILoopWakeSender {
public:
    PipeSender() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
        ReadFd = fds[0];
        WriteFd = fds[1];
    }
    ~PipeSender() override {
        ::close(ReadFd);
        ::close(WriteFd);
    }
    void Wake() override {
        const char byte = 1;
        while (::write(WriteFd, &byte, 1) < 0 && errno == EINTR) {}
    }
    int ReadFd = -1;
    int WriteFd = -1;
};

class PipeWake final : public ILoopWake {
public:
    PipeWake(IEventLoop& Loop, std::function<void()> onWake)
        : Pipe(std::make_shared<PipeSender>()), OnWake(std::move(onWake)) {
        Watch = Loop.WatchSocket(Pipe->ReadFd, [this](TSocketReadiness) { Drain(); });
        Watch->SetInterest(true, false);
    }
    std::shared_ptr<ILoopWakeSender> Sender() const override { return Pipe; }

private:
    void Drain() {
        char bytes[64];
        bool woken = false;
        while (::read(Pipe->ReadFd, bytes, sizeof bytes) > 0) woken = true;
        if (!woken) return;
        // The handler may destroy this object; nothing is touched afterwards.
        std::function<void()> handler = OnWake;
        handler();
    }

    std::shared_ptr<PipeSender> Pipe;
    std::function<void()> OnWake;
    std::unique_ptr<ISocketWatch> Watch;
};

}  // namespace

std::unique_ptr<ILoopWake> MakeLoopWake(IEventLoop& Loop, std::function<void()> OnWake) {
    return std::make_unique<PipeWake>(Loop, std::move(OnWake));
}

}  // namespace quorvel
