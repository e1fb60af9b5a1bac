#pragma once

#include <windows.h>

namespace quorvel {

// Registers the window class Class with Proc for this program; a second
// registration finds it there and changes nothing. Returns the program's
// module, which the windows of the class are made with.
inline HINSTANCE RegisterWindowClass(const wchar_t* Class, WNDPROC Proc) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = Class;
    ::RegisterClassExW(&windowClass);
    return windowClass.hInstance;
}

}  // namespace quorvel
