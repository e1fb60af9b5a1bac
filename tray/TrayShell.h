#pragma once

#include <cstdint>
#include <string>

#include "tray/Picture.h"

namespace quorvel {

class TPopupMenu;

// Mouse buttons as the tray icon's mouse events name them.
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Modifier keys and mouse buttons held down, plus the double-click flag.
using TShiftState = std::uint32_t;
inline constexpr TShiftState ssShift = 1u << 0;
inline constexpr TShiftState ssAlt = 1u << 1;
inline constexpr TShiftState ssCtrl = 1u << 2;
inline constexpr TShiftState ssLeft = 1u << 3;
inline constexpr TShiftState ssRight = 1u << 4;
inline constexpr TShiftState ssMiddle = 1u << 5;
inline constexpr TShiftState ssDouble = 1u << 6;

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

// What is done with the icon: the notification area's three operations.
enum class TNotifyIconMessage : std::uint32_t { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2 };

inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;
// The message that carries the icon's mouse messages to its receiver.
inline constexpr std::uint32_t WM_USER = 1024;

// Mouse messages the notification area reports for an icon.
inline constexpr std::int32_t WM_MOUSEMOVE = 512;
inline constexpr std::int32_t WM_LBUTTONDOWN = 513;
inline constexpr std::int32_t WM_LBUTTONUP = 514;
inline constexpr std::int32_t WM_LBUTTONDBLCLK = 515;
inline constexpr std::int32_t WM_RBUTTONDOWN = 516;
inline constexpr std::int32_t WM_RBUTTONUP = 517;
inline constexpr std::int32_t WM_RBUTTONDBLCLK = 518;
inline constexpr std::int32_t WM_MBUTTONDOWN = 519;
inline constexpr std::int32_t WM_MBUTTONUP = 520;
inline constexpr std::int32_t WM_MBUTTONDBLCLK = 521;

// The record sent to the notification area for one icon. Tip holds at most
// 63 bytes of UTF-8 text.
struct TNotifyIconData {
    std::int32_t ID = 0;
    std::uint32_t Flags = 0;
    std::uint32_t CallbackMessage = 0;
    TIcon Icon;
    std::string Tip;
    bool operator==(const TNotifyIconData&) const = default;
};

// Receives the callback messages of one icon (its hidden window's procedure).
class ITrayWindow {
public:
    virtual ~ITrayWindow() = default;
    // Message is the callback message; LParam the mouse message it carries.
    virtual void TrayWndProc(std::uint32_t Message, std::int32_t LParam) = 0;
};

// The notification area and the desktop services one tray icon needs. One
// shell serves one icon; it outlives the icon that uses it.
class ITrayShell {
public:
    virtual ~ITrayShell() = default;

    // The receiver of this icon's callback messages; nullptr detaches it.
    virtual void Attach(ITrayWindow* Window) = 0;
    // Adds, modifies or deletes the icon. The result is not examined.
    virtual void NotifyIcon(TNotifyIconMessage Message, const TNotifyIconData& Data) = 0;
    // The right-button menu, for hosts that show the icon's menu themselves.
    virtual void SetContextMenu(TPopupMenu* Menu) = 0;

    // The mouse cursor in screen coordinates.
    virtual TPoint CursorPos() = 0;
    // Modifier keys and mouse buttons held down now.
    virtual TShiftState ShiftState() = 0;
    // Brings the program to the foreground, so a menu it shows takes input.
    virtual void SetForeground() = 0;
    // Handles every event that is already waiting, without waiting for more.
    virtual void ProcessMessages() = 0;
    // Shows Menu at screen position (X, Y) and returns when it has closed.
    virtual void ShowMenu(TPopupMenu& Menu, int X, int Y) = 0;
    // Text cut to the most bytes the notification area shows, counted as it
    // counts them and never inside a character. By default UTF-8 bytes; the
    // Windows shell counts bytes of the system code page.
    virtual std::string CutHint(const std::string& Text, std::size_t MaxBytes);
};

}  // namespace quorvel
