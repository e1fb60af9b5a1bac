#include "tests/wine/OpenSslServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/TempFolder.h"

namespace quorvel {

namespace {

const char* const OpenSsl = "/usr/bin/openssl";
const std::string Listening = "ACCEPT 127.0.0.1:";

}  // namespace

OpenSslServer::OpenSslServer(const std::vector<std::string>& Options, Mode How) {
    LogFile = "/tmp/quorvel-s_server-XXXXXX";
    const int logFd = ::mkstemp(LogFile.data());
    if (logFd < 0) throw std::runtime_error("cannot create the s_server log");
    std::vector<std::string> texts{OpenSsl, "s_server", "-accept", "127.0.0.1:0"};
    if (How == Mode::Reversing) texts.push_back("-rev");
    texts.insert(texts.end(), Options.begin(), Options.end());
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    // Its input: nothing, or a pipe that Type writes to.
    int input[2] = {-1, -1};
    if (How == Mode::Typed) {
        // A server that has ended must not end the test with SIGPIPE.
        ::signal(SIGPIPE, SIG_IGN);
        if (::pipe2(input, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe for s_server");
    } else {
        input[0] = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    const pid_t parent = ::getpid();
    Pid = ::fork();
    if (Pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(input[0], 0);
        ::dup2(logFd, 1);
        ::dup2(logFd, 2);
        ::execv(OpenSsl, argv.data());
        ::_exit(127);
    }
    ::close(logFd);
    if (input[0] >= 0) ::close(input[0]);
    InputFd = input[1];
    if (Pid < 0) {
        Stop();
        throw std::runtime_error("cannot start openssl s_server");
    }

    // It says where it listens as soon as it does.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (FPort == 0) {
        const std::string log = Log();
        const std::size_t at = log.find(Listening);
        if (at != std::string::npos && log.find('\n', at) != std::string::npos) {
            FPort = std::stoi(log.substr(at + Listening.size()));
            break;
        }
        int status = 0;
        if (::waitpid(Pid, &status, WNOHANG) == Pid) {
            Pid = -1;
            Stop();
            throw std::runtime_error("openssl s_server ended at once:\n" + log);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            Stop();
            throw std::runtime_error("openssl s_server did not listen within 10 s:\n" + log);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

OpenSslServer::~OpenSslServer() {
    Stop();
}

bool OpenSslServer::WaitForLog(const std::string& Text, std::chrono::milliseconds Limit) const {
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    while (Log().find(Text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void OpenSslServer::Type(const std::string& Text) {
    if (InputFd < 0) throw std::runtime_error("s_server takes no typing");
    // It reads what was typed in one go and acts on it before it reads
    // again: once the pipe is empty, Text will be read on its own.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int unread = 0;; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
        if (::ioctl(InputFd, FIONREAD, &unread) != 0) throw std::runtime_error("cannot see what s_server read");
        if (unread == 0) break;
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("s_server did not read what was typed before within 10 s");
    }
    if (::write(InputFd, Text.data(), Text.size()) != static_cast<ssize_t>(Text.size()))
        throw std::runtime_error("cannot type to s_server");
}

void OpenSslServer::Stop() {
    if (InputFd >= 0) ::close(InputFd);
    InputFd = -1;
    if (Pid > 0) {
        ::kill(Pid, SIGKILL);
        int status = 0;
        ::waitpid(Pid, &status, 0);
        Pid = -1;
    }
    ::unlink(LogFile.c_str());
}

std::string OpenSslServer::Log() const {
    return ReadText(LogFile);
}

}  // namespace quorvel
