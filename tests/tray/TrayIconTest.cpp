#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/tray/RecordingTrayShell.h"
#include "tray/TrayIcon.h"

namespace quorvel {
namespace {

TIcon Picture(std::uint32_t Argb) {
    TPicture16 picture;
    picture.Pixels.fill(Argb);
    return TIcon::Of(picture);
}

class LoggingMenu final : public TPopupMenu {
public:
    LoggingMenu(std::vector<std::string>& Log, std::string Name) : FLog(Log), FName(std::move(Name)) {}
    void Popup(int X, int Y) override {
        FLog.push_back("popup " + FName + " " + std::to_string(X) + "," + std::to_string(Y));
    }

private:
    std::vector<std::string>& FLog;
    std::string FName;
};

const char* ButtonName(TMouseButton Button) {
    return Button == TMouseButton::mbLeft ? "L" : Button == TMouseButton::mbRight ? "R" : "M";
}

// An icon whose every event writes one line to Log.
struct LoggedIcon {
    RecordingTrayShell Shell;
    TTrayIcon Icon{Shell};
    std::vector<std::string> Log;

    LoggedIcon() {
        Icon.OnClick = [this](TTrayIcon& Sender) { Log.push_back(&Sender == &Icon ? "click" : "click?"); };
        Icon.OnDblClick = [this](TTrayIcon&) { Log.push_back("dblclick"); };
        Icon.OnMouseDown = [this](TTrayIcon&, TMouseButton Button, TShiftState Shift, int X, int Y) {
            Log.push_back(std::string("down ") + ButtonName(Button) + ((Shift & ssDouble) ? " double" : "") + " " +
                          std::to_string(X) + "," + std::to_string(Y));
        };
        Icon.OnMouseUp = [this](TTrayIcon&, TMouseButton Button, TShiftState, int, int) {
            Log.push_back(std::string("up ") + ButtonName(Button));
        };
        Icon.OnMouseMove = [this](TTrayIcon&, TShiftState Shift, int, int) {
            Log.push_back("move" + std::string((Shift & ssShift) ? " shift" : ""));
        };
    }
};

struct MouseCase {
    std::int32_t Message;
    std::vector<std::string> Expected;
};

TEST(TrayIconMouse, EachShellMessageFiresItsEventsInOrder) {
    const std::vector<MouseCase> cases = {
        {WM_MOUSEMOVE, {"move shift"}},
        {WM_LBUTTONDOWN, {"down L 100,200"}},
        {WM_LBUTTONUP, {"click", "up L", "popup left 100,200"}},
        {WM_LBUTTONDBLCLK, {"dblclick", "down L double 100,200"}},
        {WM_RBUTTONDOWN, {"down R 100,200"}},
        {WM_RBUTTONUP, {"up R", "popup right 100,200"}},
        {WM_RBUTTONDBLCLK, {"down R double 100,200"}},
        {WM_MBUTTONDOWN, {"down M 100,200"}},
        {WM_MBUTTONUP, {"up M"}},
        {WM_MBUTTONDBLCLK, {"down M double 100,200"}},
        {WM_MOUSEMOVE - 1, {}},
        {WM_MBUTTONDBLCLK + 1, {}},
    };
    for (const MouseCase& c : cases) {
        LoggedIcon logged;
        LoggingMenu left(logged.Log, "left"), right(logged.Log, "right");
        logged.Icon.SetLBtnPopupMenu(&left);
        logged.Icon.SetRBtnPopupMenu(&right);
        logged.Shell.Shift = ssShift;
        logged.Icon.TrayWndProc(WM_USER, c.Message);
        EXPECT_EQ(logged.Log, c.Expected) << "mouse message " << c.Message;
    }
}

TEST(TrayIconMouse, OtherCallbackMessagesAndUnassignedEventsDoNothing) {
    LoggedIcon logged;
    logged.Icon.TrayWndProc(WM_USER + 1, WM_LBUTTONUP);
    EXPECT_TRUE(logged.Log.empty());
    RecordingTrayShell shell;
    TTrayIcon bare(shell);
    for (std::int32_t message = WM_MOUSEMOVE; message <= WM_MBUTTONDBLCLK; ++message)
        bare.TrayWndProc(WM_USER, message);
}

TEST(TrayIconMouse, ClickSequencesOfTheNotificationArea) {
    LoggedIcon logged;
    for (std::int32_t m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        logged.Icon.TrayWndProc(WM_USER, m);
    EXPECT_EQ(logged.Log, (std::vector<std::string>{"down L 100,200", "click", "up L", "dblclick",
                                                    "down L double 100,200", "click", "up L"}));
}

TEST(TrayIconMenu, MenuIsShownOnlyWhenAssignedAndAutoPopup) {
    LoggedIcon logged;
    logged.Icon.TrayWndProc(WM_USER, WM_RBUTTONUP);
    EXPECT_EQ(logged.Log, std::vector<std::string>{"up R"});
    LoggingMenu menu(logged.Log, "right");
    menu.SetAutoPopup(false);
    logged.Icon.SetRBtnPopupMenu(&menu);
    logged.Log.clear();
    logged.Icon.TrayWndProc(WM_USER, WM_RBUTTONUP);
    EXPECT_EQ(logged.Log, std::vector<std::string>{"up R"});
    menu.SetAutoPopup(true);
    logged.Shell.Calls.clear();
    logged.Icon.TrayWndProc(WM_USER, WM_RBUTTONUP);
    EXPECT_EQ(logged.Shell.Calls, (std::vector<std::string>{"SetForeground", "ProcessMessages", "ShowMenu"}));
    EXPECT_TRUE(logged.Shell.Notifies.empty());  // assigning menus is no notification-area call
}

TEST(TrayIconMenu, DestroyedMenuLeavesNullReferences) {
    LoggedIcon logged;
    {
        LoggingMenu menu(logged.Log, "both");
        logged.Icon.SetRBtnPopupMenu(&menu);
        logged.Icon.SetLBtnPopupMenu(&menu);
        EXPECT_EQ(logged.Shell.ContextMenu, &menu);
    }
    EXPECT_EQ(logged.Icon.RBtnPopupMenu(), nullptr);
    EXPECT_EQ(logged.Icon.LBtnPopupMenu(), nullptr);
    EXPECT_EQ(logged.Shell.ContextMenu, nullptr);
    logged.Icon.TrayWndProc(WM_USER, WM_RBUTTONUP);
    // A menu that outlives the icon is not told about a destroyed icon.
    auto menu = std::make_unique<LoggingMenu>(logged.Log, "late");
    {
        RecordingTrayShell shell;
        TTrayIcon brief(shell);
        brief.SetRBtnPopupMenu(menu.get());
    }
    menu.reset();
}

TEST(TrayIconMenu, MenuDestroyedWhilePendingEventsRunIsNotShown) {
    LoggedIcon logged;
    auto menu = std::make_unique<LoggingMenu>(logged.Log, "right");
    logged.Icon.SetRBtnPopupMenu(menu.get());
    logged.Shell.OnProcessMessages = [&] { menu.reset(); };
    logged.Icon.TrayWndProc(WM_USER, WM_RBUTTONUP);
    EXPECT_EQ(logged.Log, std::vector<std::string>{"up R"});
}

TEST(TrayIconNotify, AddModifyDeleteFollowThePicture) {
    RecordingTrayShell shell;
    TTrayIcon icon(shell);
    icon.SetHint("status");
    EXPECT_TRUE(shell.Notifies.empty());  // no picture yet
    const TIcon red = Picture(0xFFFF0000);
    icon.SetIcon(&red);
    icon.Refresh();
    icon.SetIcon(nullptr);
    icon.SetIcon(nullptr);
    ASSERT_EQ(shell.Notifies.size(), 3u);
    EXPECT_EQ(shell.Notifies[0].Message, TNotifyIconMessage::NIM_ADD);
    EXPECT_EQ(shell.Notifies[1].Message, TNotifyIconMessage::NIM_MODIFY);
    EXPECT_EQ(shell.Notifies[2].Message, TNotifyIconMessage::NIM_DELETE);
    const TNotifyIconData& added = shell.Notifies[0].Data;
    EXPECT_EQ(added.ID, icon.IconID());
    EXPECT_EQ(added.Flags, 7u);
    EXPECT_EQ(added.CallbackMessage, 1024u);
    EXPECT_EQ(added.Icon, red);
    EXPECT_EQ(added.Tip, "status");
    EXPECT_EQ(shell.Notifies[2].Data, shell.Notifies[1].Data);  // deleted with the record last sent
    EXPECT_FALSE(icon.IconShown());
}

TEST(TrayIconNotify, DirectIconChangeWaitsForRefresh) {
    RecordingTrayShell shell;
    TTrayIcon icon(shell);
    icon.Loaded();
    EXPECT_TRUE(shell.Notifies.empty());
    icon.Icon() = Picture(0xFF00FF00);
    EXPECT_TRUE(shell.Notifies.empty());
    icon.Refresh();
    ASSERT_EQ(shell.Notifies.size(), 1u);
    EXPECT_EQ(shell.Notifies[0].Data.Icon, Picture(0xFF00FF00));
    EXPECT_TRUE(icon.IconShown());
}

TEST(TrayIconNotify, DestructionDeletesAShownIconAndIdsCountUp) {
    RecordingTrayShell shell1, shell2;
    auto first = std::make_unique<TTrayIcon>(shell1);
    TTrayIcon second(shell2);
    EXPECT_EQ(second.IconID(), first->IconID() + 1);
    EXPECT_EQ(shell1.Window, first.get());
    EXPECT_EQ(shell2.Window, &second);
    const TIcon red = Picture(0xFFFF0000);
    first->SetIcon(&red);
    first.reset();
    EXPECT_EQ(shell1.Calls.back(), "Detach");
    EXPECT_EQ(shell1.Notifies.back().Message, TNotifyIconMessage::NIM_DELETE);
    EXPECT_TRUE(shell2.Notifies.empty());
}

struct HintCase {
    std::string Text;
    std::string Stored;
};

TEST(TrayIconHint, CutToSixtyThreeBytesAtCharacterBoundaries) {
    const std::string a63(63, 'a');
    const std::string kana = "監";  // three bytes
    const std::vector<HintCase> cases = {
        {"", ""},
        {a63, a63},
        {a63 + "b", a63},
        {std::string(62, 'a') + kana, std::string(62, 'a')},
        {std::string(61, 'a') + kana, std::string(61, 'a')},
        {std::string(60, 'a') + kana, std::string(60, 'a') + kana},
        {std::string(60, 'a') + "\xF0\x9F\x93\xA8", std::string(60, 'a')},  // four-byte character
        {std::string(59, 'a') + "\xF0\x9F\x93\xA8" + "z", std::string(59, 'a') + "\xF0\x9F\x93\xA8"},
        {std::string(70, '\x80'), std::string(63, '\x80')},  // not UTF-8: cut where it is
    };
    for (const HintCase& c : cases) {
        RecordingTrayShell shell;
        TTrayIcon icon(shell);
        const TIcon red = Picture(0xFFFF0000);
        icon.SetIcon(&red);
        icon.SetHint(c.Text);
        EXPECT_EQ(icon.Hint(), c.Stored) << c.Text.size() << " bytes";
        EXPECT_EQ(shell.Notifies.back().Data.Tip, c.Stored);
    }
}

// A hidden hint sends an empty tip, with the tip flag, and keeps the text.
TEST(TrayIconHint, EqualTextMakesNoCallButALongTextAgainDoes) {
    RecordingTrayShell shell;
    TTrayIcon icon(shell);
    icon.SetHint("no picture yet");
    EXPECT_TRUE(shell.Notifies.empty());
    const TIcon red = Picture(0xFFFF0000);
    icon.SetIcon(&red);
    icon.SetHint("no picture yet");
    EXPECT_EQ(shell.Notifies.size(), 1u);
    icon.SetHint("other");
    EXPECT_EQ(shell.Notifies.size(), 2u);
    EXPECT_EQ(shell.Notifies.back().Message, TNotifyIconMessage::NIM_MODIFY);
    const std::string longText(80, 'x');
    icon.SetHint(longText);
    icon.SetHint(longText);  // compared with the stored 63 bytes, so it differs
    EXPECT_EQ(shell.Notifies.size(), 4u);
    icon.SetHint("Quorvel - 監視中");
    icon.SetShowHint(false);
    icon.SetShowHint(false);
    ASSERT_EQ(shell.Notifies.size(), 6u);
    EXPECT_EQ(shell.Notifies.back().Data.Tip, "");
    EXPECT_EQ(shell.Notifies.back().Data.Flags & NIF_TIP, NIF_TIP);
    EXPECT_EQ(icon.Hint(), "Quorvel - 監視中");
}

}  // namespace
}  // namespace quorvel
