#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "settings/WinRegistry_win32.h"
#include "tests/settings/TestKey_win32.h"
#include "tests/support/MessageOf.h"

using namespace quorvel;

namespace {

class WinRegistryTest : public ::testing::Test {
protected:
    TTestKey Key;
    TWinRegistry Registry{Key.Base()};
};

}  // namespace

TEST_F(WinRegistryTest, ValuesKeepTheirTypes) {
    Registry.WriteString("\\Software\\T", "Sz", "text");
    Registry.WriteString("\\Software\\T", "Expand", "%TEMP%\\x", TRegDataType::ExpandString);
    Registry.WriteInteger("\\Software\\T", "Dword", -2);
    Registry.WriteString("\\Software\\T", "", "default");

    EXPECT_EQ(Registry.GetDataType("Software\\T", "Sz"), TRegDataType::String);
    EXPECT_EQ(Registry.GetDataType("Software\\T", "Expand"), TRegDataType::ExpandString);
    EXPECT_EQ(Registry.GetDataType("Software\\T", "DWORD"), TRegDataType::DWord);
    EXPECT_EQ(Registry.GetDataType("Software\\T", "Missing"), std::nullopt);
    EXPECT_EQ(Registry.GetDataType("Software\\None", "Sz"), std::nullopt);
    EXPECT_EQ(Registry.ReadString("Software\\T", "Expand"), "%TEMP%\\x");  // never expanded
    EXPECT_EQ(Registry.ReadInteger("Software\\T", "Dword"), -2);
    EXPECT_EQ(Registry.ReadString("Software\\T", ""), "default");

    // As the registry itself holds them.
    EXPECT_EQ(Key.Get("Software\\T", L"Sz")->first, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Key.Get("Software\\T", L"Expand")->first, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(Key.Get("Software\\T", L"Dword")->first, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Key.GetText("Software\\T", L"Sz"), L"text");
    // Text that is not UTF-8 is not written.
    EXPECT_THROW(Registry.WriteString("Software\\T", "Bad", "a\xff"), ERegistryException);
    EXPECT_FALSE(Key.Get("Software\\T", L"Bad").has_value());
}

TEST_F(WinRegistryTest, JapaneseTextIsUtf16InTheRegistry) {
    Registry.WriteString("\\Software\\日本", "名前", "メール監視");
    EXPECT_EQ(Key.GetText("Software\\日本", L"名前"), L"メール監視");
    Key.SetText("Software\\日本", L"受信", L"チェック中...");
    EXPECT_EQ(Registry.ReadString("Software\\日本", "受信"), "チェック中...");
    EXPECT_EQ(Registry.GetKeyNames("Software"), std::vector<std::string>{"日本"});
}

TEST_F(WinRegistryTest, ValuesOfTheWrongTypeOrShapeAreReadAsTheyCan) {
    const BYTE bytes[] = {1, 2, 3};
    Key.Set("Software\\T", L"Binary", REG_BINARY, bytes, sizeof bytes);
    Key.SetText("Software\\T", L"Text", L"12");
    EXPECT_EQ(Registry.GetDataType("Software\\T", "Binary"), TRegDataType::Binary);
    EXPECT_EQ(MessageOf([&] { Registry.ReadString("Software\\T", "Binary"); }), "'Binary' のデータ型が不正です");
    EXPECT_EQ(MessageOf([&] { Registry.ReadInteger("Software\\T", "Text"); }), "'Text' のデータ型が不正です");
    EXPECT_EQ(MessageOf([&] { Registry.ReadString("Software\\T", "Gone"); }), "'Gone' の取得に失敗しました");
    const BYTE shortDword[] = {1, 0};
    Key.Set("Software\\T", L"Short", REG_DWORD, shortDword, sizeof shortDword);
    EXPECT_THROW(Registry.ReadInteger("Software\\T", "Short"), ERegistryException);
    // Text stored without its end, or with an inner NUL, reads to the first NUL.
    const wchar_t open[] = {L'a', L'b'};
    Key.Set("Software\\T", L"Open", REG_SZ, open, sizeof open);
    const wchar_t inner[] = {L'a', L'\0', L'b', L'\0'};
    Key.Set("Software\\T", L"Inner", REG_SZ, inner, sizeof inner);
    EXPECT_EQ(Registry.ReadString("Software\\T", "Open"), "ab");
    EXPECT_EQ(Registry.ReadString("Software\\T", "Inner"), "a");
}

TEST_F(WinRegistryTest, KeysListSortedAsTextAndDeleteWithEverythingBelow) {
    for (const char* name : {"2", "10", "0", "1"}) Registry.CreateKey(std::string("\\Software\\L\\") + name);
    Registry.WriteString("Software\\L\\10\\Deep", "v", "x");
    EXPECT_EQ(Registry.GetKeyNames("\\Software\\L"), (std::vector<std::string>{"0", "1", "10", "2"}));
    EXPECT_TRUE(Registry.KeyExists("software\\l\\10\\deep"));
    EXPECT_TRUE(Registry.DeleteKey("Software\\L\\10"));
    EXPECT_FALSE(Registry.DeleteKey("Software\\L\\10"));
    EXPECT_FALSE(Key.Exists("Software\\L\\10"));
    EXPECT_EQ(Registry.GetKeyNames("Software\\L"), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_TRUE(Registry.GetKeyNames("Software\\Missing").empty());
    EXPECT_FALSE(Registry.DeleteKey("\\"));
    EXPECT_TRUE(Key.Exists("Software\\L\\0"));
}

TEST_F(WinRegistryTest, UpdateWithoutCommitLeavesTheUpdateKeyAsItWas) {
    TWinRegistry store(Key.Base(), "\\Software\\U");
    store.WriteString("Software\\U", "Kept", "1");
    {
        TRegistryUpdate update(store);
        store.WriteString("Software\\U\\New", "v", "x");
        store.DeleteKey("Software\\U");
        EXPECT_FALSE(store.KeyExists("Software\\U\\New"));
        // Keys beside the update key change at once.
        store.WriteString("Software\\Other", "v", "x");
    }
    EXPECT_EQ(Key.GetText("Software\\U", L"Kept"), L"1");
    EXPECT_FALSE(Key.Exists("Software\\U\\New"));
    EXPECT_TRUE(Key.Exists("Software\\Other"));
    EXPECT_EQ(Key.Subkeys("Software").size(), 2u);  // no copy left behind
}

TEST_F(WinRegistryTest, UpdatesOfTwoStoresNeverInterleave) {
    std::atomic<bool> secondTrying{false}, secondIn{false};
    // Whether Flag was set within Ms milliseconds.
    const auto setWithin = [](const std::atomic<bool>& Flag, DWORD Ms) {
        for (const DWORD start = ::GetTickCount(); !Flag; ::Sleep(1))
            if (::GetTickCount() - start > Ms) return false;
        return true;
    };
    Registry.BeginUpdate();
    std::thread other([&] {
        secondTrying = true;
        TWinRegistry second(Key.Base());  // its start already takes the lock
        TRegistryUpdate update(second);
        secondIn = true;
    });
    EXPECT_TRUE(setWithin(secondTrying, 10000));
    // Ours still runs: the other update, trying now, does not begin.
    EXPECT_FALSE(setWithin(secondIn, 200));
    Registry.EndUpdate();
    other.join();
    EXPECT_TRUE(secondIn);
}
