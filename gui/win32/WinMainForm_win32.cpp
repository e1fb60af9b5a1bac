#include "gui/win32/WinMainForm_win32.h"

#include <exception>

#include "app/AccountSignIn.h"
#include "app/CertificateFetch.h"
#include "app/SettingsPlace.h"
#include "core/Exception.h"
#include "gui/ErrorReport.h"
#include "gui/NewMailSound.h"
#include "gui/win32/AboutForm_win32.h"
#include "gui/win32/AccountListForm_win32.h"
#include "gui/win32/OptionForm_win32.h"

namespace quorvel {

namespace {

constexpr wchar_t WindowClass[] = L"TMainForm";

LRESULT CALLBACK MainFormProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    auto* form = reinterpret_cast<TWinMainForm*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (form != nullptr) return form->HandleMessage(Message, WParam, LParam);
    return ::DefWindowProcW(Window, Message, WParam, LParam);
}

HWND MakeMainWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MainFormProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = WindowClass;
    ::RegisterClassW(&windowClass);
    // Made, never shown.
    HWND window = ::CreateWindowExW(0, WindowClass, L"MainForm", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) throw Exception("The main window cannot be made (" + std::to_string(::GetLastError()) + ")");
    return window;
}

}  // namespace

TWinMainForm::TWinMainForm()
    : FWindow(MakeMainWindow()),
      Loop(ShowErrorReport),
      StatusShell(ShowErrorReport),
      NewMailShell(ShowErrorReport),
      Settings(MakeUserSettingsPlace()),
      Sound(MakeNewMailSound()),
      Notice(NewMailShell),
      System(std::make_unique<TWinSystemState>(FWindow, ShowErrorReport)) {
    ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Window = std::make_unique<TMainWindow>(TMainWindowParts{Loop, StatusShell, NewMailShell, Clock, *this, *Settings,
                                                            *this, *Sound, MailProgram, Notice, *System});
    TrayMenu = std::make_unique<TWinPopupMenu>(Window->Menu());
    Window->SetPopupMenu(TrayMenu.get());
}

void TWinMainForm::Start() {
    Window->FormCreate();
}

TWinMainForm::~TWinMainForm() {
    // The menu first, then the window's icons, then the shells.
    TrayMenu.reset();
    Window.reset();
    // No network callback runs once this returns.
    System.reset();
    ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
    ::DestroyWindow(FWindow);
}

int TWinMainForm::Run() {
    // "終了(&X)" may already have been chosen during the start-up check.
    // Otherwise it is chosen inside a handler that one of the messages
    // below started; the loop ends once that handler has returned, so a
    // check under way runs to its end first.
    MSG message;
    while (!FEnded && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

LRESULT TWinMainForm::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_CLOSE) {
        // Closing the main window ends the program, with no question.
        Window->CloseAction.Execute();
        return 0;
    }
    if (LRESULT result = 0; System && System->HandleMessage(Message, WParam, LParam, result)) return result;
    return ::DefWindowProcW(FWindow, Message, WParam, LParam);
}

void TWinMainForm::ReportError(const std::string& Message) {
    ShowErrorReport(Message);
}

void TWinMainForm::EndProgram() {
    FEnded = true;
    // Wakes the loop when nothing else is waiting.
    ::PostMessageW(FWindow, WM_NULL, 0, 0);
}

// The dialogs are modal to the hidden main window only, so the tray icons
// and their menu keep working while one is open.

bool TWinMainForm::ShowAccountList(TAccounts& Accounts) {
    // The certificate the user is asked to trust is fetched waiting in the
    // event loop like every check.
    TAccountSignIn signIn(Loop);
    TAccountListPresenter presenter(
        Accounts,
        [this](const std::string& Host, std::int32_t Port, TConnectionSecurity Security) {
            return FetchShownCertificate(Loop, Host, Port, Security);
        },
        ShowErrorReport, &signIn);
    TAccountListForm form(presenter);
    form.ShowModal(FWindow);
    return presenter.StoreAccounts();
}

bool TWinMainForm::ShowOptions(TOptionValues& Values) {
    TOptionsPresenter presenter(Values, ShowErrorReport);
    TOptionForm form(presenter);
    if (form.ShowModal(FWindow) != IDOK) return false;
    Values = presenter.Values();
    return true;
}

void TWinMainForm::ShowAbout() {
    TAboutPresenter presenter(ShowErrorReport);
    TAboutForm form(presenter);
    form.ShowModal(FWindow);
}

}  // namespace quorvel
