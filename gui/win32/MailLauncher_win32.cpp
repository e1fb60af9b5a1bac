#include <windows.h>

#include <string>
#include <vector>

#include "gui/MailLauncher.h"
#include "settings/Registry.h"

namespace quorvel {

namespace {

// ExpandEnvironmentStringsW: the first call gives the length needed, NUL
// included; the second fills a buffer of that length.
std::wstring ExpandEnvironment(const std::wstring& Text) {
    const DWORD length = ::ExpandEnvironmentStringsW(Text.c_str(), nullptr, 0);
    if (length == 0) return Text;
    std::wstring expanded(length, L'\0');
    const DWORD written = ::ExpandEnvironmentStringsW(Text.c_str(), expanded.data(), length);
    if (written == 0 || written > length) return Text;
    return expanded.substr(0, expanded.find(L'\0'));
}

// ReadExpandedString of the key's default value: a string or an expandable
// string up to its first NUL (expanded when it is the latter); a missing key
// or value gives the empty text; any other type raises the registry's read
// error for the value name, which is empty here.
std::wstring ReadExpandedDefault(HKEY Root, const std::wstring& Path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(Root, Path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size);
    std::vector<BYTE> data(size + 2 * sizeof(wchar_t), 0);
    if (status == ERROR_SUCCESS) status = ::RegQueryValueExW(key, nullptr, nullptr, &type, data.data(), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(InvalidValueTypeText(""));
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    text = text.substr(0, text.find(L'\0'));
    return type == REG_EXPAND_SZ ? ExpandEnvironment(text) : text;
}

// WinExec(Command, SW_SHOWNORMAL): the command line as it stands, shown
// normally, not waited for.
void StartCommandLine(std::wstring Command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, Command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
}

}  // namespace

// The system's default mail client: the default value of
// HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail names it, and the default value of
// its shell\open\command key is the command line that starts it. Read afresh
// at every call; nothing registered, nothing happens.
void ExecuteMailClient() {
    const std::wstring base = L"SOFTWARE\\Clients\\Mail";
    const std::wstring client = ReadExpandedDefault(HKEY_LOCAL_MACHINE, base);
    if (client.empty()) return;
    const std::wstring command =
        ReadExpandedDefault(HKEY_LOCAL_MACHINE, base + L"\\" + client + L"\\shell\\open\\command");
    if (command.empty()) return;
    StartCommandLine(command);
}

}  // namespace quorvel
