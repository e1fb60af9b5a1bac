// A network wait pumps the program's messages inside a dialog's handler (the
// certificate fetch, or a check started by the timer while a dialog is
// open): the dialog's keys must keep working there as in its own loop.
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "gui/win32/AccountInformationForm_win32.h"
#include "net/WinEventLoop_win32.h"
#include "resources/windows/DialogIds.h"
#include "tests/windialogs/DialogDriver_win32.h"

using namespace quorvel;

TEST(DialogKeysDuringWait, EnterPressesOkWhileAWaitPumpsTheMessages) {
    TWinEventLoop loop;
    std::atomic<bool> waiting{false};
    TAccountEditPresenter* shown = nullptr;
    TAccountEditPresenter presenter(
        [&](const std::string&, std::int32_t, TConnectionSecurity) -> TShownCertificate {
            // Waits as the POP3 client waits for the server, until OK was taken.
            waiting = true;
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (shown->Fields().Port.empty() && std::chrono::steady_clock::now() < end) {
                loop.WaitForEventsFor(std::chrono::milliseconds(50));
                loop.PumpOnce();
            }
            throw std::runtime_error("no server");
        },
        nullptr);
    shown = &presenter;
    presenter.Fill(FieldsForNewAccount());
    TAccountInformationForm form(presenter);
    INT_PTR result = 0;
    TDialogDriver::Run([&] { result = form.ShowModal(nullptr); },
                       [&](TDialogDriver& Driver) {
                           HWND dialog = Driver.WaitForDialog("Account Infomation");
                           Driver.SetText(dialog, IDC_SERVER_PORT_EDIT, "110");
                           Driver.Click(dialog, IDC_FETCH_CERTIFICATE);
                           // Enter in the port box while the fetch waits.
                           Driver.WaitFor([&] { return waiting.load(); }, "the fetch to wait");
                           HWND port = Driver.Control(dialog, IDC_SERVER_PORT_EDIT);
                           ::PostMessageW(port, WM_KEYDOWN, VK_RETURN, 1);
                           ::PostMessageW(port, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC0000001u));
                           HWND box = Driver.WaitForDialog("証明書");
                           EXPECT_EQ(Driver.Text(box, 0xFFFF), "no server");
                           Driver.Click(box, IDOK);
                           Driver.WaitUntilClosed(dialog);
                       });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(presenter.Fields().Port, "110");
}
