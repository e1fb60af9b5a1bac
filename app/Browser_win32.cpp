#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "app/Browser.h"
#include "core/Exception.h"
#include "core/WideText_win32.h"

namespace quorvel {

namespace {

bool StartsWith(const std::string& Text, const char* Prefix) {
    const std::string prefix(Prefix);
    if (Text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = Text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

std::string SystemErrorText(DWORD Error) {
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                         nullptr, Error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    try {
        if (length != 0) message = Utf8FromWide(std::wstring_view(text, length));
    } catch (const Exception&) {}
    if (text != nullptr) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(Error) : message;
}

}  // namespace

void OpenInBrowser(const std::string& Url) {
    // The shell would start a program or open a file named by anything
    // else; only a web address goes to the browser.
    if (!StartsWith(Url, "https://") && !StartsWith(Url, "http://"))
        throw Exception("OAuth: only an http:// or https:// address is opened in the browser");
    const std::wstring url = WideFromUtf8(Url);
    // Shell handlers may use COM, which wants an apartment on this thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No error box of the shell's own: the caller reports the failure. The
    // start is finished before this returns, as the thread may end soon.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = url.c_str();
    info.nShow = SW_SHOWNORMAL;
    const bool started = ::ShellExecuteExW(&info) != FALSE;
    const DWORD error = started ? 0 : ::GetLastError();
    if (SUCCEEDED(com)) ::CoUninitialize();
    if (!started) throw Exception("OAuth: the browser could not be started: " + SystemErrorText(error));
}

}  // namespace quorvel
