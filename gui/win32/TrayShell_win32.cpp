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
    auto* shell = reinterpret_cast<WinTrayShell*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (shell != nullptr) return shell->HandleMessage(Message, WParam, LParam);
    return ::DefWindowProcW(Window, Message, WParam, LParam);
}

bool KeyDown(int Key) {
    return (static_cast<unsigned short>(::GetKeyState(Key)) & 0x8000u) != 0;
}

}  // namespace

UINT WinTrayShell::TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

WinTrayShell::WinTrayShell(std::function<void(const std::string&)> Reporter, TNotifyFunction Notify)
    : FReporter(std::move(Reporter)), FNotify(std::move(Notify)) {
    if (!FNotify) FNotify = [](DWORD Message, NOTIFYICONDATAW& Data) { return ::Shell_NotifyIconW(Message, &Data); };
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = TrayWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = WindowClass;
    // A second shell finds the class already there.
    ::RegisterClassExW(&windowClass);
    // Top-level, never shown: a message-only window would miss the
    // "TaskbarCreated" broadcast and could not take the foreground for a menu.
    FWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW, WindowClass, L"Quorvel", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    if (FWindow == nullptr) throw Exception("the tray icon's window cannot be made");
    ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // An elevated program still hears a restarted Explorer.
    ::ChangeWindowMessageFilterEx(FWindow, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
}

WinTrayShell::~WinTrayShell() {
    if (FShown) Send(static_cast<DWORD>(TNotifyIconMessage::NIM_DELETE));
    ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
    ::DestroyWindow(FWindow);
}

void WinTrayShell::Attach(ITrayWindow* Window) {
    FTrayWindow = Window;
}

void WinTrayShell::NotifyIcon(TNotifyIconMessage Message, const TNotifyIconData& Data) {
    // The tray's messages have the values of Shell_NotifyIconW's.
    if (Message == TNotifyIconMessage::NIM_DELETE) {
        Send(static_cast<DWORD>(Message));
        FShown = false;
        FIcon.reset();
        return;
    }
    FData = Data;
    FShown = true;
    Send(static_cast<DWORD>(Message));
}

// The record for the icon as it stands; the picture is made afresh, at the
// small icon size of the moment.
void WinTrayShell::Send(DWORD Message) {
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
        const std::wstring tip = HintToWide(FData.Tip);
        const std::size_t length = std::min(tip.size(), std::size(data.szTip) - 1);
        std::copy_n(tip.begin(), length, data.szTip);
        FNotify(Message, data);
        FIcon = std::move(icon);
        return;
    }
    FNotify(Message, data);
}

TPoint WinTrayShell::CursorPos() {
    POINT point{};
    ::GetCursorPos(&point);
    return {point.x, point.y};
}

TShiftState WinTrayShell::ShiftState() {
    TShiftState shift = 0;
    if (KeyDown(VK_SHIFT)) shift |= ssShift;
    if (KeyDown(VK_CONTROL)) shift |= ssCtrl;
    if (KeyDown(VK_MENU)) shift |= ssAlt;
    if (KeyDown(VK_LBUTTON)) shift |= ssLeft;
    if (KeyDown(VK_RBUTTON)) shift |= ssRight;
    if (KeyDown(VK_MBUTTON)) shift |= ssMiddle;
    return shift;
}

void WinTrayShell::SetForeground() {
    ::SetForegroundWindow(FWindow);
}

void WinTrayShell::ProcessMessages() {
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

void WinTrayShell::ShowMenu(TPopupMenu& Menu, int X, int Y) {
    Menu.Popup(X, Y);
}

std::string WinTrayShell::CutHint(const std::string& Text, std::size_t MaxBytes) {
    return CutToCodePageBytes(Text, MaxBytes, SystemCodePage());
}

LRESULT WinTrayShell::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_USER) {
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
void WinTrayShell::Deliver(UINT Message, LPARAM LParam) {
    if (FTrayWindow == nullptr) return;
    Guarded(FReporter, [&] { FTrayWindow->TrayWndProc(Message, static_cast<std::int32_t>(LParam)); });
}

}  // namespace quorvel
