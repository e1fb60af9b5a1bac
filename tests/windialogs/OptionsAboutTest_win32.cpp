// The options, start at log-on under the Run key, and the About box, driven
// through their controls under Wine.
#include <windows.h>
// After windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "gui/win32/AboutForm_win32.h"
#include "gui/win32/OptionForm_win32.h"
#include "resources/windows/DialogIds.h"
#include "settings/RunAtStartup_win32.h"
#include "settings/RunCommand.h"
#include "tests/settings/TestKey_win32.h"
#include "tests/support/MessageOf.h"
#include "tests/windialogs/DialogDriver_win32.h"
#include "tests/wintray/IconPlanes_win32.h"

using namespace quorvel;

namespace {

int ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace

// What is read and stored is WinSettingsTest's; here the dialog between.
TEST(OptionsDialog, ShowsTheMinutesRefusesOneAndOkGivesBackTheNewOnes) {
    std::atomic<int> beeps{0};
    SetRefusalSoundForTesting([&] { ++beeps; });
    TOptionsPresenter presenter({7, false}, {});
    TOptionForm form(presenter);
    INT_PTR result = 0;
    TDialogDriver::Run(
        [&] { result = form.ShowModal(nullptr); },
        [&](TDialogDriver& Driver) {
            HWND dialog = Driver.WaitForDialog("オプション");
            EXPECT_EQ(Driver.Text(dialog, IDC_CHECK_TIME_EDIT), "7");
            EXPECT_EQ(Driver.Text(dialog, IDC_RUN_ON_STARTUP), "Windows起動時にこのプログラムを実行する(&R)");
            EXPECT_EQ(Driver.Text(::GetWindow(Driver.Control(dialog, IDC_CHECK_TIME_EDIT), GW_HWNDPREV)),
                      "メールを確認する間隔");
            EXPECT_FALSE(Driver.Enabled(dialog, IDC_HELP_BUTTON));
            EXPECT_EQ(::SendMessageW(Driver.Control(dialog, IDC_RUN_ON_STARTUP), BM_GETCHECK, 0, 0), BST_UNCHECKED);
            // "ＭＳ Ｐゴシック" where it is installed, the system's dialog font otherwise.
            LOGFONTW font{};
            ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
            EXPECT_EQ(font.lfFaceName == DialogFontFace, FontInstalled(DialogFontFace))
                << Utf8FromWide(font.lfFaceName);
            EXPECT_FALSE(FontInstalled(L"Quorvel No Such Face"));
            Driver.Screenshot(dialog, "options");
            // What the box refuses is the presenter's (tests/app); here one refusal.
            Driver.SetText(dialog, IDC_CHECK_TIME_EDIT, "71583");
            Driver.Click(dialog, IDOK);
            Driver.WaitFor([&] { return beeps > 0; }, "the beep");
            EXPECT_TRUE(::IsWindow(dialog));
            EXPECT_EQ(Driver.Focus(), Driver.Control(dialog, IDC_CHECK_TIME_EDIT));
            Driver.SetText(dialog, IDC_CHECK_TIME_EDIT, "10");
            ::SendMessageW(Driver.Control(dialog, IDC_RUN_ON_STARTUP), BM_SETCHECK, BST_CHECKED, 0);
            Driver.Click(dialog, IDOK);
            Driver.WaitUntilClosed(dialog);
        });
    SetRefusalSoundForTesting(nullptr);
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(presenter.Values().IntervalMinutes, 10u);
    EXPECT_TRUE(presenter.Values().RunAtStartup);
}

TEST(OptionsDialog, CancelAndEscChangeNothing) {
    for (const bool byEsc : {false, true}) {
        TOptionsPresenter presenter({5, false}, {});
        TOptionForm form(presenter);
        INT_PTR result = 0;
        TDialogDriver::Run([&] { result = form.ShowModal(nullptr); },
                           [&](TDialogDriver& Driver) {
                               HWND dialog = Driver.WaitForDialog("オプション");
                               Driver.SetText(dialog, IDC_CHECK_TIME_EDIT, "abc");
                               if (byEsc) {
                                   Driver.Key(VK_ESCAPE);
                               } else {
                                   Driver.Click(dialog, IDCANCEL);
                               }
                               Driver.WaitUntilClosed(dialog);
                           });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(presenter.Values().IntervalMinutes, 5u);
    }
}

class RunKeyTest : public ::testing::Test {
protected:
    std::string KeyPath() const { return Key.Base() + "\\" + std::string(RunKeyPath); }
    TRunKeyPlace Place(const std::string& Program) const { return {KeyPath(), "Quorvel", Program}; }
    std::string RunPath() const { return std::string(RunKeyPath); }

