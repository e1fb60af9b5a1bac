#include "gui/win32/TrayShell_win32.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/WideText_win32.h"
#include "gui/win32/NewMailNotice_win32.h"
#include "tray/TrayIcon.h"

namespace quorvel {
namespace {

// Shell_NotifyIconW's messages (the tray's names hide the Windows macros).
constexpr DWORD NimAdd = 0;
constexpr DWORD NimModify = 1;
constexpr DWORD NimDelete = 2;

TIcon RedIcon() {
    TPicture16 picture;
    picture.Pixels.fill(0xFFFF0000u);
    return TIcon::Of(picture);
}

void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

// One record as the shell handed it to Shell_NotifyIconW, and what that said.
struct TSent {
    DWORD Message;
    NOTIFYICONDATAW Data;
    BOOL Result;
};

// True when the notification area holds the icon (uID on Window): a
// modification succeeds only for an icon it knows.
bool InNotificationArea(HWND Window, UINT Id) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = Window;
    data.uID = Id;
    return ::Shell_NotifyIconW(NimModify, &data) != FALSE;
}

// A real shell whose calls to the notification area are recorded on the way.
struct RecordedIcon {
    std::vector<TSent> Sent;
    std::vector<std::string> Reported;
    std::vector<std::string> Log;
    TWinTrayShell Shell{[this](const std::string& Message) { Reported.push_back(Message); },
                        [this](DWORD Message, NOTIFYICONDATAW& Data) {
                            const BOOL result = ::Shell_NotifyIconW(Message, &Data);
                            Sent.push_back({Message, Data, result});
                            return result;
                        }};
    TTrayIcon Icon{Shell};

    RecordedIcon() {
        Icon.OnClick = [this](TTrayIcon&) { Log.push_back("click"); };
        Icon.OnDblClick = [this](TTrayIcon&) { Log.push_back("dblclick"); };
        Icon.OnMouseDown = [this](TTrayIcon&, TMouseButton Button, TShiftState, int, int) {
            Log.push_back(Button == TMouseButton::mbLeft ? "down L" : "down R");
        };
        Icon.OnMouseUp = [this](TTrayIcon&, TMouseButton Button, TShiftState, int, int) {
            Log.push_back(Button == TMouseButton::mbLeft ? "up L" : "up R");
        };
    }
    void Post(LPARAM MouseMessage) {
        ::PostMessageW(Shell.Window(), 1024, static_cast<WPARAM>(Icon.IconID()), MouseMessage);
    }
};

TEST(TWinTrayShell, AddModifyDeleteSendTheWholeRecord) {
    RecordedIcon tray;
    const TIcon red = RedIcon();
    tray.Icon.SetIcon(&red);
    tray.Icon.SetHint("Quorvel - 監視中");
    tray.Icon.SetIcon(nullptr);

    ASSERT_EQ(tray.Sent.size(), 3u);
    const DWORD expected[] = {NimAdd, NimModify, NimDelete};
    for (std::size_t i = 0; i < 3; ++i) {
        const TSent& sent = tray.Sent[i];
        EXPECT_EQ(sent.Message, expected[i]) << i;
        EXPECT_EQ(sent.Data.hWnd, tray.Shell.Window()) << i;
        EXPECT_EQ(sent.Data.uID, static_cast<UINT>(tray.Icon.IconID())) << i;
    }
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(tray.Sent[i].Data.uFlags, 7u);
        EXPECT_EQ(tray.Sent[i].Data.uCallbackMessage, 1024u);
        EXPECT_NE(tray.Sent[i].Data.hIcon, nullptr);
    }
    EXPECT_EQ(std::wstring(tray.Sent[0].Data.szTip), L"");
    EXPECT_EQ(std::wstring(tray.Sent[1].Data.szTip), L"Quorvel - 監視中");
    EXPECT_TRUE(tray.Reported.empty());
}

TEST(TWinTrayShell, IconsAreNumberedAndLiveInTheNotificationAreaWhileShown) {
    HWND window = nullptr;
    UINT id = 0;
    {
        RecordedIcon first;
        RecordedIcon second;
        EXPECT_EQ(second.Icon.IconID(), first.Icon.IconID() + 1);
        const TIcon red = RedIcon();
        first.Icon.SetIcon(&red);
        second.Icon.SetIcon(&red);
        ASSERT_TRUE(first.Sent.back().Result) << "the notification area refused the icon";
        window = second.Shell.Window();
        id = static_cast<UINT>(second.Icon.IconID());
        first.Icon.SetIcon(nullptr);
        EXPECT_FALSE(InNotificationArea(first.Shell.Window(), static_cast<UINT>(first.Icon.IconID())));
        EXPECT_TRUE(InNotificationArea(window, id));
    }
    // Destroying the shell takes its icon away.
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(InNotificationArea(window, id));
}

struct TMouseCase {
    std::vector<LPARAM> Messages;
    std::vector<std::string> Expected;
};

TEST(TWinTrayShell, CallbackMessagesReachTheIconAsMouseEvents) {
    const std::vector<TMouseCase> cases = {
        {{513, 514}, {"down L", "click", "up L"}},
        {{513, 514, 515, 514}, {"down L", "click", "up L", "dblclick", "down L", "click", "up L"}},
        {{516, 517}, {"down R", "up R"}},
        {{512, 0x7FFF}, {}},                 // a move without a handler, an unknown message
        {{0x402, 0x403, 0x404, 0x405}, {}},  // the balloon's NIN_* messages
    };
    for (const TMouseCase& c : cases) {
        RecordedIcon tray;
        for (LPARAM message : c.Messages) tray.Post(message);
        Pump();
        EXPECT_EQ(tray.Log, c.Expected) << c.Messages.size() << " messages";
    }
}

