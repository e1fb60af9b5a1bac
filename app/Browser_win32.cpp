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
    if (started) return;
    const std::string text = SystemErrorText(error);
    throw Exception("OAuth: the browser could not be started: " +
                    (text.empty() ? "error " + std::to_string(error) : text));
}

}  // namespace quorvel
