#include "tray/PopupMenu.h"

#include <algorithm>

#include "tray/TrayIcon.h"

namespace quorvel {

TPopupMenu::~TPopupMenu() {
    const std::vector<TTrayIcon*> notified = std::move(FNotified);
    FNotified.clear();
    for (TTrayIcon* icon : notified) icon->Notification(*this);
}

void TPopupMenu::FreeNotification(TTrayIcon* Icon) {
    if (std::find(FNotified.begin(), FNotified.end(), Icon) == FNotified.end()) FNotified.push_back(Icon);
}

void TPopupMenu::RemoveFreeNotification(TTrayIcon* Icon) {
    FNotified.erase(std::remove(FNotified.begin(), FNotified.end(), Icon), FNotified.end());
}

}  // namespace quorvel
