#include "app/DisplayCheck.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace quorvel {

namespace {

bool ConnectsToUnixSocket(const std::string& Path, bool Abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = Abstract ? 1 : 0;
    if (Path.size() + offset >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path + offset, Path.data(), Path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + Path.size());
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return connected;
}

bool ConnectsToTcp(const std::string& Host, int Port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(Host.c_str(), std::to_string(Port).c_str(), &hints, &found) != 0) return false;
    bool connected = false;
    for (addrinfo* a = found; a && !connected; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return connected;
}

// DISPLAY is [host]:number[.screen]; an empty host or "unix" means the local
// socket (abstract or in /tmp/.X11-unix).
bool XServerAnswers(std::string_view Display) {
    const auto colon = Display.rfind(':');
    if (colon == std::string_view::npos) return false;
    const std::string host(Display.substr(0, colon));
    std::string number(Display.substr(colon + 1));
    number = number.substr(0, number.find('.'));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + number;
        return ConnectsToUnixSocket(path, true) || ConnectsToUnixSocket(path, false);
    }
    if (host.front() == '/') return ConnectsToUnixSocket(std::string(Display.substr(0, colon)), false);
    return ConnectsToTcp(host, 6000 + std::atoi(number.c_str()));
}

bool WaylandAnswers(const char* Display) {
    std::string path = Display;
    if (path.empty()) return false;
    if (path.front() != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime) return false;
        path = std::string(runtime) + "/" + path;
    }
    return ConnectsToUnixSocket(path, false);
}

}  // namespace

bool DisplayReachable(std::string& Why) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;  // chosen on purpose; Qt reports its own failure
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && WaylandAnswers(wayland)) return true;
    const char* display = std::getenv("DISPLAY");
    if (display && *display && XServerAnswers(display)) return true;
    if (display && *display) {
        Why = std::string("the display ") + display + " does not answer";
    } else if (wayland && *wayland) {
        Why = std::string("the Wayland display ") + wayland + " does not answer";
    } else {
        Why = "no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    }
    return false;
}

}  // namespace quorvel
