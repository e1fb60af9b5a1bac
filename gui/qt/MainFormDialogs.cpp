// The Qt dialogs of the main window, each owned by the hidden main window
// for one use and released before the call returns.
#include <QDialog>
#include <memory>

#include "app/AboutPresenter.h"
#include "app/AccountListPresenter.h"
#include "app/AccountSignIn.h"
#include "app/CertificateFetch.h"
#include "app/OptionsPresenter.h"
#include "gui/ErrorReport.h"
#include "gui/qt/AboutForm.h"
#include "gui/qt/AccountListForm.h"
#include "gui/qt/HeapTrim.h"
#include "gui/qt/MainForm.h"
#include "gui/qt/OptionForm.h"
#include "gui/qt/QtEventLoop.h"

namespace quorvel {

namespace {

// Modal for the hidden main window only, so the tray menu and the other
// actions stay usable while the dialog is open.
// The dialog's memory goes back to the system soon after it is closed (and
// freed, as the caller releases it at once).
template <typename Dialog>
int ShowModal(Dialog& Form) {
    Form.setWindowModality(Qt::WindowModal);
    const int result = Form.exec();
    TrimHeapSoon();
    return result;
}

}  // namespace

bool TMainForm::ShowAccountList(TAccounts& Accounts) {
    // The certificate the user is asked to trust is fetched on a client of
    // its own, waiting in the event loop like every check.
    TAccountSignIn signIn(Loop);
    TAccountListPresenter presenter(
        Accounts,
        [this](const std::string& Host, std::int32_t Port, TConnectionSecurity Security) {
            return FetchShownCertificate(Loop, Host, Port, Security);
        },
        ShowErrorReport, &signIn);
    auto form = std::make_unique<TAccountListForm>(this, presenter);
    ShowModal(*form);
    return presenter.StoreAccounts();
}

bool TMainForm::ShowOptions(TOptionValues& Values) {
    TOptionsPresenter presenter(Values, ShowErrorReport);
    auto form = std::make_unique<TOptionForm>(this, presenter);
    if (ShowModal(*form) != QDialog::Accepted) return false;
    Values = presenter.Values();
    return true;
}

void TMainForm::ShowAbout() {
    TAboutPresenter presenter(ShowErrorReport);
    auto form = std::make_unique<TAboutForm>(this, presenter);
    ShowModal(*form);
}

}  // namespace quorvel
