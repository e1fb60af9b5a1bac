// The account list and the account edit dialog, driven through their
// controls under Wine.
#include <windows.h>
// After windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <tuple>

#include "core/WideText_win32.h"
#include "gui/win32/AccountInformationForm_win32.h"
#include "gui/win32/AccountListForm_win32.h"
#include "resources/windows/DialogIds.h"
#include "settings/SystemCodePage_win32.h"
#include "tests/windialogs/DialogDriver_win32.h"

using namespace quorvel;

namespace {

constexpr int MessageBoxText = 0xFFFF;  // the static that holds a message box's text

class AccountDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSystemCodePageForTesting(932);
        SetRefusalSoundForTesting([this] { ++Beeps; });
    }
    void TearDown() override {
        SetRefusalSoundForTesting(nullptr);
        SetSystemCodePageForTesting(0);
    }

    std::atomic<int> Beeps{0};
};

// Sets the port, presses OK and tells whether the dialog took it.
bool OkTakesPort(TDialogDriver& Driver, HWND Dialog, const std::string& Port, std::atomic<int>& Beeps) {
    const int before = Beeps;
    Driver.SetText(Dialog, IDC_SERVER_PORT_EDIT, Port);
    Driver.Click(Dialog, IDOK);
    Driver.WaitFor([&] { return Beeps > before || !::IsWindow(Dialog); }, "OK to be answered");
    return !::IsWindow(Dialog);
}

}  // namespace

