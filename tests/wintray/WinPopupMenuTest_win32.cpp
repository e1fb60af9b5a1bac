#include "gui/win32/WinPopupMenu_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/Action.h"
#include "core/WideText_win32.h"
#include "gui/win32/TrayPictures_win32.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

namespace quorvel {
namespace {

// The tray menu's actions and model, laid out as the main window lays them.
struct TTrayMenuActions {
    TAction Account{"アカウントの設定(&A)...", 3};
    TAction Option{"オプション(&O)...", 5};
    TAction Connect{"メールチェック(&C)", 6};
    TAction Close{"終了(&X)", 1};
    TAction About{"バージョン情報(&A)...", 4};
    TAction Mail{"メーラーを開く(&M)", 7};
    std::vector<std::string> Ran;

    TTrayMenuActions() {
        for (TAction* action : {&Account, &Option, &Connect, &Close, &About, &Mail}) {
            action->OnExecute = [this, action] { Ran.push_back(action->Caption()); };
        }
    }
    TMenuModel Model() {
        return {TMenuEntry::ItemFor(Connect),
                TMenuEntry::ItemFor(Mail),
                TMenuEntry::Separator(),
                TMenuEntry::Submenu("設定(&S)", {TMenuEntry::ItemFor(Account), TMenuEntry::ItemFor(Option)}),
                TMenuEntry::ItemFor(About),
                TMenuEntry::Separator(),
                TMenuEntry::ItemFor(Close)};
    }
};

// One item of a menu as Windows holds it: "-" for a separator, the caption
// with "[grey]" when greyed, "[picture]" with a bitmap, "{...}" a submenu.
std::string Describe(HMENU Menu, int Position) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_BITMAP | MIIM_ID | MIIM_STRING;
    wchar_t text[128] = {};
    item.dwTypeData = text;
    item.cch = 128;
    EXPECT_TRUE(::GetMenuItemInfoW(Menu, static_cast<UINT>(Position), TRUE, &item));
    if (item.fType & MFT_SEPARATOR) return "-";
    std::string line = Utf8FromWide(text);
    if (item.fState & MFS_GRAYED) line += " [grey]";
    if (item.hbmpItem == HBMMENU_CALLBACK) line += " [picture]";
    if (item.hSubMenu != nullptr) {
        line += " {";
        for (int i = 0; i < ::GetMenuItemCount(item.hSubMenu); ++i)
            line += (i ? ", " : "") + Describe(item.hSubMenu, i);
        line += "}";
    }
    return line;
}

std::vector<std::string> Describe(HMENU Menu) {
    std::vector<std::string> lines;
    for (int i = 0; i < ::GetMenuItemCount(Menu); ++i) lines.push_back(Describe(Menu, i));
    return lines;
}

TEST(WinPopupMenu, BuiltInTheModelsOrderItemsFollowTheirActionsEnabledState) {
    TTrayMenuActions actions;
    actions.Account.SetEnabled(false);  // the account dialog is open (an item of the submenu)
    TWinPopupMenu menu(actions.Model());
    const auto greyed = [&](const TAction& Action) {
        return (::GetMenuState(menu.Handle(), menu.CommandOf(Action), MF_BYCOMMAND) & MF_GRAYED) != 0;
    };
    EXPECT_FALSE(greyed(actions.Connect));
    actions.Connect.SetEnabled(false);  // a check starts
    const std::vector<std::string> expected = {
        "メールチェック(&C) [grey] [picture]",
        "メーラーを開く(&M) [picture]",
        "-",
        "設定(&S) {アカウントの設定(&A)... [grey] [picture], オプション(&O)... [picture]}",
        "バージョン情報(&A)... [picture]",
        "-",
        "終了(&X) [picture]",
    };
    EXPECT_EQ(Describe(menu.Handle()), expected);
    actions.Connect.SetEnabled(true);
    actions.Account.SetEnabled(true);
    EXPECT_FALSE(greyed(actions.Connect) || greyed(actions.Account));

    // A state changed behind the menu's back is read again when it opens.
    actions.Account.SetEnabled(false);
    ::EnableMenuItem(menu.Handle(), menu.CommandOf(actions.Close), MF_BYCOMMAND | MF_GRAYED);
    menu.RefreshStates();
    EXPECT_FALSE(greyed(actions.Close));
    EXPECT_TRUE(greyed(actions.Account));
}

TEST(WinPopupMenu, ChoosingRunsTheItemsActionUnlessItIsGreyed) {
    TTrayMenuActions actions;
    TWinPopupMenu menu(actions.Model());
    menu.Choose(menu.CommandOf(actions.Option));
    menu.Choose(0);    // the menu was closed without a choice
    menu.Choose(999);  // no such item
    actions.About.SetEnabled(false);
    menu.Choose(menu.CommandOf(actions.About));
    EXPECT_EQ(actions.Ran, (std::vector<std::string>{"オプション(&O)..."}));
    EXPECT_EQ(menu.CommandOf(TAction("not in the menu", 0)), 0u);
}

// The menu has its window draw an item's picture: the icon's opaque pixels
// over the menu's background, which shows through the transparent ones.
TEST(WinPopupMenu, TheOwnerWindowDrawsThePicturesWithTheirTransparency) {
    TTrayMenuActions actions;
    TWinPopupMenu menu(actions.Model());
    const int side = SmallIconSide();

    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_MENU;
    measure.itemID = menu.CommandOf(actions.Close);
    EXPECT_TRUE(::SendMessageW(menu.Owner(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)));
    EXPECT_EQ(measure.itemWidth, static_cast<UINT>(side));
    EXPECT_EQ(measure.itemHeight, static_cast<UINT>(side));

    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, side, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const TBitmapHandle canvas(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, canvas.get());
    auto* pixels = static_cast<std::uint32_t*>(bits);
    std::fill(pixels, pixels + side * side, 0x00C0C0C0u);  // the menu's background

    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_MENU;
    draw.itemID = menu.CommandOf(actions.Close);
    draw.hDC = dc;
    draw.rcItem = {0, 0, side, side};
    EXPECT_TRUE(::SendMessageW(menu.Owner(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)));
    ::GdiFlush();

    // The same pixels as the tray draws: picture 1 (the cross) at this size.
    const TPanelImage expected = RenderForPanel(ImageListPicture(1), side);
    int black = 0;
    for (int i = 0; i < side * side; ++i) {
        const std::uint32_t want = expected.Pixels[static_cast<std::size_t>(i)];
        const std::uint32_t got = pixels[i] & 0xFFFFFFu;
        if (want >> 24 == 0) {
            EXPECT_EQ(got, 0xC0C0C0u) << "transparent pixel " << i;
        }
        if (want == 0xFF000000u) {
            EXPECT_EQ(got, 0u) << "black pixel " << i;
            ++black;
        }
    }
    EXPECT_GT(black, 0);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
}

// While the menu is open a timer presses keys: Down selects the first item,
// Return chooses it. The action runs once the menu has closed.
TEST(WinPopupMenu, PopupRunsTheChosenActionAfterTheMenuHasClosed) {
    TTrayMenuActions actions;
    TWinPopupMenu menu(actions.Model());
    static std::vector<WPARAM> keys;
    static bool menuOpenWhenPressed = false;
    keys = {VK_DOWN, VK_RETURN};
    actions.Connect.OnExecute = [&] {
        actions.Ran.push_back(::FindWindowW(L"#32768", nullptr) != nullptr ? "run while open" : "run after close");
    };
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR Id, DWORD) {
        HWND open = ::FindWindowW(L"#32768", nullptr);
        if (open == nullptr || keys.empty()) return;
        menuOpenWhenPressed = ::IsWindowVisible(open) != FALSE;
        for (WPARAM key : keys) {
            ::PostMessageW(open, WM_KEYDOWN, key, 0);
            ::PostMessageW(open, WM_KEYUP, key, 0xC0000000);
        }
        keys.clear();
        ::KillTimer(nullptr, Id);
    });
    menu.Popup(100, 100);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(menuOpenWhenPressed);
    EXPECT_EQ(actions.Ran, (std::vector<std::string>{"run after close"}));
    // WM_NULL was posted to the menu's window after it closed.
    MSG message;
    EXPECT_TRUE(::PeekMessageW(&message, nullptr, WM_NULL, WM_NULL, PM_REMOVE));
}

}  // namespace
}  // namespace quorvel
