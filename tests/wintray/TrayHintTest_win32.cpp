#include "gui/win32/TrayHint_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/win32/TrayShell_win32.h"
#include "settings/SystemCodePage_win32.h"
#include "tray/TrayIcon.h"

namespace quorvel {
namespace {

struct THintCase {
    std::string Text;
    std::string Kept;
};

std::string Repeat(const std::string& Text, int Times) {
    std::string result;
    for (int i = 0; i < Times; ++i) result += Text;
    return result;
}

// CutToCodePageBytes through the shell: 63 bytes of the system code page,
// cut between characters. In Shift-JIS kanji and kana take two bytes,
// half-width katakana one, so a hint holds more text than its UTF-8 bytes
// suggest.
TEST(TrayHint, TheWindowsShellCutsTheIconsHintInTheSystemCodePage) {
    const std::string a62(62, 'a');
    const THintCase cases[] = {
        {"", ""},
        {std::string(63, 'a'), std::string(63, 'a')},
        {std::string(64, 'a'), std::string(63, 'a')},
        {std::string(61, 'a') + "監", std::string(61, 'a') + "監"},  // 63 bytes: whole
        {a62 + "監", a62},                                           // byte 63 is the first half of 監
        {a62 + "監z", a62},
        {std::string(60, 'a') + "ｱｲｳ", std::string(60, 'a') + "ｱｲｳ"},  // one byte each
        {std::string(60, 'a') + "ｱｲｳｴ", std::string(60, 'a') + "ｱｲｳ"},
        {Repeat("通", 31) + "a", Repeat("通", 31) + "a"},
        {Repeat("通", 32), Repeat("通", 31)},
        {"taro@pop.example.jp 3通\r\nhanako@mail.example.com 12通\r\njiro@pop.example.jp 1通",
         "taro@pop.example.jp 3通\r\nhanako@mail.example.com 12通\r\njiro@pop"},
        {std::string(70, '\x80'), std::string(63, '\x80')},  // no UTF-8: a byte each
    };
    SetSystemCodePageForTesting(932);
    for (const THintCase& c : cases) {
        TWinTrayShell shell{{}};
        TTrayIcon icon{shell};
        icon.SetHint(c.Text);
        EXPECT_EQ(icon.Hint(), c.Kept) << c.Text;
    }
    SetSystemCodePageForTesting(0);
}

TEST(TrayHint, WideTextNeverRefusesAHint) {
    EXPECT_EQ(HintToWide("Quorvel - チェック中..."), L"Quorvel - チェック中...");
    EXPECT_EQ(HintToWide("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(HintToWide(""), L"");
}

}  // namespace
}  // namespace quorvel
