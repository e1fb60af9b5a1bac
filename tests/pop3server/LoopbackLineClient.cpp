#include "tests/pop3server/LoopbackLineClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel {

namespace {

int MillisecondsLeft(LoopbackLineClient::Clock::time_point Deadline) {
    auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - LoopbackLineClient::Clock::now());
    if (Left.count() <= 0) {
        return 0;
    }
    return Left.count() > 60000 ? 60000 : static_cast<int>(Left.count());
}

}  // namespace

LoopbackLineClient::~LoopbackLineClient() {
    Close();
}

void LoopbackLineClient::Close() {
    if (Fd >= 0) {
        ::close(Fd);
        Fd = -1;
    }
    Pending.clear();
}

bool LoopbackLineClient::WaitFor(short Events, Clock::time_point Deadline) {
    for (;;) {
        pollfd Entry{Fd, Events, 0};
        int Result = ::poll(&Entry, 1, MillisecondsLeft(Deadline));
        if (Result > 0) {
            return true;
        }
        if (Result == 0 || errno != EINTR) {
            return false;
        }
    }
}

bool LoopbackLineClient::Connect(const std::string& Address, std::int32_t Port, Clock::time_point Deadline) {
    Close();
    sockaddr_storage Storage{};
    socklen_t Length = 0;
    auto* V4 = reinterpret_cast<sockaddr_in*>(&Storage);
    auto* V6 = reinterpret_cast<sockaddr_in6*>(&Storage);
    if (::inet_pton(AF_INET, Address.c_str(), &V4->sin_addr) == 1) {
        V4->sin_family = AF_INET;
        V4->sin_port = htons(static_cast<std::uint16_t>(Port));
        Length = sizeof(sockaddr_in);
    } else if (::inet_pton(AF_INET6, Address.c_str(), &V6->sin6_addr) == 1) {
        V6->sin6_family = AF_INET6;
        V6->sin6_port = htons(static_cast<std::uint16_t>(Port));
        Length = sizeof(sockaddr_in6);
    } else {
        return false;
    }
    Fd = ::socket(Storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (Fd < 0) {
        return false;
    }
    if (::connect(Fd, reinterpret_cast<sockaddr*>(&Storage), Length) == 0) {
        return true;
    }
    if (errno != EINPROGRESS || !WaitFor(POLLOUT, Deadline)) {
        Close();
        return false;
    }
    int Error = 0;
    socklen_t ErrorLength = sizeof(Error);
    if (::getsockopt(Fd, SOL_SOCKET, SO_ERROR, &Error, &ErrorLength) != 0 || Error != 0) {
        Close();
        return false;
    }
    return true;
}

bool LoopbackLineClient::ReadLine(std::string& Line, Clock::time_point Deadline) {
    for (;;) {
        auto End = Pending.find("\r\n");
        if (End != std::string::npos) {
            Line = Pending.substr(0, End);
            Pending.erase(0, End + 2);
            return true;
        }
        if (Fd < 0 || !WaitFor(POLLIN, Deadline)) {
            return false;
        }
        char Buffer[4096];
        ssize_t Got = ::recv(Fd, Buffer, sizeof(Buffer), 0);
        if (Got > 0) {
            Pending.append(Buffer, static_cast<std::size_t>(Got));
        } else if (Got == 0 || (errno != EINTR && errno != EAGAIN)) {
            return false;
        }
    }
}

bool LoopbackLineClient::SendLine(const std::string& Text, Clock::time_point Deadline) {
    std::string Data = Text + "\r\n";
    std::size_t Sent = 0;
    while (Sent < Data.size()) {
        if (Fd < 0 || !WaitFor(POLLOUT, Deadline)) {
            return false;
        }
        ssize_t Put = ::send(Fd, Data.data() + Sent, Data.size() - Sent, MSG_NOSIGNAL);
        if (Put > 0) {
            Sent += static_cast<std::size_t>(Put);
        } else if (Put < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        }
    }
    return true;
}

std::string LoopbackLineClient::Exchange(const std::string& Command, Clock::time_point Deadline) {
    std::string Reply;
    if (!SendLine(Command, Deadline) || !ReadLine(Reply, Deadline)) {
        return {};
    }
    return Reply;
}

}  // namespace quorvel
