// quorvel-window-post CLASS MESSAGE WPARAM LPARAM (numbers as in C): posts the
// message to every top-level window of CLASS, as the system or the shell
// would; exits with 1 when there is none. The tray program's end-to-end test
// wakes the main window with it and clicks the balloon Wine's shell cannot.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

const char* Wanted = "";
MSG Message{};
int Posted = 0;

BOOL CALLBACK Visit(HWND Window, LPARAM) {
    char name[256] = {};
    ::GetClassNameA(Window, name, sizeof name);
    if (std::strcmp(name, Wanted) == 0 && ::PostMessageA(Window, Message.message, Message.wParam, Message.lParam))
        ++Posted;
    return TRUE;
}

}  // namespace

int main(int Count, char** Arguments) {
    if (Count != 5) return 2;
    Wanted = Arguments[1];
    Message.message = static_cast<UINT>(std::strtoul(Arguments[2], nullptr, 0));
    Message.wParam = std::strtoull(Arguments[3], nullptr, 0);
    Message.lParam = static_cast<LPARAM>(std::strtoll(Arguments[4], nullptr, 0));
    ::EnumWindows(Visit, 0);
    return Posted > 0 ? 0 : 1;
}
