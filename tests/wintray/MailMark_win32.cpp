// Started by the mail-program launcher in its tests: appends one line with
// its arguments, each followed by "|", to the file that QUORVEL_MARK_FILE
// names, so the test sees how it was started.
#include <windows.h>

#include <shellapi.h>

#include <string>

int main() {
    wchar_t file[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"QUORVEL_MARK_FILE", file, MAX_PATH) == 0) return 2;
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring line;
    for (int i = 1; i < count; ++i) line += std::wstring(arguments[i]) + L"|";
    line += L"\n";
    ::LocalFree(arguments);
    HANDLE out = ::CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 1;
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(out);
    return 0;
}