// The notice is the new-mail icon's balloon: what goes out when, cut where;
// withdrawn as an empty text, once, and only when one went out.
TEST(WinNewMailNotice, TheBalloonOnTheIcon) {
    struct Case {
        bool IconFirst, Busy;
        std::string Body;
        std::vector<DWORD> Sent;  // the records that carry NIF_INFO
        std::wstring Text;
    };
    const Case cases[] = {
        {true, false, "alice 3通\nbob 1通", {NimModify}, L"alice 3通\nbob 1通"},
        {false, false, "alice 1通", {NimAdd}, L"alice 1通"},  // goes with the icon's addition
        {true, false, std::string(254, 'a') + "\xF0\x9F\x93\xA7", {NimModify}, std::wstring(254, L'a')},
        {true, true, "alice 1通", {}, L""},  // the user presents
    };
    const TIcon red = RedIcon();
    for (const Case& c : cases) {
        RecordedIcon tray;
        TWinNewMailNotice notice(tray.Shell, [&] { return c.Busy; });
        if (c.IconFirst) tray.Icon.SetIcon(&red);
        notice.Show("新着メール", c.Body);
        tray.Icon.SetIcon(&red);
        notice.Withdraw();
        notice.Withdraw();
        std::vector<DWORD> balloons;
        for (const TSent& sent : tray.Sent) {
            if ((sent.Data.uFlags & NIF_INFO) == 0) continue;
            balloons.push_back(sent.Message);
            EXPECT_EQ(std::wstring(sent.Data.szInfoTitle), balloons.size() == 1 ? L"新着メール" : L"");
            EXPECT_EQ(std::wstring(sent.Data.szInfo), balloons.size() == 1 ? c.Text : L"") << c.Body;
            EXPECT_EQ(sent.Data.dwInfoFlags, balloons.size() == 1 ? 0xB4u : 0u);  // user, large, silent, quiet time
        }
        std::vector<DWORD> expected = c.Sent;
        if (!expected.empty()) expected.push_back(NimModify);
        EXPECT_EQ(balloons, expected) << c.Body;
    }
}

TEST(TWinTrayShell, EachIconHearsOnlyItsOwnWindow) {
    RecordedIcon first;
    RecordedIcon second;
    second.Post(514);
    ::PostMessageW(first.Shell.Window(), 1025, 0, 514);  // not the callback message
    Pump();
    EXPECT_TRUE(first.Log.empty());
    EXPECT_EQ(second.Log, (std::vector<std::string>{"click", "up L"}));
}

// Explorer forgets every icon when it restarts and then tells every top-level
// window "TaskbarCreated": a shown icon is added again, a removed one not.
TEST(TWinTrayShell, ARestartedTaskbarGetsTheShownIconAgain) {
    RecordedIcon shown;
    RecordedIcon removed;
    const TIcon red = RedIcon();
    shown.Icon.SetIcon(&red);
    shown.Icon.SetHint("taro@pop.example.jp 3通");
    removed.Icon.SetIcon(&red);
    removed.Icon.SetIcon(nullptr);
    const UINT id = static_cast<UINT>(shown.Icon.IconID());

    // The taskbar's restart, as far as the icons are concerned.
    NOTIFYICONDATAW lost{};
    lost.cbSize = sizeof lost;
    lost.hWnd = shown.Shell.Window();
    lost.uID = id;
    ::Shell_NotifyIconW(NimDelete, &lost);
    ASSERT_FALSE(InNotificationArea(shown.Shell.Window(), id));

    // Broadcasts reach top-level windows only.
    const auto other = [](HWND Window, LPARAM Sought) -> BOOL { return Window != reinterpret_cast<HWND>(Sought); };
    EXPECT_FALSE(::EnumWindows(other, reinterpret_cast<LPARAM>(shown.Shell.Window()))) << "not a top-level window";

    const std::size_t shownBefore = shown.Sent.size();
    const std::size_t removedBefore = removed.Sent.size();
    ::SendMessageW(shown.Shell.Window(), TWinTrayShell::TaskbarCreatedMessage(), 0, 0);
    ::SendMessageW(removed.Shell.Window(), TWinTrayShell::TaskbarCreatedMessage(), 0, 0);

    ASSERT_EQ(shown.Sent.size(), shownBefore + 1);
    EXPECT_EQ(shown.Sent.back().Message, NimAdd);
    EXPECT_EQ(std::wstring(shown.Sent.back().Data.szTip), L"taro@pop.example.jp 3通");
    EXPECT_NE(shown.Sent.back().Data.hIcon, nullptr);
    EXPECT_TRUE(InNotificationArea(shown.Shell.Window(), id));
    EXPECT_EQ(removed.Sent.size(), removedBefore);
    // Later changes go on as modifications of the icon added again.
    shown.Icon.SetHint("other");
    EXPECT_EQ(shown.Sent.back().Message, NimModify);
    EXPECT_TRUE(shown.Sent.back().Result);
}

// A failing handler is reported and the loop goes on; ProcessMessages
// leaves the quit for the program's loop.
TEST(TWinTrayShell, AFailingHandlerIsReportedAndTheQuitIsLeftForTheProgram) {
    RecordedIcon tray;
    tray.Icon.OnClick = [](TTrayIcon&) { throw std::runtime_error("メールチェックに失敗"); };
    tray.Post(514);
    tray.Post(516);
    ::PostQuitMessage(3);
    tray.Shell.ProcessMessages();
    EXPECT_EQ(tray.Reported, (std::vector<std::string>{"メールチェックに失敗"}));
    EXPECT_EQ(tray.Log, (std::vector<std::string>{"down R"}));
    MSG message;
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 3u);
}

}  // namespace
}  // namespace quorvel
