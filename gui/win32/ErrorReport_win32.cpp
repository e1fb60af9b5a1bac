#include <windows.h>

#include "gui/ErrorReport.h"

namespace quorvel {

namespace {

// UTF-16 of the message; a byte that is no UTF-8 shows as U+FFFD rather
// than losing the whole report.
std::wstring MessageText(const std::string& Message) {
    if (Message.empty()) return {};
    const int size = static_cast<int>(Message.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, Message.data(), size, nullptr, 0);
    if (n <= 0) return L"?";
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, Message.data(), size, wide.data(), n);
    return wide;
}

}  // namespace

// A message box with the failure's message under the program's title; it
// returns once the user has closed it, and the program goes on.
void ShowErrorReport(const std::string& Message) {
    ::MessageBoxW(nullptr, MessageText(Message).c_str(), L"Quorvel", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace quorvel
