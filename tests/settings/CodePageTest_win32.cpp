#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "settings/SystemCodePage.h"
#include "settings/SystemCodePage_win32.h"

using namespace quorvel;

namespace {

struct TShiftJis {
    const char* Utf8;
    const char* Bytes;
};

}  // namespace

TEST(CodePage, ShiftJisRoundTrips) {
    const TShiftJis cases[] = {
        {"", ""},
        {"pass", "pass"},
        {"パスワード", "\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68"},
        {"ｱｲ", "\xb1\xb2"},  // half-width katakana: one byte each
        {"表", "\x95\x5c"},  // a trail byte that is "\"
        {"～", "\x81\x60"},  // U+FF5E, the wave dash CP932 does hold
        {"漢字ab",
         "\x8a\xbf\x8e\x9a"
         "ab"},
    };
    for (const TShiftJis& c : cases) {
        EXPECT_EQ(ToCodePage(932, c.Utf8), c.Bytes) << c.Utf8;
        EXPECT_EQ(FromCodePage(932, c.Bytes), c.Utf8) << c.Utf8;
    }
}

// Characters a code page cannot hold, bytes that are not Shift-JIS and
// broken UTF-8 or UTF-16 are refused.
TEST(CodePage, WhatCannotBeConvertedIsRefused) {
    // U+301C comes back as another character; Hangul and emoji have no form.
    for (const char* text : {"〜", "a한b", "😀", "pass\xe2\x82\xac", "\xff"}) {
        EXPECT_THROW(ToCodePage(932, text), Exception) << text;
    }
    // 1252 holds the euro sign but no Japanese.
    EXPECT_EQ(ToCodePage(1252, "\xe2\x82\xac"), "\x80");
    EXPECT_THROW(ToCodePage(1252, "パス"), Exception);
    for (const char* bytes : {"\x83", "ab\x81"}) {
        EXPECT_THROW(FromCodePage(932, bytes), Exception);
    }
    EXPECT_THROW(WideFromUtf8("a\xc3"), Exception);
    EXPECT_THROW(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), Exception);
    EXPECT_EQ(Utf8FromWide(WideFromUtf8("日本語")), "日本語");
}

TEST(CodePage, SystemCodePageIsTheAnsiCodePage) {
    SetSystemCodePageForTesting(0);
    // The test run sets the locale that Wine takes its ANSI code page from.
    if (const char* expected = std::getenv("QUORVEL_EXPECT_ACP")) {
        ASSERT_EQ(::GetACP(), static_cast<UINT>(std::atoi(expected)));
    }
    const std::string text = ::GetACP() == 932 ? "パス" : "pass";
    EXPECT_EQ(ToSystemCodePage(text), ToCodePage(::GetACP(), text));
    EXPECT_EQ(FromSystemCodePage(ToSystemCodePage(text)), text);
    if (::GetACP() == 932) {
        EXPECT_EQ(ToSystemCodePage("パス"), "\x83\x70\x83\x58");
        EXPECT_THROW(ToSystemCodePage("〜"), Exception);
    }
}
