#include <windows.h>

#include <shellapi.h>

#include <cstdlib>

#include "app/ConsoleText.h"
#include "core/WideText_win32.h"

namespace quorvel {

std::vector<std::string> CommandLineArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    // An argument that is not valid UTF-16 becomes one nobody accepts.
    for (int i = 1; i < count; ++i) {
        try {
            arguments.push_back(Utf8FromWide(wide[i]));
        } catch (...) {
            arguments.push_back("\x01");
        }
    }
    ::LocalFree(wide);
    return arguments;
}

namespace {

UINT PreviousOutputCodePage = 0;

void RestoreConsole() {
    ::SetConsoleOutputCP(PreviousOutputCodePage);
}

}  // namespace

void UseUtf8Console() {
    PreviousOutputCodePage = ::GetConsoleOutputCP();
    if (PreviousOutputCodePage == 0 || PreviousOutputCodePage == CP_UTF8) return;  // no console, or already
    if (::SetConsoleOutputCP(CP_UTF8)) std::atexit(RestoreConsole);
}

}  // namespace quorvel
