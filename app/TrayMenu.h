#pragma once

#include <string>
#include <vector>

namespace quorvel {

class TAction;

// One entry of the tray menu: an item for an action, a separator, or a
// submenu with a caption of its own and its entries.
struct TMenuEntry {
    enum class Kind { Item, Separator, Submenu };

    Kind What = Kind::Separator;
    TAction* Action = nullptr;      // Item: the action it shows and runs
    std::string Caption;            // Submenu: its caption
    std::vector<TMenuEntry> Items;  // Submenu: its entries

    static TMenuEntry ItemFor(TAction& Action) { return {Kind::Item, &Action, {}, {}}; }
    static TMenuEntry Separator() { return {}; }
    static TMenuEntry Submenu(std::string Caption, std::vector<TMenuEntry> Items) {
        return {Kind::Submenu, nullptr, std::move(Caption), std::move(Items)};
    }
};

// The menus of every platform are built from such a list, top to bottom.
using TMenuModel = std::vector<TMenuEntry>;

}  // namespace quorvel