TEST_F(AccountDialogsTest, EditDialogNamesEveryFieldMasksThePasswordAndFollowsTheProtection) {
    TWaitingSignIn signIn;
    TAccountEditPresenter presenter(
        [](const std::string& Host, std::int32_t Port, TConnectionSecurity) {
            EXPECT_EQ(Host + ":" + std::to_string(Port), "pop.example.jp:995");  // what the boxes hold
            return TShownCertificate{"CN=pop.example.jp", "CN=Test CA", "2026-01-01 00:00:00 UTC",
                                     "2027-01-01 00:00:00 UTC", std::string(64, 'a')};
        },
        nullptr, &signIn);
    presenter.Fill(FieldsForNewAccount());
    presenter.SetSecurity(SecurityForNewAccount());
    TAccountInformationForm form(presenter);
    INT_PTR result = 0;
    TDialogDriver::Run(
        [&] { result = form.ShowModal(nullptr); },
        [&](TDialogDriver& Driver) {
            HWND dialog = Driver.WaitForDialog("Account Infomation");
            // A screen reader names each field by the label just before it.
            const std::pair<int, const char*> labels[] = {
                {IDC_SERVER_NAME_EDIT, "&ServerName:"}, {IDC_SERVER_PORT_EDIT, "ServerPor&t:"},
                {IDC_SECURITY_COMBO, "接続の保護:"},    {IDC_FINGERPRINT_EDIT, "証明書の指紋:"},
                {IDC_USER_ID_EDIT, "&UserID:"},         {IDC_PASSWORD_EDIT, "&Password:"},
                {IDC_AUTH_COMBO, "認証(&A):"},          {IDC_CLIENT_ID_EDIT, "クライアントID:"},
                {IDC_SCOPE_EDIT, "スコープ:"},
            };
            for (const auto& [id, label] : labels) {
                EXPECT_EQ(Driver.Text(::GetWindow(Driver.Control(dialog, id), GW_HWNDPREV)), label);
            }
            EXPECT_FALSE(Driver.Enabled(dialog, IDC_HELP_BUTTON));
            EXPECT_EQ(::SendMessageW(Driver.Control(dialog, IDC_PASSWORD_EDIT), EM_GETPASSWORDCHAR, 0, 0), L'*');
            EXPECT_EQ(Driver.Text(dialog, IDC_SERVER_PORT_EDIT), "995");
            EXPECT_FALSE(Driver.Visible(dialog, IDC_PLAINTEXT_WARNING));
            Driver.SetText(dialog, IDC_PASSWORD_EDIT, "パス");
            Driver.Screenshot(dialog, "account-edit");

            // "なし": the usual port follows, the warning shows, nothing to fetch.
            HWND combo = Driver.Control(dialog, IDC_SECURITY_COMBO);
            ::SendMessageW(combo, CB_SETCURSEL, 2, 0);
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SECURITY_COMBO, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(combo));
            Driver.WaitFor([&] { return Driver.Text(dialog, IDC_SERVER_PORT_EDIT) == "110"; }, "port 110");
            EXPECT_EQ(Driver.Text(dialog, IDC_PORT_HINT), "(通常は110です)");
            EXPECT_TRUE(Driver.Visible(dialog, IDC_PLAINTEXT_WARNING));
            EXPECT_FALSE(Driver.Enabled(dialog, IDC_FETCH_CERTIFICATE));
            Driver.Screenshot(dialog, "account-edit-plaintext");

            // Back to SSL/TLS; the certificate is shown (the question is
            // AccountPresentersTest's) and trusted.
            ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SECURITY_COMBO, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(combo));
            Driver.WaitFor([&] { return Driver.Text(dialog, IDC_SERVER_PORT_EDIT) == "995"; }, "port 995");
            Driver.SetText(dialog, IDC_SERVER_NAME_EDIT, "pop.example.jp");
            Driver.Click(dialog, IDC_FETCH_CERTIFICATE);
            HWND box = Driver.WaitForDialog("証明書");
            EXPECT_NE(Driver.Text(box, MessageBoxText).find("発行先: CN=pop.example.jp"), std::string::npos);
            Driver.Click(box, IDYES);
            Driver.WaitFor([&] { return Driver.Text(dialog, IDC_FINGERPRINT_EDIT) == std::string(64, 'a'); },
                           "the pin");

            // OAuth 2.0 (その他): the password box greys and the client rows show;
            // a sign-in without a client id says one is needed.
            EXPECT_FALSE(Driver.Visible(dialog, IDC_SCOPE_EDIT));
            HWND auth = Driver.Control(dialog, IDC_AUTH_COMBO);
            ::SendMessageW(auth, CB_SETCURSEL, 3, 0);
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_AUTH_COMBO, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(auth));
            Driver.WaitFor([&] { return Driver.Visible(dialog, IDC_SCOPE_EDIT); }, "the OAuth rows");
            EXPECT_FALSE(Driver.Enabled(dialog, IDC_PASSWORD_EDIT));
            EXPECT_EQ(Driver.Text(dialog, IDC_SIGN_IN_STATE), "サインインしていません");
            Driver.Screenshot(dialog, "account-edit-oauth");
            Driver.Click(dialog, IDC_SIGN_IN);
            HWND needed = Driver.WaitForDialog("サインイン");
            EXPECT_NE(Driver.Text(needed, MessageBoxText).find("クライアントIDが必要です"), std::string::npos);
            Driver.Click(needed, IDOK);
            // A sign-in waiting: its address, read-only, in place of the provider's boxes.
            Driver.SetText(dialog, IDC_CLIENT_ID_EDIT, "id");
            Driver.Click(dialog, IDC_SIGN_IN);
            Driver.WaitFor([&] { return signIn.Waiting && Driver.Visible(dialog, IDC_SIGN_IN_ADDRESS_EDIT); }, "wait");
            EXPECT_FALSE(Driver.Visible(dialog, IDC_SCOPE_EDIT));
            EXPECT_NE(::GetWindowLongW(Driver.Control(dialog, IDC_SIGN_IN_ADDRESS_EDIT), GWL_STYLE) & ES_READONLY, 0);
            Driver.Screenshot(dialog, "account-edit-oauth-wait");
            Driver.Click(dialog, IDC_SIGN_IN);  // "中止"
            Driver.WaitFor([&] { return !signIn.Waiting && Driver.Visible(dialog, IDC_SCOPE_EDIT); }, "the end");

            // A refused port: a beep and the focus on the port box; then OK.
            EXPECT_FALSE(OkTakesPort(Driver, dialog, "70000", Beeps));
            EXPECT_EQ(Driver.Focus(), Driver.Control(dialog, IDC_SERVER_PORT_EDIT));
            EXPECT_EQ(Beeps, 1);
            EXPECT_TRUE(OkTakesPort(Driver, dialog, "995", Beeps));
        });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(presenter.Fields().Password, "パス");
    EXPECT_EQ(presenter.Fields().OAuthProvider, "custom");
}

