#pragma once

// First: windows.h without the macros that clash with the tray's names.
#include "gui/win32/WindowsTrayNames_win32.h"

#include <functional>
#include <string>

#include "gui/win32/WinHandles_win32.h"
#include "tray/TrayShell.h"

namespace quorvel {

// The notification-area shell of one TTrayIcon on Shell_NotifyIconW. Each
// shell owns a hidden top-level window that receives its icon's callback
// message (WM_USER; the mouse message in lParam) and hands it to the icon,
// and the registered "TaskbarCreated" message, on which a shown icon is added
// again (Explorer forgets every icon when it restarts). The picture goes out
// as an icon of the small icon size, the hint as UTF-16, cut to 63 bytes of
// the system code page.
//
// The main window builds its two icons like this (each shell declared before
// its icon, so it outlives it; the icons number themselves 1 and 2):
//
//     WinTrayShell StatusShell{ShowErrorReport}, NewMailShell{ShowErrorReport};
//     TTrayIcon StatusIcon{StatusShell}, NewMailIcon{NewMailShell};
//     TWinPopupMenu TrayMenu{MenuModel};   // gui/win32/WinPopupMenu_win32.h
//     StatusIcon.SetRBtnPopupMenu(&TrayMenu);
//
// What an icon's event handler lets escape is caught at the window procedure
// and passed to the reporter; the program goes on. A shell must not be
// destroyed from inside one of its own icon's event handlers.
class WinTrayShell final : public ITrayShell {
public:
    // Calls Shell_NotifyIconW; tests pass one that records and forwards.
    using TNotifyFunction = std::function<BOOL(DWORD Message, NOTIFYICONDATAW& Data)>;

    // Reporter shows what an event handler let escape (the general error
    // report). Raises quorvel::Exception when the window cannot be made.
    explicit WinTrayShell(std::function<void(const std::string&)> Reporter, TNotifyFunction Notify = {});
    ~WinTrayShell() override;
    WinTrayShell(const WinTrayShell&) = delete;
    WinTrayShell& operator=(const WinTrayShell&) = delete;

    void Attach(ITrayWindow* Window) override;
    void NotifyIcon(TNotifyIconMessage Message, const TNotifyIconData& Data) override;
    // The component shows its menu itself on the button's release.
    void SetContextMenu(TPopupMenu*) override {}
    TPoint CursorPos() override;
    TShiftState ShiftState() override;
    void SetForeground() override;
    void ProcessMessages() override;
    void ShowMenu(TPopupMenu& Menu, int X, int Y) override;
    std::string CutHint(const std::string& Text, std::size_t MaxBytes) override;

    // The hidden window that receives the icon's messages.
    HWND Window() const { return FWindow; }
    // The registered "TaskbarCreated" message.
    static UINT TaskbarCreatedMessage();

    // For the window procedure.
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);

private:
    void Send(DWORD Message);
    void Deliver(UINT Message, LPARAM LParam);

    std::function<void(const std::string&)> FReporter;
    TNotifyFunction FNotify;
    HWND FWindow = nullptr;
    ITrayWindow* FTrayWindow = nullptr;
    TNotifyIconData FData;  // as last added or modified
    bool FShown = false;
    TIconHandle FIcon;  // the picture the notification area was last given
};

}  // namespace quorvel
