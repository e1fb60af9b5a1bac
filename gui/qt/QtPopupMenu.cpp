#include "gui/qt/QtPopupMenu.h"

namespace quorvel {

void TQtPopupMenu::Popup(int X, int Y) {
    if (FMenu) FMenu->exec(QPoint(X, Y));
}

}  // namespace quorvel
