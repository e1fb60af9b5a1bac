#include "gui/win32/TrayShell_win32.h"

#include <algorithm>
#include <exception>
#include "core/Guarded.h"

#include "core/Exception.h"
#include "gui/win32/TrayHint_win32.h"
#include "gui/win32/TrayPictures_win32.h"
#include "settings/SystemCodePage_win32.h"
#include "tray/PopupMenu.h"

namespace quorvel {

namespace {

constexpr wchar_t WindowClass[] = L"QuorvelTrayIcon";

LRESULT CALLBACK TrayWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    auto* shell = reinterpret_cast<TWinTrayShell*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (shell != nullptr) return shell->HandleMessage(Message, WParam, LParam);
    return ::DefWindowProcW(Window, Message, WParam, LParam);
}

// The balloon's messages in lParam (shellapi.h's NIN_* are WM_USER-based).
constexpr LPARAM BalloonShown = 1024 + 2;
constexpr LPARAM BalloonUserClick = 1024 + 5;

bool KeyDown(int Key) {
    return (static_cast<unsigned short>(::GetKeyState(Key)) & 0x8000u) != 0;
}

}  // namespace

UINT TWinTrayShell::TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

TWinTrayShell::TWinTrayShell(std::function<void(const std::string&)> Reporter, TNotifyFunction Notify)
    : FReporter(std::move(Reporter)), FNotify(std::move(Notify)) {
    if (!FNotify) FNotify = [](DWORD Message, NOTIFYICONDATAW& Data) { return ::Shell_NotifyIconW(Message, &Data); };
    // Top-level, never shown: a message-only window would miss the
    // "TaskbarCreated" broadcast. A second shell finds the class already there.
    FWindow = MakeHiddenToolWindow(WindowClass, TrayWindowProc, this);
    if (FWindow == nullptr) throw Exception("the tray icon's window cannot be made");
    // An elevated program still hears a restarted Explorer.
    ::ChangeWindowMessageFilterEx(FWindow, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
}

TWinTrayShell::~TWinTrayShell() {
    if (FShown) Send(static_cast<DWORD>(TNotifyIconMessage::NIM_DELETE));
    ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
    ::DestroyWindow(FWindow);
}

void TWinTrayShell::Attach(ITrayWindow* Window) {
    FTrayWindow = Window;
}

void TWinTrayShell::NotifyIcon(TNotifyIconMessage Message, const TNotifyIconData& Data) {
    // The tray's messages have the values of Shell_NotifyIconW's.
    if (Message == TNotifyIconMessage::NIM_DELETE) {
        Send(static_cast<DWORD>(Message));
        FShown = false;
        FBalloonSent = false;
        FIcon.reset();
        return;
    }
    FData = Data;
    FShown = true;
    if (Message == TNotifyIconMessage::NIM_ADD && FBalloonWaits) {
        FBalloonWaits = false;
        FBalloonSent = true;
        Send(static_cast<DWORD>(Message), &FWaitingBalloon);
        return;
    }
    Send(static_cast<DWORD>(Message));
}

void TWinTrayShell::ShowBalloon(const TBalloon& Balloon) {
    if (!FShown) {
        FWaitingBalloon = Balloon;
        FBalloonWaits = true;
        return;
    }
    FBalloonSent = true;
    Send(static_cast<DWORD>(TNotifyIconMessage::NIM_MODIFY), &Balloon);
}

void TWinTrayShell::WithdrawBalloon() {
    FBalloonWaits = false;
    if (!FBalloonSent) return;
    FBalloonSent = false;
    const TBalloon none;
    Send(static_cast<DWORD>(TNotifyIconMessage::NIM_MODIFY), &none);
}

namespace {

template <std::size_t N>
void CopyText(const std::wstring& Text, wchar_t (&Field)[N]) {
    const std::size_t length = std::min(Text.size(), N - 1);
    std::copy_n(Text.begin(), length, Field);
    Field[length] = L'\0';
}

}  // namespace

// The record for the icon as it stands, with Balloon when one is given; the
// picture is made afresh, at the small icon size of the moment.
void TWinTrayShell::Send(DWORD Message, const TBalloon* Balloon) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = FWindow;
    data.uID = static_cast<UINT>(FData.ID);
    if (Message != static_cast<DWORD>(TNotifyIconMessage::NIM_DELETE)) {
        TIconHandle icon;
        if (FData.Icon.HasImage) icon = MakePictureIcon(FData.Icon.Image, SmallIconSide());
        data.uFlags = FData.Flags;
        data.uCallbackMessage = FData.CallbackMessage;
        data.hIcon = icon.get();
        CopyText(HintToWide(FData.Tip), data.szTip);
        if (Balloon != nullptr) {
            data.uFlags |= NIF_INFO;
            CopyText(Balloon->Title, data.szInfoTitle);
            CopyText(Balloon->Text, data.szInfo);
            data.dwInfoFlags = Balloon->Flags;
            data.hBalloonIcon = Balloon->Icon;
        }
        FNotify(Message, data);
        FIcon = std::move(icon);
        return;
    }
    FNotify(Message, data);
}

TPoint TWinTrayShell::CursorPos() {
    POINT point{};
    ::GetCursorPos(&point);
    return {point.x, point.y};
}

TShiftState TWinTrayShell::ShiftState() {
    TShiftState shift = 0;
    if (KeyDown(VK_SHIFT)) shift |= ssShift;
    if (KeyDown(VK_CONTROL)) shift |= ssCtrl;
    if (KeyDown(VK_MENU)) shift |= ssAlt;
    if (KeyDown(VK_LBUTTON)) shift |= ssLeft;
    if (KeyDown(VK_RBUTTON)) shift |= ssRight;
    if (KeyDown(VK_MBUTTON)) shift |= ssMiddle;
    return shift;
}

void TWinTrayShell::SetForeground() {
    ::SetForegroundWindow(FWindow);
}

void TWinTrayShell::ProcessMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the program's own message loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void TWinTrayShell::ShowMenu(TPopupMenu& Menu, int X, int Y) {
    Menu.Popup(X, Y);
}

std::string TWinTrayShell::CutHint(const std::string& Text, std::size_t MaxBytes) {
    return CutToCodePageBytes(Text, MaxBytes, SystemCodePage());
}

LRESULT TWinTrayShell::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_USER) {
        // The balloon's messages are no mouse messages for the icon.
        if (LParam >= BalloonShown && LParam <= BalloonUserClick) {
            if (LParam == BalloonUserClick && OnBalloonClick) Guarded(FReporter, [&] { OnBalloonClick(); });
            return 0;
        }
        Deliver(Message, LParam);
        return 0;
    }
    if (Message == TaskbarCreatedMessage()) {
        if (FShown) {
            Guarded(FReporter, [&] { Send(static_cast<DWORD>(TNotifyIconMessage::NIM_ADD)); });
        }
        return 0;
    }
    return ::DefWindowProcW(FWindow, Message, WParam, LParam);
}

// Nothing an event handler lets escape crosses the window procedure.
void TWinTrayShell::Deliver(UINT Message, LPARAM LParam) {
    if (FTrayWindow == nullptr) return;
    Guarded(FReporter, [&] { FTrayWindow->TrayWndProc(Message, static_cast<std::int32_t>(LParam)); });
}

}  // namespace quorvel
