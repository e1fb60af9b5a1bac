#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "app/Browser.h"
#include "core/AsciiCase.h"
#include "core/Exception.h"
#include "core/WideText_win32.h"

namespace quorvel {

void OpenInBrowser(const std::string& Url) {
    // The shell would start a program or open a file named by anything
    // else; only a web address goes to the browser.
    const std::string scheme = AsciiLower(std::string_view(Url).substr(0, 8));
    if (scheme.rfind("https://", 0) != 0 && scheme.rfind("http://", 0) != 0)
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
