#include "settings/RunAtStartup_win32.h"

#include <windows.h>

#include <vector>

#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "settings/RunAtStartup.h"
#include "settings/RunCommand.h"

namespace quorvel {

namespace {

// The Run key, created when missing; closed when the holder ends.
class TRunKey {
public:
    explicit TRunKey(const std::string& Path) {
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(Path).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                              nullptr, &FKey, nullptr) != ERROR_SUCCESS) {
            FKey = nullptr;
        }
    }
    ~TRunKey() {
        if (FKey != nullptr) ::RegCloseKey(FKey);
    }
    TRunKey(const TRunKey&) = delete;
    TRunKey& operator=(const TRunKey&) = delete;
    HKEY Get() const { return FKey; }

private:
    HKEY FKey = nullptr;
};

std::string RunningModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return Utf8FromWide(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

TRunKeyPlace DefaultRunKeyPlace() {
    return {std::string(RunKeyPath), std::string(RunAtStartupName), RunningModulePath()};
}

bool IsRunAtStartup(const TRunKeyPlace& Place) {
    const TRunKey key(Place.KeyPath);
    if (key.Get() == nullptr) return false;
    const std::wstring name = WideFromUtf8(Place.Name);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw Exception("'" + Place.Name + "' のデータ型が不正です");
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    std::wstring command(data.data());  // up to the first NUL
    try {
        return RunCommandStarts(Utf8FromWide(command), Place.ProgramPath);
    } catch (const Exception&) {
        return false;  // not text at all: not this program
    }
}

void AddRunAtStartup(const TRunKeyPlace& Place) {
    const TRunKey key(Place.KeyPath);
    if (key.Get() == nullptr) return;
    const std::string failed = "'" + Place.Name + "' の設定に失敗しました";
    if (Place.ProgramPath.empty()) throw Exception(failed);
    const std::wstring command = WideFromUtf8(RunCommandFor(Place.ProgramPath));
    if (::RegSetValueExW(key.Get(), WideFromUtf8(Place.Name).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(command.c_str()),
                         static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
        throw Exception(failed);
    }
}

void RemoveRunAtStartup(const TRunKeyPlace& Place) {
    const TRunKey key(Place.KeyPath);
    if (key.Get() != nullptr) ::RegDeleteValueW(key.Get(), WideFromUtf8(Place.Name).c_str());
}

bool IsRunAtStartup() {
    return IsRunAtStartup(DefaultRunKeyPlace());
}
void AddRunAtStartup() {
    AddRunAtStartup(DefaultRunKeyPlace());
}
void RemoveRunAtStartup() {
    RemoveRunAtStartup(DefaultRunKeyPlace());
}

}  // namespace quorvel
