#include "app/InstanceGuard.h"

#include <windows.h>

namespace quorvel {

std::filesystem::path TInstanceGuard::DefaultPath() {
    return "Quorvel";
}

TInstanceGuard::TInstanceGuard(const std::filesystem::path& Path) {
    const std::string name = Path.string();
    // Another copy holds the name: let go of it at once and stay out.
    if (HANDLE other = ::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str()); other != nullptr) {
        ::CloseHandle(other);
        return;
    }
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        // Without a guard the program runs anyway.
        OpenFailed = true;
        return;
    }
    // Two copies started at the same instant can both miss the open above;
    // the one whose create found the name already there stays out as well.
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return;
    }
    FNative = reinterpret_cast<std::intptr_t>(mutex);
    FHeld = true;
}

TInstanceGuard::~TInstanceGuard() {
    if (!FHeld) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(FNative);
    ::ReleaseMutex(mutex);
    // Closing the handle removes the name now rather than at the process's
    // end, so a guard that is gone no longer stops the next one.
    ::CloseHandle(mutex);
}

}  // namespace quorvel
