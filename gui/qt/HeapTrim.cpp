#include "gui/qt/HeapTrim.h"

#include <malloc.h>

#include <QTimer>

namespace quorvel {

void TrimHeapSoon() {
    static bool pending = false;
    if (pending) return;
    pending = true;
    // Long enough for the tray host to have read the icons and the menu.
    QTimer::singleShot(3000, [] {
        pending = false;
        ::malloc_trim(0);
    });
}

}  // namespace quorvel