    TTestKey Key;
};

TEST_F(RunKeyTest, AddWritesThisProgramQuotedWhenItHoldsABlankAndRemoveDeletesIt) {
    struct TCase {
        const char* Program;
        const wchar_t* Stored;
    };
    const TCase cases[] = {
        {"C:\\Program Files\\Quorvel\\quorvel.exe", L"\"C:\\Program Files\\Quorvel\\quorvel.exe\""},
        {"C:\\Tools\\quorvel.exe", L"C:\\Tools\\quorvel.exe"},
        {"C:\\ツール\\quorvel.exe", L"C:\\ツール\\quorvel.exe"},
    };
    for (const TCase& c : cases) {
        EXPECT_FALSE(IsRunAtStartup(Place(c.Program))) << c.Program;
        AddRunAtStartup(Place(c.Program));
        const auto stored = Key.Get(RunPath(), L"Quorvel");
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->first, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(Key.GetText(RunPath(), L"Quorvel"), c.Stored);
        EXPECT_TRUE(IsRunAtStartup(Place(c.Program))) << c.Program;
        RemoveRunAtStartup(Place(c.Program));
        EXPECT_FALSE(Key.Get(RunPath(), L"Quorvel").has_value());
        RemoveRunAtStartup(Place(c.Program));  // nothing there: no error
    }
    // This program's own path, as the system reports the running module.
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    EXPECT_EQ(DefaultRunKeyPlace().ProgramPath, Utf8FromWide(module));
    EXPECT_EQ(DefaultRunKeyPlace().Name, "Quorvel");
}

TEST_F(RunKeyTest, RegisteredMeansThisProgramInAnyCaseOfAToZQuotedOrNot) {
    const std::string program = "C:\\Program Files\\Quorvel\\quorvel.exe";
    struct TCase {
        const wchar_t* Stored;
        DWORD Type;
        bool Registered;
    };
    const TCase cases[] = {
        {L"C:\\Program Files\\Quorvel\\quorvel.exe", REG_SZ, true},
        {L"\"C:\\Program Files\\Quorvel\\quorvel.exe\"", REG_SZ, true},
        {L"c:\\PROGRAM FILES\\quorvel\\QUORVEL.EXE", REG_SZ, true},
        {L"C:\\Program Files\\Quorvel\\quorvel.exe", REG_EXPAND_SZ, true},
        {L"\"C:\\Program Files\\Quorvel\\quorvel.exe\" /min", REG_SZ, false},
        {L"C:\\Program Files\\Quorvel\\quorvel.exe /min", REG_SZ, false},
        {L"\"C:\\Program Files\\Quorvel\\quorvel.exe", REG_SZ, false},
        {L"D:\\Old\\quorvel.exe", REG_SZ, false},
        {L"", REG_SZ, false},
    };
    for (const TCase& c : cases) {
        Key.SetText(RunPath(), L"Quorvel", c.Stored, c.Type);
        EXPECT_EQ(IsRunAtStartup(Place(program)), c.Registered) << Utf8FromWide(c.Stored);
    }
    // Only A-Z are compared without regard to case.
    Key.SetText(RunPath(), L"Quorvel", L"C:\\ｑｕｏｒｖｅｌ.exe");
    EXPECT_FALSE(IsRunAtStartup(Place("C:\\ＱＵＯＲＶＥＬ.exe")));
    EXPECT_TRUE(IsRunAtStartup(Place("C:\\ｑｕｏｒｖｅｌ.exe")));

    Key.SetDword(RunPath(), L"Quorvel", 1);
    EXPECT_EQ(MessageOf([&] { IsRunAtStartup(Place(program)); }), "'Quorvel' のデータ型が不正です");
}

TEST(AboutBox, ShowsTitleVersionAndLinksOnTheFramedPictureAndOnlyEnterClosesIt) {
    std::mutex opened;
    std::vector<std::string> links;
    SetLinkOpenerForTesting([&](const std::string& Link) {
        const std::lock_guard<std::mutex> lock(opened);
        links.push_back(Link);
    });
    TAboutPresenter presenter({});
    TAboutForm form(presenter);
    INT_PTR result = 0;
    TDialogDriver::Run(
        [&] { result = form.ShowModal(nullptr); },
        [&](TDialogDriver& Driver) {
            HWND about = Driver.WaitForDialog("windialog_testsのバージョン情報");
            EXPECT_EQ(Driver.Text(about, IDC_TITLE), "windialog_tests");
            // The file version of the program's version resource (its form: AboutTextTest).
            const std::string version = "Version " + std::to_string(QUORVEL_VERSION_MAJOR) + "." +
                                        std::to_string(QUORVEL_VERSION_MINOR) + "Release " +
                                        std::to_string(QUORVEL_VERSION_PATCH) + "(Build " +
                                        std::to_string(QUORVEL_VERSION_TWEAK) + ")";
            EXPECT_EQ(Driver.Text(about, IDC_VERSION), version);
            EXPECT_EQ(Driver.Text(about, IDC_SUBTITLE), "メールチェッカー");
            EXPECT_EQ(Driver.Text(about, IDC_COPYRIGHT), AboutCopyright);
            EXPECT_EQ(Driver.Text(about, IDOK), "OK");

            // The flag is a picture of its own, not the program's icon again.
            const auto icon = [&](int Id) {
                return reinterpret_cast<HICON>(::SendMessageW(Driver.Control(about, Id), STM_GETICON, 0, 0));
            };
            const std::vector<std::uint32_t> flag = ReadIcon(icon(IDC_FLAG_IMAGE)).Colour;
            EXPECT_FALSE(flag.empty());
            EXPECT_NE(flag, ReadIcon(icon(IDC_APPLICATION_ICON)).Colour);

            // Borderless, always on top, 320 x 240 at 96 dpi.
            const auto style = ::GetWindowLongPtrW(about, GWL_STYLE);
            EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME), 0);
            EXPECT_NE(::GetWindowLongPtrW(about, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
            RECT client{};
            ::GetClientRect(about, &client);
            EXPECT_EQ(client.right, ::MulDiv(320, ScreenDpi(), 96));
            EXPECT_EQ(client.bottom, ::MulDiv(240, ScreenDpi(), 96));

            // The links: reached with Tab, opened by the system's handler.
            const std::pair<int, std::string_view> anchors[] = {{IDC_MAIL_LINK, AboutMailLink},
                                                                {IDC_HOME_PAGE_LINK, AboutHomePageLink}};
            for (const auto& [id, url] : anchors) {
                HWND link = Driver.Control(about, id);
                EXPECT_NE(::GetWindowLongPtrW(link, GWL_STYLE) & WS_TABSTOP, 0);
                LITEM item{};
                item.mask = LIF_ITEMINDEX | LIF_URL;
                ASSERT_TRUE(::SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)));
                EXPECT_EQ(Utf8FromWide(item.szUrl), url);
                ::SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
                ::SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
            }
            Driver.WaitFor(
                [&] {
                    const std::lock_guard<std::mutex> lock(opened);
                    return links.size() == 2;
                },
                "both links opened");

            // The one-pixel raised frame over the picture, once it is on the screen.
            ::RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            RECT frame{};
            ::GetWindowRect(about, &frame);
            const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
            const COLORREF dark = ::GetSysColor(COLOR_BTNSHADOW);
            COLORREF corners[4] = {};
            const auto read = [&] {
                HDC screen = ::GetDC(nullptr);
                corners[0] = ::GetPixel(screen, frame.left, frame.top);
                corners[1] = ::GetPixel(screen, frame.left, frame.bottom - 1);
                corners[2] = ::GetPixel(screen, frame.right - 1, frame.top);
                corners[3] = ::GetPixel(screen, frame.right - 1, frame.bottom - 1);
                ::ReleaseDC(nullptr, screen);
                return corners[0] == light && corners[1] == light && corners[2] == dark && corners[3] == dark;
            };
            Driver.WaitFor(read, "the raised frame on the screen", [&] {
                std::string seen = "; the corners show";
                for (COLORREF colour : corners) seen += " " + std::to_string(colour);
                return seen + " for light " + std::to_string(light) + " and dark " + std::to_string(dark);
            });
            Driver.Screenshot(about, "about");

            // Esc is not answered; Enter presses "OK" (the default button) once
            // the focus has left the links, which take Enter themselves.
            ::SendMessageW(about, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Driver.Control(about, IDOK)), TRUE);
            Driver.Key(VK_ESCAPE);
            Driver.Key(VK_RETURN);
            Driver.WaitUntilClosed(about);
        });
    SetLinkOpenerForTesting(nullptr);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(links, (std::vector<std::string>{std::string(AboutMailLink), std::string(AboutHomePageLink)}));
}
