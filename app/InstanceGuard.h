#pragma once

#include <filesystem>
#include <string>

namespace quorvel {

// Makes sure only one copy of the program runs for one user. The guard is an
// advisory lock on a per-user file; the kernel drops it when the process ends,
// also when it is killed, so the next start is never blocked by a stale file.
class InstanceGuard {
public:
    // Locks Path. Held() tells whether this process is now the only copy.
    explicit InstanceGuard(const std::filesystem::path& Path);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // True when the lock was taken. False when another copy holds it, and also
    // when the lock file could not be opened at all (then Failed() is true and
    // the program runs anyway, as it would without a guard).
    bool Held() const { return Fd >= 0; }
    bool Failed() const { return OpenFailed; }

    // $XDG_RUNTIME_DIR/Quorvel.lock, or /tmp/Quorvel-<uid>.lock when the runtime
    // folder is not set or not usable.
    static std::filesystem::path DefaultPath();

private:
    int Fd = -1;
    bool OpenFailed = false;
};

}  // namespace quorvel
