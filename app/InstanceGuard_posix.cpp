#include "app/InstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quorvel {

namespace {

bool UsableRuntimeDir(const char* dir) {
    if (dir == nullptr || dir[0] != '/') return false;
    struct stat info {};
    return ::stat(dir, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
}

}  // namespace

std::filesystem::path TInstanceGuard::DefaultPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (UsableRuntimeDir(runtime)) return std::filesystem::path(runtime) / "Quorvel.lock";
    return std::filesystem::path("/tmp") / ("Quorvel-" + std::to_string(::getuid()) + ".lock");
}

TInstanceGuard::TInstanceGuard(const std::filesystem::path& Path) {
    // O_NOFOLLOW and the owner check keep another user from steering us to a
    // file of theirs in a shared folder such as /tmp.
    const int fd = ::open(Path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        OpenFailed = true;
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        OpenFailed = true;
        return;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return;
    }
    FNative = fd;
    FHeld = true;
}

TInstanceGuard::~TInstanceGuard() {
    if (FHeld) {
        const int fd = static_cast<int>(FNative);
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
}

}  // namespace quorvel
