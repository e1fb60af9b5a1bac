#include "tests/pop3server/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> ChildEnvironment(const std::map<std::string, std::string>& Changes) {
    std::vector<std::string> Result;
    for (char** Entry = environ; *Entry != nullptr; ++Entry) {
        std::string Text = *Entry;
        std::string Name = Text.substr(0, Text.find('='));
        if (Changes.find(Name) == Changes.end()) {
            Result.push_back(Text);
        }
    }
    for (const auto& [Name, Value] : Changes) {
        Result.push_back(Name + "=" + Value);
    }
    return Result;
}

std::vector<char*> Pointers(std::vector<std::string>& Texts) {
    std::vector<char*> Result;
    for (auto& Text : Texts) {
        Result.push_back(Text.data());
    }
    Result.push_back(nullptr);
    return Result;
}

}  // namespace

ChildResult RunChild(const std::string& Program, const std::vector<std::string>& Arguments,
                     const std::map<std::string, std::string>& Environment, std::chrono::milliseconds Limit) {
    // Everything the child needs is built before fork: after it only
    // async-signal-safe calls are allowed.
    std::vector<std::string> ArgTexts{Program};
    ArgTexts.insert(ArgTexts.end(), Arguments.begin(), Arguments.end());
    std::vector<std::string> EnvTexts = ChildEnvironment(Environment);
    std::vector<char*> Argv = Pointers(ArgTexts);
    std::vector<char*> Envp = Pointers(EnvTexts);

    int Pipe[2];
    if (::pipe2(Pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe failed: ") + std::strerror(errno));
    }
    int NullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const auto Start = Clock::now();
    const pid_t Parent = ::getpid();
    pid_t Child = ::fork();
    if (Child == 0) {
        // Its own process group, so that a child killed for overrunning
        // takes whatever it started with it.
        ::setpgid(0, 0);
        // It dies with this process too.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != Parent) {
            ::_exit(127);
        }
        if (NullFd >= 0) {
            ::dup2(NullFd, 0);
        }
        ::dup2(Pipe[1], 1);
        ::execve(Program.c_str(), Argv.data(), Envp.data());
        ::_exit(127);
    }
    ::close(Pipe[1]);
    if (NullFd >= 0) {
        ::close(NullFd);
    }
    if (Child < 0) {
        ::close(Pipe[0]);
        throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    }
    ::setpgid(Child, Child);

    ChildResult Result;
    const auto Deadline = Start + Limit;
    // The child's end is seen on a process descriptor, so neither its output
    // nor its exit is polled for with sleeps.
    const int ProcessFd = static_cast<int>(::syscall(SYS_pidfd_open, Child, 0));
    bool Open = true;
    bool Exited = false;
    bool Killed = false;
    int Status = 0;
    auto Reap = [&](int Flags) {
        for (;;) {
            pid_t Done = ::waitpid(Child, &Status, Flags);
            if (Done == Child || (Done < 0 && errno != EINTR)) {
                return true;
            }
            if (Done == 0) {
                return false;
            }
        }
    };
    auto Drain = [&](bool Wait) {
        char Buffer[4096];
        ssize_t Got = ::read(Pipe[0], Buffer, sizeof(Buffer));
        if (Got > 0) {
            Result.Output.append(Buffer, static_cast<std::size_t>(Got));
            return true;
        }
        if (Got == 0 || !Wait || errno != EINTR) {
            Open = false;
        }
        return false;
    };
    while (!Exited) {
        auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
        if (Left <= 0) {
            ::kill(-Child, SIGKILL);
            Killed = true;
            Reap(0);
            break;
        }
        pollfd Entries[2] = {{Open ? Pipe[0] : -1, POLLIN, 0}, {ProcessFd, POLLIN, 0}};
        const int Timeout = ProcessFd >= 0 || Open ? static_cast<int>(Left) : 1;
        int Ready = ::poll(Entries, 2, Timeout);
        if (Ready < 0 && errno != EINTR) {
            break;
        }
        if (Open && (Entries[0].revents & (POLLIN | POLLHUP)) != 0) {
            Drain(true);
        }
        if (ProcessFd < 0 || (Entries[1].revents & POLLIN) != 0) {
            Exited = Reap(WNOHANG);
        }
    }
    // What the child wrote before it ended is still in the pipe.
    ::fcntl(Pipe[0], F_SETFL, O_NONBLOCK);
    while (Open && Drain(false)) {}
    ::close(Pipe[0]);
    if (ProcessFd >= 0) {
        ::close(ProcessFd);
    }
    Result.Elapsed = Clock::now() - Start;
    Result.Finished = !Killed;
    if (!Killed && WIFEXITED(Status)) {
        Result.ExitStatus = WEXITSTATUS(Status);
    }
    return Result;
}

}  // namespace quorvel
