#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "app/AccountEditPresenter.h"

// Drives the program's Win32 dialogs the way a screen reader or a test tool
// does: by window and control, reading texts and states and pressing
// buttons with messages, from a thread of its own while the dialog runs its
// modal loop on the test's thread.
class TDialogDriver {
public:
    // Runs Show on this thread (it shows a modal dialog and returns when the
    // dialog has closed) while Script drives it from a second thread.
    // Script must close the dialog; if it fails (a step timed out), every
    // window of this thread is closed and the failure is reported to gtest.
    static void Run(const std::function<void()>& Show, const std::function<void(TDialogDriver&)>& Script);

    // The visible dialog or message box of the test's thread with this
    // caption, waited for up to 10 s; fails the script when none comes.
    HWND WaitForDialog(const std::string& Caption);
    // Waits until Window is gone (up to 10 s).
    void WaitUntilClosed(HWND Window);
    // Waits until Condition holds (up to 10 s); fails the script otherwise.
    // Explain, when given, adds to the failure's message.
    void WaitFor(const std::function<bool()>& Condition, const char* What,
                 const std::function<std::string()>& Explain = nullptr);

    HWND Control(HWND Dialog, int Id);
    std::string Text(HWND Window);
    std::string Text(HWND Dialog, int Id) { return Text(Control(Dialog, Id)); }
    void SetText(HWND Dialog, int Id, const std::string& Text);
    bool Enabled(HWND Dialog, int Id) { return ::IsWindowEnabled(Control(Dialog, Id)) != FALSE; }
    bool Visible(HWND Dialog, int Id) { return ::IsWindowVisible(Control(Dialog, Id)) != FALSE; }
    // The control that has the keyboard focus on the test's thread.
    HWND Focus();

    // A button pressed (posted, so a nested dialog does not hold the driver).
    void Click(HWND Dialog, int Id);
    // A key pressed on the control that has the focus.
    void Key(WORD VirtualKey);
    // The title bar's close button.
    void CloseByTitleBar(HWND Dialog);

    // When QUORVEL_DIALOG_SHOTS names a folder: Window as it is on screen,
    // saved there as Name.bmp.
    void Screenshot(HWND Window, const std::string& Name);

    // The list view's rows and cells.
    int RowCount(HWND List);
    std::string Cell(HWND List, int Row, int Column);
    bool Checked(HWND List, int Row);
    void SetChecked(HWND List, int Row, bool Checked);
    void Select(HWND List, int Row);

private:
    explicit TDialogDriver(DWORD Thread) : FThread(Thread) {}
    DWORD FThread;
};

// A sign-in whose browser did not start: tells its long address, waits in
// the test thread's messages until cancelled (at most 10 s), then raises.
class TWaitingSignIn final : public quorvel::IAccountSignIn {
public:
    bool SignedIn(const quorvel::TAccount&) override { return false; }
    void SignIn(const quorvel::TAccount& Account, quorvel::ISignInProgress& Progress) override;
    void Cancel() override { Cancelled = true; }
    std::atomic<bool> Waiting{false}, Cancelled{false};
};
