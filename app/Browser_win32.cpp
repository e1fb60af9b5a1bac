#include <windows.h>

#include <shellapi.h>

#include "app/Browser.h"
#include "core/Exception.h"
#include "core/WideText_win32.h"

namespace quorvel {

void OpenInBrowser(const std::string& Url) {
    const std::wstring url = WideFromUtf8(Url);
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) throw Exception("OAuth: the browser could not be started");
}

}  // namespace quorvel
