// Posts one window message to every top-level window of a class, as the
// system or the shell would send it: the tray program's end-to-end test
// wakes the main window (WM_POWERBROADCAST) and clicks a balloon that Wine's
// shell cannot click. Arguments: class message wParam lParam (numbers in C
// notation). Exits with 0 when a window took the message, 1 when none did.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

struct Post {
    std::wstring Class;
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
    int Posted = 0;
};

BOOL CALLBACK Visit(HWND Window, LPARAM Context) {
    auto* post = reinterpret_cast<Post*>(Context);
    wchar_t name[256] = {};
    ::GetClassNameW(Window, name, 256);
    if (post->Class == name && ::PostMessageW(Window, post->Message, post->WParam, post->LParam)) ++post->Posted;
    return TRUE;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (count != 5) return 2;
    Post post{arguments[1], static_cast<UINT>(std::wcstoul(arguments[2], nullptr, 0)),
              static_cast<WPARAM>(std::wcstoull(arguments[3], nullptr, 0)),
              static_cast<LPARAM>(std::wcstoll(arguments[4], nullptr, 0))};
    ::LocalFree(arguments);
    ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&post));
    return post.Posted > 0 ? 0 : 1;
}
