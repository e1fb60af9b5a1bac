#include "gui/MailLauncher.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "core/WideText_win32.h"
#include "settings/Registry.h"
#include "tests/settings/TestKey_win32.h"
#include "tests/support/MessageOf.h"

namespace quorvel {
namespace {

// HKEY_LOCAL_MACHINE of this process mapped onto a throw-away key, so the
// launcher reads a mail-client registration of the test's own.
class TMachineKeyOverride {
public:
    explicit TMachineKeyOverride(const TTestKey& Stand) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(Stand.Base()).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &FKey, nullptr);
        Overridden = FKey != nullptr && ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, FKey) == ERROR_SUCCESS;
    }
    ~TMachineKeyOverride() {
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        if (FKey != nullptr) ::RegCloseKey(FKey);
    }
    bool Overridden = false;

private:
    HKEY FKey = nullptr;
};

std::wstring Folder(const std::wstring& Path) {
    return Path.substr(0, Path.find_last_of(L"\\/"));
}

// The program the registered commands start, beside this test program.
std::wstring MarkProgram() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return Folder(self) + L"\\quorvel-mail-mark.exe";
}

// The marks once Lines lines are there, or what is there after 20 s.
std::string WaitForMarks(const std::wstring& Path, std::size_t Lines) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::string text;
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream in(Path.c_str(), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= Lines) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return text;
}

class MailLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        MarkFile = std::wstring(temp) + L"quorvel-mail-mark-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
        ::DeleteFileW(MarkFile.c_str());
        ::SetEnvironmentVariableW(L"QUORVEL_MARK_FILE", MarkFile.c_str());
        ::SetEnvironmentVariableW(L"QUORVEL_MAIL_WORD", L"メール");
        ASSERT_TRUE(Machine.Overridden) << "RegOverridePredefKey failed";
    }
    void TearDown() override { ::DeleteFileW(MarkFile.c_str()); }

    // Registers Client (the default value of Clients\Mail) or leaves it out.
    void SetClient(const std::wstring& Client) { Key.SetText("SOFTWARE\\Clients\\Mail", L"", Client); }
    void SetCommand(const std::wstring& Client, const std::wstring& Arguments, DWORD Type = REG_SZ) {
        const std::wstring command = L"\"" + MarkProgram() + L"\" " + Arguments;
        Key.SetText("SOFTWARE\\Clients\\Mail\\" + Utf8FromWide(Client) + "\\shell\\open\\command", L"", command, Type);
    }

    TTestKey Key;
    TMachineKeyOverride Machine{Key};
    std::wstring MarkFile;
};

TEST_F(MailLauncher, TheRegisteredCommandStartsAsRead) {
    // Nothing registered, an empty name, a client without a command: nothing.
    ExecuteMailClient();
    SetClient(L"");
    ExecuteMailClient();
    SetClient(L"Absent");
    ExecuteMailClient();

    SetClient(L"Quorvel Mail");
    SetCommand(L"Quorvel Mail", L"expanded %QUORVEL_MAIL_WORD% \"a b\"", REG_EXPAND_SZ);
    ExecuteMailClient();
    EXPECT_EQ(WaitForMarks(MarkFile, 1), "expanded|メール|a b|\n");

    SetCommand(L"Quorvel Mail", L"plain %QUORVEL_MAIL_WORD%", REG_SZ);
    ExecuteMailClient();
    EXPECT_EQ(WaitForMarks(MarkFile, 2), "expanded|メール|a b|\nplain|%QUORVEL_MAIL_WORD%|\n");

    // The name is used as it stands, trailing blanks and all.
    SetClient(L"Quorvel Mail  ");
    SetCommand(L"Quorvel Mail  ", L"blanks");
    ExecuteMailClient();
    EXPECT_EQ(WaitForMarks(MarkFile, 3), "expanded|メール|a b|\nplain|%QUORVEL_MAIL_WORD%|\nblanks|\n");
}

TEST_F(MailLauncher, ACommandOfAnotherTypeIsAReadErrorAndStartsNothing) {
    SetClient(L"Numbers");
    Key.SetDword("SOFTWARE\\Clients\\Mail\\Numbers\\shell\\open\\command", L"", 1);
    EXPECT_EQ(MessageOf<ERegistryException>([] { ExecuteMailClient(); }), "'' のデータ型が不正です");
}

}  // namespace
}  // namespace quorvel
