#include "tray/TrayIcon.h"

namespace quorvel {

namespace {

// Every tray icon of the process takes the next number, from 1 up.
std::int32_t IconTrayCount = 0;

bool IsContinuationByte(char Byte) {
    return (static_cast<unsigned char>(Byte) & 0xC0) == 0x80;
}

}  // namespace

std::string CutUtf8(const std::string& Text, std::size_t MaxBytes) {
    if (Text.size() <= MaxBytes) return Text;
    // Step back over at most three continuation bytes, the longest tail a
    // character can have; text that is no UTF-8 at all is cut where it is.
    std::size_t cut = MaxBytes;
    for (int step = 0; step < 3 && cut > 0 && IsContinuationByte(Text[cut]); ++step) --cut;
    if (IsContinuationByte(Text[cut])) cut = MaxBytes;
    return Text.substr(0, cut);
}

std::string ITrayShell::CutHint(const std::string& Text, std::size_t MaxBytes) {
    return CutUtf8(Text, MaxBytes);
}

TTrayIcon::TTrayIcon(ITrayShell& Shell) : FShell(Shell), FIconID(++IconTrayCount) {
    FShell.Attach(this);
}

TTrayIcon::~TTrayIcon() {
    *FAlive = false;
    UpdateNotifyIcon(false);
    if (FRBtnPopupMenu) FRBtnPopupMenu->RemoveFreeNotification(this);
    if (FLBtnPopupMenu) FLBtnPopupMenu->RemoveFreeNotification(this);
    FShell.SetContextMenu(nullptr);
    FShell.Attach(nullptr);
}

void TTrayIcon::SetIcon(const TIcon* Value) {
    FIcon = Value ? *Value : TIcon{};
    UpdateNotifyIcon(true);
}

void TTrayIcon::SetHint(const std::string& Value) {
    if (Value == FHint) return;
    FHint = FShell.CutHint(Value, MaxHintBytes);
    UpdateNotifyIcon(true);
}

void TTrayIcon::SetShowHint(bool Value) {
    if (Value == FShowHint) return;
    FShowHint = Value;
    UpdateNotifyIcon(true);
}

void TTrayIcon::SetRBtnPopupMenu(TPopupMenu* Value) {
    TPopupMenu* old = FRBtnPopupMenu;
    FRBtnPopupMenu = Value;
    if (old != Value) ReleaseMenu(old);
    if (Value) Value->FreeNotification(this);
    FShell.SetContextMenu(Value);
}

void TTrayIcon::SetLBtnPopupMenu(TPopupMenu* Value) {
    TPopupMenu* old = FLBtnPopupMenu;
    FLBtnPopupMenu = Value;
    if (old != Value) ReleaseMenu(old);
    if (Value) Value->FreeNotification(this);
}

// Stops the removal notice of a menu that neither button refers to any more.
void TTrayIcon::ReleaseMenu(TPopupMenu* Menu) {
    if (!Menu || Menu == FRBtnPopupMenu || Menu == FLBtnPopupMenu) return;
    Menu->RemoveFreeNotification(this);
}

void TTrayIcon::Notification(TPopupMenu& Menu) {
    if (FRBtnPopupMenu == &Menu) {
        FRBtnPopupMenu = nullptr;
        FShell.SetContextMenu(nullptr);
    }
    if (FLBtnPopupMenu == &Menu) FLBtnPopupMenu = nullptr;
}

void TTrayIcon::Loaded() {
    UpdateNotifyIcon(true);
}

void TTrayIcon::Refresh() {
    UpdateNotifyIcon(true);
}

void TTrayIcon::UpdateNotifyIcon(bool Show) {
    if (Show && FIcon.Empty()) Show = false;
    if (Show) {
        FNotifyData.ID = FIconID;
        FNotifyData.Flags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        FNotifyData.CallbackMessage = WM_USER;
        FNotifyData.Icon = FIcon;
        // The record holds a NUL-ended text: a NUL in the hint ends the tip.
        FNotifyData.Tip = FShowHint ? FHint.substr(0, FHint.find('\0')) : std::string();
        FShell.NotifyIcon(FIconShown ? TNotifyIconMessage::NIM_MODIFY : TNotifyIconMessage::NIM_ADD, FNotifyData);
    } else if (FIconShown) {
        FShell.NotifyIcon(TNotifyIconMessage::NIM_DELETE, FNotifyData);
    }
    FIconShown = Show;
}

void TTrayIcon::TrayWndProc(std::uint32_t Message, std::int32_t LParam) {
    if (Message != WM_USER) return;
    const TPoint cursor = FShell.CursorPos();
    const int x = cursor.X;
    const int y = cursor.Y;
    const TShiftState shift = FShell.ShiftState();
    switch (LParam) {
        case WM_MOUSEMOVE: DoMouseMove(shift, x, y); break;
        case WM_LBUTTONDOWN: DoMouseDown(TMouseButton::mbLeft, shift, x, y); break;
        case WM_LBUTTONUP:
            DoClick();
            DoMouseUp(TMouseButton::mbLeft, shift, x, y);
            PopupAtCursor(x, y, FLBtnPopupMenu);
            break;
        case WM_LBUTTONDBLCLK:
            DoDblClick();
            DoMouseDown(TMouseButton::mbLeft, shift | ssDouble, x, y);
            break;
        case WM_RBUTTONDOWN: DoMouseDown(TMouseButton::mbRight, shift, x, y); break;
        case WM_RBUTTONUP:
            DoMouseUp(TMouseButton::mbRight, shift, x, y);
            PopupAtCursor(x, y, FRBtnPopupMenu);
            break;
        case WM_RBUTTONDBLCLK: DoMouseDown(TMouseButton::mbRight, shift | ssDouble, x, y); break;
        case WM_MBUTTONDOWN: DoMouseDown(TMouseButton::mbMiddle, shift, x, y); break;
        case WM_MBUTTONUP: DoMouseUp(TMouseButton::mbMiddle, shift, x, y); break;
        case WM_MBUTTONDBLCLK: DoMouseDown(TMouseButton::mbMiddle, shift | ssDouble, x, y); break;
        default: break;
    }
}

// Menu refers to one of the menu fields, so a menu destroyed while pending
// events are handled is seen as gone rather than shown.
void TTrayIcon::PopupAtCursor(int X, int Y, TPopupMenu* const& Menu) {
    if (!Menu || !Menu->AutoPopup()) return;
    FShell.SetForeground();
    const std::weak_ptr<bool> alive = FAlive;
    FShell.ProcessMessages();
    if (alive.expired() || !Menu) return;
    FShell.ShowMenu(*Menu, X, Y);
}

// Handlers are copied before the call, so one that reassigns itself is safe.
void TTrayIcon::DoClick() {
    if (TNotifyEvent handler = OnClick) handler(*this);
}

void TTrayIcon::DoDblClick() {
    if (TNotifyEvent handler = OnDblClick) handler(*this);
}

void TTrayIcon::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (TMouseEvent handler = OnMouseDown) handler(*this, Button, Shift, X, Y);
}

void TTrayIcon::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (TMouseEvent handler = OnMouseUp) handler(*this, Button, Shift, X, Y);
}

void TTrayIcon::DoMouseMove(TShiftState Shift, int X, int Y) {
    if (TMouseMoveEvent handler = OnMouseMove) handler(*this, Shift, X, Y);
}

}  // namespace quorvel
