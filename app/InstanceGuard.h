#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace quorvel {

// Makes sure only one copy of the program runs for one user.
//
// On Linux the guard is an advisory lock on a per-user file; the kernel drops
// it when the process ends, also when it is killed, so the next start is never
// blocked by a stale file. On Windows it is the named mutex "Quorvel" of the
// desktop session (Path is the mutex's name there); the system removes the
// name with the last handle, also when the process is killed.
class TInstanceGuard {
public:
    // Takes the guard named Path. Held() tells whether this process is now
    // the only copy.
    explicit TInstanceGuard(const std::filesystem::path& Path);
    ~TInstanceGuard();
    TInstanceGuard(const TInstanceGuard&) = delete;
    TInstanceGuard& operator=(const TInstanceGuard&) = delete;

    // True when the lock was taken. False when another copy holds it, and also
    // when the lock file could not be opened at all (then Failed() is true and
    // the program runs anyway, as it would without a guard).
    bool Held() const { return FHeld; }
    bool Failed() const { return OpenFailed; }

    // Linux: $XDG_RUNTIME_DIR/Quorvel.lock, or /tmp/Quorvel-<uid>.lock when the
    // runtime folder is not set or not usable. Windows: "Quorvel".
    static std::filesystem::path DefaultPath();

private:
    std::intptr_t FNative = 0;  // the lock file's descriptor, or the mutex's handle
    bool FHeld = false;
    bool OpenFailed = false;
};

}  // namespace quorvel
