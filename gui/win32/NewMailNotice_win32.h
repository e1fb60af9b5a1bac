#pragma once

// First: windows.h without the macros that clash with the tray's names.
#include "gui/win32/WindowsTrayNames_win32.h"

#include <functional>
#include <string>

#include "app/MainWindowParts.h"
#include "gui/win32/TrayShell_win32.h"
#include "gui/win32/WinHandles_win32.h"

namespace quorvel {

// The notice of new mail on Windows: the balloon of the new-mail icon
// (Windows 10 and 11 show it as a toast naming the program), with the
// program's icon, silent (the program plays its own sound) and held back by
// the system in quiet time. While the user presents, plays a full-screen game
// or is otherwise busy, no notice is shown. A click on it calls OnOpen.
class TWinNewMailNotice final : public INewMailNotice {
public:
    // True while the user should not be disturbed; tests pass their own.
    using TBusyFunction = std::function<bool()>;

    explicit TWinNewMailNotice(TWinTrayShell& Shell, TBusyFunction Busy = {});
    ~TWinNewMailNotice() override;
    TWinNewMailNotice(const TWinNewMailNotice&) = delete;
    TWinNewMailNotice& operator=(const TWinNewMailNotice&) = delete;

    void Show(const std::string& Title, const std::string& Body) override;
    void Withdraw() override;

    // SHQueryUserNotificationState: busy, presenting or a full-screen
    // Direct3D program.
    static bool UserBusy();

private:
    TWinTrayShell& FShell;
    TBusyFunction FBusy;
    TIconHandle FIcon;  // the program's icon at the large size
};

// Text cut to at most MaxUnits UTF-16 units, never between the two halves of
// a surrogate pair.
std::wstring CutWide(std::wstring Text, std::size_t MaxUnits);

}  // namespace quorvel
