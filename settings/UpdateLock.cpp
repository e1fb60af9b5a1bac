#include "settings/UpdateLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "settings/AtomicFile.h"

namespace quorvel {

TUpdateLock::TUpdateLock(const std::filesystem::path& SettingsFile, std::chrono::milliseconds Limit) {
    try {
        CreatePrivateFolders(SettingsFile.parent_path());
    } catch (const std::exception&) {
        return;  // the update itself will report what is wrong with the folder
    }
    // The lock is taken on the settings folder itself, so it leaves no file behind.
    const int fd = ::open(SettingsFile.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // Updates take milliseconds; waiting in short steps keeps this bounded.
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= end) {
            ::close(fd);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Fd = fd;
}

TUpdateLock::~TUpdateLock() {
    if (Fd >= 0) ::close(Fd);  // closing drops the lock
}

}  // namespace quorvel
