#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "tray/Picture.h"
#include "tray/PopupMenu.h"
#include "tray/TrayShell.h"

namespace quorvel {

// One icon in the notification area: its picture, its hint, a popup menu for
// each of the left and right buttons, and mouse events. Setting a property
// adds, modifies or removes the icon through the shell as needed.
class TTrayIcon final : public ITrayWindow {
public:
    using TNotifyEvent = std::function<void(TTrayIcon& Sender)>;
    using TMouseEvent = std::function<void(TTrayIcon& Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
    using TMouseMoveEvent = std::function<void(TTrayIcon& Sender, TShiftState Shift, int X, int Y)>;

    // The most bytes of hint text the notification area shows.
    static constexpr std::size_t MaxHintBytes = 63;

    // Shell must outlive the icon.
    explicit TTrayIcon(ITrayShell& Shell);
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;
    ~TTrayIcon() override;  // removes a shown icon

    // The owned picture. Changing it directly is noticed only by Refresh.
    TIcon& Icon() { return FIcon; }
    // Copies Value's picture (nullptr: none) and updates the tray; an empty
    // picture removes the icon.
    void SetIcon(const TIcon* Value);

    bool HideMainForm = false;

    const std::string& Hint() const { return FHint; }
    // A text equal to the current hint changes nothing; another one is kept
    // as its first 63 bytes as the shell counts them (UTF-8 on Linux, the
    // system code page on Windows), never cut inside a character.
    void SetHint(const std::string& Value);

    TPopupMenu* RBtnPopupMenu() const { return FRBtnPopupMenu; }
    void SetRBtnPopupMenu(TPopupMenu* Value);
    TPopupMenu* LBtnPopupMenu() const { return FLBtnPopupMenu; }
    void SetLBtnPopupMenu(TPopupMenu* Value);

    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

    // Called once the owner has set the properties up: shows the icon if it
    // has a picture.
    void Loaded();
    // Sends the current picture and hint again (after a direct Icon change).
    void Refresh();

    std::int32_t IconID() const { return FIconID; }
    // True while the icon is taken to be in the notification area.
    bool IconShown() const { return FIconShown; }

    // The one place that talks to the shell: adds or modifies the icon when
    // Show is true and there is a picture, otherwise deletes a shown icon.
    void UpdateNotifyIcon(bool Show);

    void TrayWndProc(std::uint32_t Message, std::int32_t LParam) override;

private:
    friend class TPopupMenu;
    void Notification(TPopupMenu& Menu);
    void ReleaseMenu(TPopupMenu* Menu);
    void PopupAtCursor(int X, int Y, TPopupMenu* const& Menu);

    void DoClick();
    void DoDblClick();
    void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    void DoMouseMove(TShiftState Shift, int X, int Y);

    ITrayShell& FShell;
    TIcon FIcon;
    std::int32_t FIconID;
    std::string FHint;
    TPopupMenu* FRBtnPopupMenu = nullptr;
    TPopupMenu* FLBtnPopupMenu = nullptr;
    bool FShowHint = true;
    bool FIconShown = false;
    TNotifyIconData FNotifyData;
    // Lets a popup tell whether the icon survived the events it handled.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// Text cut to at most MaxBytes bytes at a UTF-8 character boundary.
std::string CutUtf8(const std::string& Text, std::size_t MaxBytes);

}  // namespace quorvel
