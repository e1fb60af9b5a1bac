// The main window's dialog actions: each disables itself, creates its dialog
// owned by the main window, fills it, shows it modally, carries out what OK
// asks for, releases the dialog and enables itself again, whatever happened.
#include <QAction>
#include <memory>

#include "app/AccountCheck.h"
#include "app/MainForm.h"
#include "app/QtEventLoop.h"
#include "settings/RegistryStore.h"
#include "settings/RunAtStartup.h"
#include "settings/Settings.h"
#include "settings/ui/AccountListForm.h"
#include "settings/ui/OptionForm.h"
#include "tray/about/AboutForm.h"

namespace quorvel {

namespace {

// Disables an action for as long as it lives.
class ActionBusy {
public:
    explicit ActionBusy(QAction* Busy) : Action(Busy) { Action->setEnabled(false); }
    ~ActionBusy() { Action->setEnabled(true); }
    ActionBusy(const ActionBusy&) = delete;
    ActionBusy& operator=(const ActionBusy&) = delete;

private:
    QAction* Action;
};

// Modal for the hidden main window only, so the tray menu and the other
// actions stay usable while the dialog is open.
template <typename Dialog>
int ShowModal(Dialog& Form) {
    Form.setWindowModality(Qt::WindowModal);
    return Form.exec();
}

}  // namespace

void TMainForm::AccountSettingActionExecute() {
    ActionBusy busy(AccountSettingAction);
    auto form = std::make_unique<TAccountListForm>(this, Accounts);
    // The certificate the user is asked to trust is fetched on a client of
    // its own, waiting in the event loop like every check.
    form->CertificateFetcher = [this](const std::string& Host, std::int32_t Port, TConnectionSecurity Security) {
        TPop3Client client(Loop);
        client.SetTimeOut(CheckTimeOutMs);
        client.Host = Host;
        client.Port = Port;
        client.Security = Security;
        const TlsCertificate shown = client.FetchCertificate();
        return TShownCertificate{shown.Subject, shown.Issuer, shown.NotBefore, shown.NotAfter, shown.Sha256};
    };
    if (ShowModal(*form) == QDialog::Accepted) {
        RegistryStore store(RegistryStore::DefaultPath());
        SaveAccounts(store, Accounts);
    }
}

void TMainForm::OptionSettingActionExecute() {
    ActionBusy busy(OptionSettingAction);
    auto form = std::make_unique<TOptionForm>(this);
    form->SetIntervalMinutes(PeriodToMinutes(Timer1.Interval()));
    form->SetRunAtStartup(IsRunAtStartup());
    if (ShowModal(*form) != QDialog::Accepted) return;
    // The dialog refuses minutes whose period would not fit 32 bits.
    Timer1.SetInterval(MinutesToPeriod(form->IntervalMinutes()));
    if (form->RunAtStartup()) {
        AddRunAtStartup();
    } else {
        RemoveRunAtStartup();
    }
    RegistryStore store(RegistryStore::DefaultPath());
    SaveInterval(store, Timer1.Interval());
}

void TMainForm::AboutActionExecute() {
    ActionBusy busy(AboutAction);
    auto form = std::make_unique<TAboutForm1>(this);
    ShowModal(*form);
}

}  // namespace quorvel
