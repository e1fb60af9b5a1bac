#pragma once

#include <vector>

namespace quorvel {

class TTrayIcon;

// A popup menu a tray icon can show. Destroying it clears every tray icon's
// reference to it, so no icon is left pointing at a destroyed menu.
class TPopupMenu {
public:
    TPopupMenu() = default;
    TPopupMenu(const TPopupMenu&) = delete;
    TPopupMenu& operator=(const TPopupMenu&) = delete;
    virtual ~TPopupMenu();

    // False keeps the tray icon from showing the menu on a click.
    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool Value) { FAutoPopup = Value; }

    // Shows the menu at screen position (X, Y); returns when it has closed.
    virtual void Popup(int X, int Y) = 0;

private:
    friend class TTrayIcon;
    void FreeNotification(TTrayIcon* Icon);
    void RemoveFreeNotification(TTrayIcon* Icon);

    bool FAutoPopup = true;
    std::vector<TTrayIcon*> FNotified;
};

}  // namespace quorvel
