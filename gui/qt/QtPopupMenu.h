#pragma once

#include <QMenu>
#include <QPointer>

#include "tray/PopupMenu.h"

namespace quorvel {

// A tray icon's popup menu on a QMenu, which stays owned by its creator. A
// QMenu destroyed first leaves a menu that shows nothing.
class TQtPopupMenu final : public TPopupMenu {
public:
    explicit TQtPopupMenu(QMenu* Menu) : FMenu(Menu) {}

    QMenu* Menu() const { return FMenu.data(); }
    // Runs the menu modally at (X, Y); its actions run from inside.
    void Popup(int X, int Y) override;

private:
    QPointer<QMenu> FMenu;
};

}  // namespace quorvel
