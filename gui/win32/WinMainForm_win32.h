#pragma once

// First: windows.h without the macros that clash with the tray's names.
#include "gui/win32/WindowsTrayNames_win32.h"

#include <memory>
#include <string>

#include "app/MainWindow.h"
#include "app/MainWindowParts.h"
#include "app/TickClock.h"
#include "gui/DefaultMailProgram.h"
#include "gui/win32/NewMailNotice_win32.h"
#include "gui/win32/SystemState_win32.h"
#include "gui/win32/TrayShell_win32.h"
#include "gui/win32/WinPopupMenu_win32.h"
#include "net/WinEventLoop_win32.h"

namespace quorvel {

// The hidden main window on Win32: a top-level window with the caption
// "MainForm" that is never shown, and a thin shell over TMainWindow that
// gives it the window-message event loop, the tray icons on
// Shell_NotifyIconW, the new-mail notice as the new-mail icon's balloon, the
// tray menu as a popup menu, the message box and the end of the message loop,
// the account, options and About dialogs, and what the system says of waking
// (WM_POWERBROADCAST reaches this window) and of the network.
//
// Construction builds it; Start brings the program up (TMainWindow::FormCreate,
// the first check included); Run runs the message loop until "終了(&X)".
class TWinMainForm final : private IMainWindowHost, private IMainDialogs {
public:
    // Raises quorvel::Exception when a window cannot be made.
    TWinMainForm();
    ~TWinMainForm() override;
    TWinMainForm(const TWinMainForm&) = delete;
    TWinMainForm& operator=(const TWinMainForm&) = delete;

    // The start-up steps and the first check; call once, after construction.
    void Start();

    // Dispatches messages until "終了(&X)" was chosen (or WM_QUIT came).
    // Returns the exit code: 0.
    int Run();

    HWND Handle() const { return FWindow; }
    // For the window procedure.
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);

private:
    void ReportError(const std::string& Message) override;
    void EndProgram() override;

    bool Available() const override { return true; }
    bool ShowAccountList(TAccounts& Accounts) override;
    bool ShowOptions(TOptionValues& Values) override;
    void ShowAbout() override;

    HWND FWindow = nullptr;
    TWinEventLoop Loop;
    TWinTrayShell StatusShell;
    TWinTrayShell NewMailShell;
    TMonotonicTickClock Clock;
    std::unique_ptr<ISettingsPlace> Settings;
    std::unique_ptr<INewMailSound> Sound;
    TDefaultMailProgram MailProgram;
    TWinNewMailNotice Notice;
    std::unique_ptr<TWinSystemState> System;
    std::unique_ptr<TMainWindow> Window;
    std::unique_ptr<TWinPopupMenu> TrayMenu;
    bool FEnded = false;
};

}  // namespace quorvel
