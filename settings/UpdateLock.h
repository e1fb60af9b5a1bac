#pragma once

#include <chrono>
#include <filesystem>

namespace quorvel {

// Keeps two programs of the same user (the tray and quorvel-check) from
// interleaving their read-change-write updates of the settings file, so one
// cannot write back an old copy over what the other has just saved.
//
// An advisory lock on the folder that holds the settings file. Taking it
// never hangs: after Limit the update goes on without it, as it would on a
// file system that has no locks.
class TUpdateLock {
public:
    explicit TUpdateLock(const std::filesystem::path& SettingsFile,
                         std::chrono::milliseconds Limit = std::chrono::seconds(2));
    ~TUpdateLock();
    TUpdateLock(const TUpdateLock&) = delete;
    TUpdateLock& operator=(const TUpdateLock&) = delete;

    bool Held() const { return Fd >= 0; }

private:
    int Fd = -1;
};

}  // namespace quorvel
