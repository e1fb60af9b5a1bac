#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "app/TrayMenu.h"
#include "tray/PopupMenu.h"
#include "tray/WinHandles_win32.h"

namespace quorvel {

class TAction;

// The tray menu as a Win32 popup menu (HMENU), built once from a menu model
// in its order, with its submenu and separators: each item shows its
// action's caption and picture and is greyed while the action is disabled
// (read again each time the menu opens, and followed while it is open).
//
// Popup brings the menu's own hidden window to the foreground, runs
// TrackPopupMenu with TPM_RETURNCMD, posts WM_NULL (so a click elsewhere
// closes it the next time too), and only then runs the chosen action.
//
// The main window's Win32 shell builds it like this (the model's actions
// outlive the menu; the menu outlives the icon that shows it):
//
//     TWinPopupMenu PopupMenu1{MainWindow.Menu()};
//     MainWindow.SetPopupMenu(&PopupMenu1);
class TWinPopupMenu final : public TPopupMenu {
public:
    // Raises quorvel::Exception when Windows cannot make the menu.
    explicit TWinPopupMenu(const TMenuModel& Model);
    ~TWinPopupMenu() override;
    TWinPopupMenu(const TWinPopupMenu&) = delete;
    TWinPopupMenu& operator=(const TWinPopupMenu&) = delete;

    void Popup(int X, int Y) override;

    HMENU Handle() const { return FMenu.get(); }
    // The command identifier of Action's item (0: it has none).
    UINT CommandOf(const TAction& Action) const;
    // Greys each item whose action is disabled, and ungreys the others.
    void RefreshStates();
    // Runs the action of Command, if its item exists and the action is
    // enabled; other values (0: nothing was chosen) do nothing.
    void Choose(UINT Command);

private:
    void Append(HMENU Menu, const TMenuEntry& Entry);
    void SetState(UINT Command, bool Enabled);

    TMenuHandle FMenu;
    std::vector<TAction*> FCommands;      // command identifier - 1 -> action
    std::vector<TBitmapHandle> FBitmaps;  // the items' pictures
    HWND FOwner = nullptr;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

}  // namespace quorvel
