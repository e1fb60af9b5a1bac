#include "gui/win32/WinPopupMenu_win32.h"

#include "app/Action.h"
#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "gui/win32/TrayPictures_win32.h"
#include "tray/ImageList.h"

namespace quorvel {

namespace {

constexpr wchar_t OwnerClass[] = L"QuorvelTrayMenu";

LRESULT CALLBACK OwnerProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    auto* menu = reinterpret_cast<TWinPopupMenu*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (menu != nullptr) return menu->HandleMessage(Message, WParam, LParam);
    return ::DefWindowProcW(Window, Message, WParam, LParam);
}

}  // namespace

TWinPopupMenu::TWinPopupMenu(const TMenuModel& Model) : FMenu(::CreatePopupMenu()), FSide(SmallIconSide()) {
    if (!FMenu) throw Exception("the tray menu cannot be made");
    for (const TMenuEntry& entry : Model) Append(FMenu.get(), entry);

    // A top-level window that is never shown: a menu takes the keyboard and
    // closes on a click elsewhere only when its owner is in the foreground.
    FOwner = MakeHiddenToolWindow(OwnerClass, OwnerProc, this);
    if (FOwner == nullptr) throw Exception("the tray menu's window cannot be made");
}

TWinPopupMenu::~TWinPopupMenu() {
    *FAlive = false;
    ::SetWindowLongPtrW(FOwner, GWLP_USERDATA, 0);
    ::DestroyWindow(FOwner);
}

void TWinPopupMenu::Append(HMENU Menu, const TMenuEntry& Entry) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    std::wstring caption;
    switch (Entry.What) {
        case TMenuEntry::Kind::Separator:
            item.fMask = MIIM_FTYPE;
            item.fType = MFT_SEPARATOR;
            break;
        case TMenuEntry::Kind::Submenu: {
            TMenuHandle submenu(::CreatePopupMenu());
            if (!submenu) throw Exception("the tray menu cannot be made");
            for (const TMenuEntry& inner : Entry.Items) Append(submenu.get(), inner);
            caption = WideFromUtf8(Entry.Caption);
            item.fMask = MIIM_STRING | MIIM_SUBMENU;
            item.dwTypeData = caption.data();
            // The parent menu destroys its submenus.
            item.hSubMenu = submenu.release();
            break;
        }
        case TMenuEntry::Kind::Item: {
            TAction& action = *Entry.Action;
            FCommands.push_back(&action);
            const auto command = static_cast<UINT>(FCommands.size());
            caption = WideFromUtf8(action.Caption());
            item.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
            item.wID = command;
            item.dwTypeData = caption.data();
            item.fState = action.Enabled() ? MFS_ENABLED : MFS_GRAYED;
            FIcons.emplace_back();
            if (action.ImageIndex() >= 0) {
                FIcons.back() = MakePictureIcon(ImageListPicture(action.ImageIndex()), FSide);
                item.fMask |= MIIM_BITMAP;
                item.hbmpItem = HBMMENU_CALLBACK;
            }
            // Follows the action while the menu lives, also while it is open.
            const std::weak_ptr<bool> alive = FAlive;
            action.AddChangeListener([this, alive, command](const TAction& Changed) {
                if (!alive.expired()) SetState(command, Changed.Enabled());
            });
            break;
        }
    }
    const UINT position = static_cast<UINT>(::GetMenuItemCount(Menu));
    if (!::InsertMenuItemW(Menu, position, TRUE, &item)) {
        if (item.hSubMenu != nullptr) ::DestroyMenu(item.hSubMenu);
        throw Exception("the tray menu cannot be made");
    }
}

UINT TWinPopupMenu::CommandOf(const TAction& Action) const {
    for (std::size_t i = 0; i < FCommands.size(); ++i)
        if (FCommands[i] == &Action) return static_cast<UINT>(i + 1);
    return 0;
}

HICON TWinPopupMenu::PictureOf(UINT Command) const {
    if (Command == 0 || Command > FIcons.size()) return nullptr;
    return FIcons[Command - 1].get();
}

void TWinPopupMenu::SetState(UINT Command, bool Enabled) {
    ::EnableMenuItem(FMenu.get(), Command, MF_BYCOMMAND | (Enabled ? MF_ENABLED : MF_GRAYED));
}

void TWinPopupMenu::RefreshStates() {
    for (std::size_t i = 0; i < FCommands.size(); ++i) SetState(static_cast<UINT>(i + 1), FCommands[i]->Enabled());
}

void TWinPopupMenu::Choose(UINT Command) {
    if (Command == 0 || Command > FCommands.size()) return;
    FCommands[Command - 1]->Execute();
}

void TWinPopupMenu::Popup(int X, int Y) {
    RefreshStates();
    ::SetForegroundWindow(FOwner);
    const std::weak_ptr<bool> alive = FAlive;
    const BOOL chosen = ::TrackPopupMenu(FMenu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, X, Y, 0, FOwner, nullptr);
    // The menu may have gone with the handlers that ran while it was open.
    if (alive.expired()) return;
    ::PostMessageW(FOwner, WM_NULL, 0, 0);
    Choose(static_cast<UINT>(chosen));
}

// The items' pictures: the menu asks for their size and has them drawn.
LRESULT TWinPopupMenu::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_MEASUREITEM) {
        auto& measure = *reinterpret_cast<MEASUREITEMSTRUCT*>(LParam);
        if (measure.CtlType == ODT_MENU && PictureOf(measure.itemID) != nullptr) {
            measure.itemWidth = static_cast<UINT>(FSide);
            measure.itemHeight = static_cast<UINT>(FSide);
            return TRUE;
        }
    } else if (Message == WM_DRAWITEM) {
        const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(LParam);
        HICON picture = draw.CtlType == ODT_MENU ? PictureOf(draw.itemID) : nullptr;
        if (picture != nullptr) {
            const int x = draw.rcItem.left + (draw.rcItem.right - draw.rcItem.left - FSide) / 2;
            const int y = draw.rcItem.top + (draw.rcItem.bottom - draw.rcItem.top - FSide) / 2;
            ::DrawIconEx(draw.hDC, x, y, picture, FSide, FSide, 0, nullptr, DI_NORMAL);
            return TRUE;
        }
    }
    return ::DefWindowProcW(FOwner, Message, WParam, LParam);
}

}  // namespace quorvel