TEST_F(AccountDialogsTest, ListShowsDeletesAddsAndCloseStoresTheAccountsEnabled) {
    TAccounts accounts;
    TAccount& taro = accounts.Add();
    taro.Host = "pop.example.jp";
    taro.Port = 110;
    taro.UserID = "taro";
    taro.Password = "abパス";  // 2 + 4 bytes in Shift-JIS
    taro.Enabled = true;
    accounts.Add();  // no host, no user ID
    TAccount& third = accounts.Add();
    third.UserID = "taro";
    third.Host = "pop.example.jp";

    TAccountListPresenter presenter(accounts, nullptr, nullptr);
    TAccountListForm form(presenter);
    INT_PTR result = 0;
    TDialogDriver::Run([&] { result = form.ShowModal(nullptr); },
                       [&](TDialogDriver& Driver) {
                           HWND dialog = Driver.WaitForDialog("Accounts");
                           HWND list = Driver.Control(dialog, IDC_ACCOUNT_LIST_VIEW);
                           EXPECT_EQ(Driver.Text(list), "Accounts");  // its name for a screen reader
                           struct TColumn {
                               const char* Header;
                               int Width;
                               int Format;
                           };
                           const TColumn columns[] = {
                               {"Server name", 120, LVCFMT_LEFT},
                               {"Port", 35, LVCFMT_RIGHT},
                               {"UserID", 70, LVCFMT_LEFT},
                               {"Password", 70, LVCFMT_LEFT},
                           };
                           for (int i = 0; i < 4; ++i) {
                               wchar_t header[64] = {};
                               LVCOLUMNW column{};
                               column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
                               column.pszText = header;
                               column.cchTextMax = 64;
                               ::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i),
                                              reinterpret_cast<LPARAM>(&column));
                               EXPECT_EQ(Utf8FromWide(header), columns[i].Header);
                               EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, columns[i].Format) << columns[i].Header;
                               EXPECT_GE(column.cx, columns[i].Width) << columns[i].Header;
                           }
                           EXPECT_NE(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES, 0);
                           ASSERT_EQ(Driver.RowCount(list), 3);
                           EXPECT_EQ(Driver.Cell(list, 0, 0), "pop.example.jp");
                           EXPECT_EQ(Driver.Cell(list, 0, 1), "110");
                           EXPECT_EQ(Driver.Cell(list, 0, 2), "taro");
                           EXPECT_EQ(Driver.Cell(list, 0, 3), "******");
                           EXPECT_TRUE(Driver.Checked(list, 0));
                           EXPECT_FALSE(Driver.Checked(list, 1));
                           Driver.Screenshot(dialog, "account-list");

                           // The question, with "OK" and "キャンセル" whatever the system's language.
                           Driver.Select(list, 1);
                           Driver.WaitFor([&] { return Driver.Enabled(dialog, IDC_ACCOUNT_DELETE); }, "削除 enabled");
                           EXPECT_TRUE(Driver.Enabled(dialog, IDC_ACCOUNT_CHANGE));
                           Driver.Click(dialog, IDC_ACCOUNT_DELETE);
                           HWND box = Driver.WaitForDialog("確認");
                           EXPECT_EQ(Driver.Text(box, MessageBoxText), "名称なし を削除してよろしいですか？");
                           EXPECT_EQ(Driver.Text(box, IDOK), "OK");
                           EXPECT_EQ(Driver.Text(box, IDCANCEL), "キャンセル");
                           Driver.Screenshot(box, "account-delete");
                           Driver.Click(box, IDOK);
                           Driver.WaitUntilClosed(box);
                           Driver.WaitFor([&] { return Driver.RowCount(list) == 2; }, "the rows");
                           EXPECT_EQ(accounts.Count(), 2);
                           EXPECT_FALSE(Driver.Enabled(dialog, IDC_ACCOUNT_DELETE));
                           EXPECT_EQ(Driver.Cell(list, 0, 2), "taro");

                           // Esc does not close the list: the add that follows it still opens.
                           Driver.Key(VK_ESCAPE);
                           Driver.Click(dialog, IDC_ACCOUNT_ADD);
                           HWND edit = Driver.WaitForDialog("Account Infomation");
                           Driver.SetText(edit, IDC_SERVER_NAME_EDIT, "pop.new.example");
                           Driver.SetText(edit, IDC_USER_ID_EDIT, "hanako");
                           Driver.SetText(edit, IDC_PASSWORD_EDIT, "パス");
                           Driver.Click(edit, IDOK);
                           Driver.WaitUntilClosed(edit);
                           Driver.WaitFor([&] { return Driver.RowCount(list) == 3; }, "the new row");
                           EXPECT_EQ(Driver.Cell(list, 2, 0), "pop.new.example");
                           Driver.SetChecked(list, 0, false);
                           Driver.Click(dialog, IDC_ACCOUNT_CLOSE);
                       });
    ASSERT_EQ(result, IDOK);
    EXPECT_TRUE(presenter.StoreAccounts());
    ASSERT_EQ(accounts.Count(), 3);
    EXPECT_FALSE(accounts.Items(0).Enabled);
    EXPECT_EQ(std::tie(accounts.Items(2).UserID, accounts.Items(2).Password), std::tuple("hanako", "パス"));
}

TEST_F(AccountDialogsTest, TitleBarCloseIsNoCloseButKeepsTheTicksInMemory) {
    TAccounts accounts;
    accounts.Add().Enabled = true;
    TAccountListPresenter presenter(accounts, nullptr, nullptr);
    TAccountListForm form(presenter);
    INT_PTR result = 0;
    TDialogDriver::Run([&] { result = form.ShowModal(nullptr); },
                       [&](TDialogDriver& Driver) {
                           HWND dialog = Driver.WaitForDialog("Accounts");
                           Driver.SetChecked(Driver.Control(dialog, IDC_ACCOUNT_LIST_VIEW), 0, false);
                           Driver.CloseByTitleBar(dialog);
                           Driver.WaitUntilClosed(dialog);
                       });
    // Not "閉じる": the caller stores nothing.
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(presenter.StoreAccounts());
    EXPECT_FALSE(accounts.Items(0).Enabled);
}
