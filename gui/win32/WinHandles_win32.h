#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "net/WindowClass_win32.h"

namespace quorvel {

// Owning holders of GDI and USER handles: each one is released exactly once,
// when its holder goes.
struct TIconDeleter {
    void operator()(HICON Icon) const { ::DestroyIcon(Icon); }
};
struct TGdiObjectDeleter {
    void operator()(HGDIOBJ Object) const { ::DeleteObject(Object); }
};
struct TMenuDeleter {
    void operator()(HMENU Menu) const { ::DestroyMenu(Menu); }
};

using TIconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, TIconDeleter>;
using TBitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, TGdiObjectDeleter>;

// The layout of a Side x Side 32-bit bitmap kept top row first: 0xAARRGGBB
// in memory is its B, G, R, A byte order.
inline BITMAPINFO TopDownBitmapInfo(int Side) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = Side;
    info.bmiHeader.biHeight = -Side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
using TMenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, TMenuDeleter>;

// A top-level tool window of class Class (registered here with Proc, or
// found already registered) that is never shown, carrying Owner in its
// GWLP_USERDATA; nullptr when it cannot be made. Top-level, not message-only:
// such a window hears broadcasts and can take the foreground for a menu.
inline HWND MakeHiddenToolWindow(const wchar_t* Class, WNDPROC Proc, void* Owner) {
    const HINSTANCE instance = RegisterWindowClass(Class, Proc);
    HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, Class, L"Quorvel", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    instance, nullptr);
    if (window != nullptr) ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Owner));
    return window;
}

}  // namespace quorvel
