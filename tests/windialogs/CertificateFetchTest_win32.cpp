// "証明書を取得..." against a real server: run under Wine by
// tests/wine/SchannelWineTest.cpp, which starts the servers and says where
// they are (QUORVEL_TLS_PORTS, QUORVEL_TLS_SHA256: name=value,...). Skipped
// without them, so a plain ctest run passes.
#include <winsock2.h>
// After winsock2.h.
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>

#include <string>

#include "app/CertificateFetch.h"
#include "gui/win32/AccountInformationForm_win32.h"
#include "net/WinEventLoop_win32.h"
#include "resources/windows/DialogIds.h"
#include "tests/windialogs/DialogDriver_win32.h"
#include "tests/winnet/SchannelRig_win32.h"

using namespace quorvel;

TEST(CertificateFetch, ServersCertificateIsShownOverSchannelAndTrustedOnYes) {
    const auto server = schannel_test::Ports().find("self");
    const std::string sha256 = schannel_test::Sha256Of("self");
    if (server == schannel_test::Ports().end() || sha256.empty())
        GTEST_SKIP() << "no test server: run tests/wine/schannel_wine_tests on Linux";
    const std::string port = server->second;
    TWinEventLoop loop;
    TAccountEditPresenter presenter(
        [&](const std::string& Host, std::int32_t Port, TConnectionSecurity Security) {
            return FetchShownCertificate(loop, Host, Port, Security);
        },
        nullptr);
    presenter.Fill(FieldsForNewAccount());
    TAccountInformationForm form(presenter);
    INT_PTR result = 0;
    std::string shown;
    TDialogDriver::Run([&] { result = form.ShowModal(nullptr); },
                       [&](TDialogDriver& Driver) {
                           HWND dialog = Driver.WaitForDialog("Account Infomation");
                           Driver.SetText(dialog, IDC_SERVER_NAME_EDIT, "127.0.0.1");
                           Driver.SetText(dialog, IDC_SERVER_PORT_EDIT, port);
                           Driver.Click(dialog, IDC_FETCH_CERTIFICATE);
                           HWND box = Driver.WaitForDialog("証明書");
                           shown = Driver.Text(box, 0xFFFF);
                           Driver.Click(box, IDYES);
                           Driver.WaitFor([&] { return Driver.Text(dialog, IDC_FINGERPRINT_EDIT) == sha256; },
                                          "the fingerprint");
                           Driver.Click(dialog, IDOK);
                           Driver.WaitUntilClosed(dialog);
                       });
    EXPECT_EQ(result, IDOK);
    for (const std::string& part : {std::string("発行先: "), std::string("有効期間: "), "SHA-256: " + sha256}) {
        EXPECT_NE(shown.find(part), std::string::npos) << part << " in " << shown;
    }
    EXPECT_EQ(presenter.Fields().CertFingerprint, sha256);
    EXPECT_EQ(presenter.Fields().Security, TConnectionSecurity::ImplicitTls);
}
