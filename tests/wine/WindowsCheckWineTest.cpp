// quorvel-check.exe as a Japanese Windows user meets it: settings exported
// from the registry (user IDs and passwords in Japanese, the passwords
// scrambled over their Shift-JIS bytes) are imported with regedit and
// checked against Dovecot, which must see exactly the Shift-JIS bytes.
// (Dovecot refuses every user name that is not UTF-8, so the Shift-JIS user
// ID is only seen on the wire; the Shift-JIS password logs in.)
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "core/ScopeExit.h"
#include "core/VisibleText.h"
#include "settings/Settings.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/OAuthRig.h"
#include "tests/pop3server/TestPki.h"
#include "tests/support/TempFolder.h"
#include "tests/wine/WineRunner.h"

namespace quorvel {
namespace {

constexpr auto RunLimit = std::chrono::seconds(90);
// ユーザ and パスワード in Shift-JIS.
const std::string ShiftJisUser = "\x83\x86\x81\x5b\x83\x55";
const std::string ShiftJisPassword = "\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68";
const char* const QuorvelKey = "HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel";
// A Japanese Windows program and its export run in code page 932.
const std::map<std::string, std::string> Japanese = {{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "ja_JP.UTF-8"}};

std::string Utf16Le(const std::string& Utf8) {
    iconv_t convert = ::iconv_open("UTF-16LE", "UTF-8");
    std::string in = Utf8;
    std::string out(in.size() * 4 + 4, '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t left = in.size();
    std::size_t room = out.size();
    ::iconv(convert, &from, &left, &to, &room);
    ::iconv_close(convert);
    out.resize(out.size() - room);
    return out;
}

std::string Account(int Number, std::int32_t Port, const std::string& UserId, const std::string& PasswordBytes) {
    char port[16];
    std::snprintf(port, sizeof port, "%08x", static_cast<unsigned>(Port));
    return "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\" + std::to_string(Number) +
           "]\r\n\"Host\"=\"127.0.0.1\"\r\n\"PortNo\"=dword:" + port + "\r\n\"UserID\"=\"" + UserId +
           "\"\r\n\"Password\"=\"" + EncodePassword(PasswordBytes) + "\"\r\n\"Enabled\"=dword:00000001\r\n\r\n";
}

TEST(WindowsCheckWine, RegistryExportIsCheckedWithTheShiftJisLogIn) {
    WineRunner runner;
    if (const std::string reason = runner.SkipReason("app/quorvel-check.exe"); !reason.empty()) GTEST_SKIP() << reason;
    DovecotOptions options;
    options.PreLoginRawLog = true;
    DovecotServer server({{"alice", "a-pass", 3}, {"bob", ShiftJisPassword, 2}}, options);

    // What regedit exports on Windows: UTF-16 with a byte-order mark. The
    // third account's user ID holds 〜 (U+301C), which code page 932 cannot
    // hold: it must fail without a connection, never log in as "?".
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\r\n\r\n" +
        Account(0, server.Port(), "alice", "a-pass") + Account(1, server.Port(), "bob", ShiftJisPassword) +
        Account(2, server.Port(), "ユーザ", ShiftJisPassword) + Account(3, server.Port(), "波〜", "x");
    TTempFolder temp;
    const auto file = temp.Path() / "quorvel.reg";
    std::ofstream(file, std::ios::binary) << std::string("\xff\xfe", 2) << Utf16Le(text);
    const auto regedit = runner.BuildFolder() / "wineprefix/drive_c/windows/regedit.exe";
    const WineResult imported = runner.Run(regedit.string(), {"/S", WineRunner::WindowsPath(file)}, Japanese, RunLimit);
    ASSERT_TRUE(imported.Finished && imported.ExitStatus == 0) << imported.Errors;

    const WineResult checked = runner.Run("app/quorvel-check.exe", {}, Japanese, RunLimit);
    std::string output = checked.Output;
    for (auto at = output.find("\r\n"); at != std::string::npos; at = output.find("\r\n")) output.erase(at, 1);
    EXPECT_EQ(output,
              "alice@127.0.0.1: 3\n"
              "bob@127.0.0.1: 2\n"
              "ユーザ@127.0.0.1: failed: Authentication failed\n"
              "波〜@127.0.0.1: failed: user ID or password: the text holds a character that code page 932 "
              "cannot hold\n")
        << checked.Errors << server.Log();
    EXPECT_EQ(checked.ExitStatus, 1);
    // The server saw the Shift-JIS bytes, and nothing of the last account.
    const std::string sent = server.PreLoginInput();
    // (Each line of the server's record starts with a time stamp.)
    EXPECT_NE(sent.find(" USER " + ShiftJisUser + "\r\n"), std::string::npos) << VisibleText(sent);
    EXPECT_NE(sent.find(" PASS " + ShiftJisPassword + "\r\n"), std::string::npos) << VisibleText(sent);
    EXPECT_EQ(sent.find("\xe6\xb3\xa2"), std::string::npos);
    EXPECT_EQ(sent.find("USER ?"), std::string::npos);

    const std::string removal =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\r\n";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string("\xff\xfe", 2) << Utf16Le(removal);
    runner.Run(regedit.string(), {"/S", WineRunner::WindowsPath(file)}, {}, RunLimit);
}

// The lines a program printed, without Windows' CR.
std::string Lines(std::string Text) {
    std::erase(Text, '\r');
    return Text;
}

// What regedit /E exports of Key (UTF-16), empty when the key is missing.
std::string Export(const WineRunner& Runner, const std::filesystem::path& File, const std::string& Key) {
    const auto regedit = Runner.BuildFolder() / "wineprefix/drive_c/windows/regedit.exe";
    Runner.Run(regedit.string(), {"/E", WineRunner::WindowsPath(File), Key}, {}, RunLimit);
    return ReadText(File);
}

bool Import(const WineRunner& Runner, const std::filesystem::path& File, const std::string& Text) {
    WriteText(File, Text);
    const auto regedit = Runner.BuildFolder() / "wineprefix/drive_c/windows/regedit.exe";
    const WineResult imported = Runner.Run(regedit.string(), {"/S", WineRunner::WindowsPath(File)}, {}, RunLimit);
    return imported.Finished && imported.ExitStatus == 0;
}

// A value's bytes as regedit writes them in hex: "61,62,...".
std::string HexBytes(const std::string& Bytes) {
    std::string hex;
    for (unsigned char c : Bytes) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x,", c);
        hex += byte;
    }
    return hex.substr(0, hex.size() - 1);
}

// OAuth 2.0 with the Windows programs: quorvel-check.exe signs in through
// the stand-in browser (Wine's winebrowser starts it), keeps the tokens in
// the Credential Manager, checks with them, refreshes and is refused.
TEST(WindowsCheckWine, OAuthSignInCheckRefreshAndRevocation) {
    WineRunner runner;
    if (const std::string reason = runner.SkipReason("app/quorvel-check.exe"); !reason.empty()) GTEST_SKIP() << reason;
    OAuthRig rig(false);
    const std::string settings = ReadText(rig.Config("alice", true) / "Quorvel" / "registry.reg");
    const std::string name = "alice@127.0.0.1";
    const auto file = rig.Temp / "import.reg";
    const std::string browserKey = "HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser";
    const std::string credentialsKey = "HKEY_CURRENT_USER\\Software\\Wine\\Credential Manager";
    // Afterwards the test's settings and browser go, and the credentials
    // are as they were before.
    const std::string credentials = Export(runner, rig.Temp / "credentials.reg", credentialsKey);
    OnScopeExit cleanUp([&] {
        Import(runner, file,
               "REGEDIT4\r\n\r\n[-" + std::string(QuorvelKey) + "]\r\n[-" + browserKey + "]\r\n[-" + credentialsKey +
                   "]\r\n");
        if (!credentials.empty()) Import(runner, file, credentials);
    });
    ASSERT_TRUE(Import(runner, file,
                       "REGEDIT4\r\n\r\n[-" + std::string(QuorvelKey) + "]\r\n" + settings.substr(settings.find('\n')) +
                           "\r\n[" + browserKey + "]\r\n\"Browsers\"=\"" + rig.Browser().string() + "\"\r\n"));
    auto check = [&](std::vector<std::string> Args, std::map<std::string, std::string> Env = {}) {
        Args.insert(Args.begin(), {"--ca-file", WineRunner::WindowsPath(TestPki::Get().CaFile())});
        return runner.Run("app/quorvel-check.exe", Args, Env, RunLimit);
    };

    // The sign-in: a wrong state is refused and the right one completes; the
    // listener answers on 127.0.0.1 only (curl 7: could not connect).
    WineResult run = check({"--sign-in", name}, {{"PROBE", "1"}});
    ASSERT_EQ(Lines(run.Output), name + ": signed in\n") << run.Errors << rig.BrowserLog();
    EXPECT_EQ(run.ExitStatus, 0);
    const std::string log = rig.BrowserLog();
    EXPECT_EQ(log.rfind(rig.Auth + "/authorize?response_type=code", 0), 0u) << log;
    EXPECT_NE(log.find("\nwrong-state 400\nother-address 7\n"), std::string::npos) << log;

    // A fresh token: no token call; then voided by the server: refreshed
    // once, and the rotated-out refresh token is refused.
    run = check({});
    EXPECT_EQ(Lines(run.Output), name + ": 3\n") << run.Errors << rig.Dovecot->Log();
    EXPECT_EQ(rig.State()["token_calls"], 1);
    rig.Control("expire=1&lifetime=60");
    run = check({});
    EXPECT_EQ(Lines(run.Output), name + ": 3\n") << run.Errors << rig.Dovecot->Log();
    nlohmann::json state = rig.State();
    EXPECT_EQ(state["refresh_calls"], 1);
    EXPECT_NE(rig.Token("grant_type=refresh_token&refresh_token=" + state["issued_refresh"][0].get<std::string>())
                  .find("invalid_grant"),
              std::string::npos);

    // Revoked: "sign in again", and no browser of its own accord.
    rig.Control("expire=1&revoke=1");
    run = check({});
    EXPECT_EQ(Lines(run.Output), name + ": failed: OAuth: sign in again\n") << run.Errors;
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(rig.BrowserLog(), log);

    // The account is in the registry, and no token anywhere, in any form
    // regedit writes.
    std::string exported = Export(runner, rig.Temp / "user.reg", "HKEY_CURRENT_USER");
    std::erase(exported, '\0');  // the names and values here are ASCII
    for (auto at = exported.find("\\\r\n  "); at != std::string::npos; at = exported.find("\\\r\n  "))
        exported.erase(at, 5);  // continued hex lines joined
    EXPECT_NE(exported.find("\"OAuthTokenUrl\"=\"" + rig.Auth + "/token\""), std::string::npos);
    state = rig.State();
    for (const auto& issued : {state["issued_access"], state["issued_refresh"]}) {
        for (const auto& token : issued) {
            const std::string text = token.get<std::string>();
            EXPECT_EQ(exported.find(text), std::string::npos);
            EXPECT_EQ(exported.find(HexBytes(text)), std::string::npos);
            EXPECT_EQ(exported.find(HexBytes(Utf16Le(text))), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace quorvel
