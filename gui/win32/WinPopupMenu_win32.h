#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "app/TrayMenu.h"
#include "gui/win32/WinHandles_win32.h"
#include "tray/PopupMenu.h"

namespace quorvel {

class TAction;

// The tray menu as a Win32 popup menu (HMENU), built once from a menu model
// in its order, with its submenu and separators: each item shows its
// action's caption and picture and is greyed while the action is disabled
// (read again each time the menu opens, and followed while it is open).
// The pictures are icons drawn by the menu's own window when the menu asks
// for them (HBMMENU_CALLBACK), so their transparency holds wherever menus
// draw item bitmaps without it.
//
// Popup brings the menu's own hidden window to the foreground, runs
// TrackPopupMenu with TPM_RETURNCMD, posts WM_NULL (so a click elsewhere
// closes it the next time too), and only then runs the chosen action.
//
// The main window's Win32 shell builds it like this (the model's actions
// outlive the menu; the menu outlives the icon that shows it):
//
//     TWinPopupMenu TrayMenu{MainWindow.Menu()};
//     MainWindow.SetPopupMenu(&TrayMenu);
class TWinPopupMenu final : public TPopupMenu {
public:
    // Raises quorvel::Exception when Windows cannot make the menu.
    explicit TWinPopupMenu(const TMenuModel& Model);
    ~TWinPopupMenu() override;
    TWinPopupMenu(const TWinPopupMenu&) = delete;
    TWinPopupMenu& operator=(const TWinPopupMenu&) = delete;

    void Popup(int X, int Y) override;

    HMENU Handle() const { return FMenu.get(); }
    // The hidden window that owns the menu while it is open and draws its
    // pictures.
    HWND Owner() const { return FOwner; }
    // The command identifier of Action's item (0: it has none).
    UINT CommandOf(const TAction& Action) const;
    // Greys each item whose action is disabled, and ungreys the others.
    void RefreshStates();
    // Runs the action of Command, if its item exists and the action is
    // enabled; other values (0: nothing was chosen) do nothing.
    void Choose(UINT Command);

    // For the owner window's procedure.
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);

private:
    void Append(HMENU Menu, const TMenuEntry& Entry);
    void SetState(UINT Command, bool Enabled);
    HICON PictureOf(UINT Command) const;

    TMenuHandle FMenu;
    std::vector<TAction*> FCommands;  // command identifier - 1 -> action
    std::vector<TIconHandle> FIcons;  // command identifier - 1 -> its picture
    int FSide = 16;                   // the pictures' side in pixels
    HWND FOwner = nullptr;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

}  // namespace quorvel
