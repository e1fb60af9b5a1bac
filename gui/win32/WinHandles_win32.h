#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

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
using TMenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, TMenuDeleter>;

}  // namespace quorvel
