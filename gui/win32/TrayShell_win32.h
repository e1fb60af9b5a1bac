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
//     TWinTrayShell StatusShell{ShowErrorReport}, NewMailShell{ShowErrorReport};
//     TTrayIcon StatusIcon{StatusShell}, NewMailIcon{NewMailShell};
//     TWinPopupMenu TrayMenu{MenuModel};   // gui/win32/WinPopupMenu_win32.h
//     StatusIcon.SetRBtnPopupMenu(&TrayMenu);
//
// The shell also carries the icon's balloon (Windows 10 and 11 show it as a
// toast naming the program). No NIM_SETVERSION is sent: the callback message
// keeps the layout of the first shells, the mouse message or the balloon's
// NIN_* message in lParam, the icon's ID in wParam.
//
// What an icon's event handler lets escape is caught at the window procedure
// and passed to the reporter; the program goes on. A shell must not be
// destroyed from inside one of its own icon's event handlers.
class TWinTrayShell final : public ITrayShell {
public:
    // Calls Shell_NotifyIconW; tests pass one that records and forwards.
    using TNotifyFunction = std::function<BOOL(DWORD Message, NOTIFYICONDATAW& Data)>;

    // Reporter shows what an event handler let escape (the general error
    // report). Raises quorvel::Exception when the window cannot be made.
    explicit TWinTrayShell(std::function<void(const std::string&)> Reporter, TNotifyFunction Notify = {});
    ~TWinTrayShell() override;
    TWinTrayShell(const TWinTrayShell&) = delete;
    TWinTrayShell& operator=(const TWinTrayShell&) = delete;

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

    // The balloon on this icon: Title and Text as NOTIFYICONDATAW takes them
    // (at most 63 and 255 UTF-16 units), Flags the dwInfoFlags, Icon the
    // hBalloonIcon (owned by the caller, kept while the balloon may show).
    struct TBalloon {
        std::wstring Title;
        std::wstring Text;
        DWORD Flags = 0;
        HICON Icon = nullptr;
    };
    // Shows Balloon on the icon; while the icon is not in the notification
    // area it goes out with the icon's next addition.
    void ShowBalloon(const TBalloon& Balloon);
    // Takes the shown balloon away (an empty text); one still waiting for the
    // icon is dropped.
    void WithdrawBalloon();
    // A click on the balloon (NIN_BALLOONUSERCLICK), from the window procedure.
    std::function<void()> OnBalloonClick;

    // The hidden window that receives the icon's messages.
    HWND Window() const { return FWindow; }
    // The registered "TaskbarCreated" message.
    static UINT TaskbarCreatedMessage();

    // For the window procedure.
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);

private:
    void Send(DWORD Message, const TBalloon* Balloon = nullptr);
    void Deliver(UINT Message, LPARAM LParam);

    std::function<void(const std::string&)> FReporter;
    TNotifyFunction FNotify;
    HWND FWindow = nullptr;
    ITrayWindow* FTrayWindow = nullptr;
    TNotifyIconData FData;  // as last added or modified
    bool FShown = false;
    TIconHandle FIcon;         // the picture the notification area was last given
    TBalloon FWaitingBalloon;  // shown with the next addition
    bool FBalloonWaits = false;
    bool FBalloonSent = false;  // since the icon was added
};

}  // namespace quorvel
