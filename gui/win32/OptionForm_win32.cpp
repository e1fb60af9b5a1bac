#include "gui/win32/OptionForm_win32.h"

#include "resources/windows/DialogIds.h"

namespace quorvel {

namespace {

int ControlId(TOptionControl Control) {
    switch (Control) {
        case TOptionControl::CheckTime: return IDC_CHECK_TIME_EDIT;
        case TOptionControl::RunOnStartup: return IDC_RUN_ON_STARTUP;
        case TOptionControl::NotifyNewMail: return IDC_NOTIFY_NEW_MAIL;
        case TOptionControl::Help: break;
    }
    return IDC_HELP_BUTTON;
}

}  // namespace

TOptionForm::TOptionForm(TOptionsPresenter& Presenter) : TWinDialog(IDD_OPTIONS), FPresenter(Presenter) {}

std::string TOptionForm::Text(TOptionControl Control) const {
    return ItemText(ControlId(Control));
}

void TOptionForm::SetText(TOptionControl Control, const std::string& Text) {
    SetItemText(ControlId(Control), Text);
}

bool TOptionForm::Checked(TOptionControl Control) const {
    return ::IsDlgButtonChecked(Handle(), ControlId(Control)) == BST_CHECKED;
}

void TOptionForm::SetChecked(TOptionControl Control, bool Checked) {
    ::CheckDlgButton(Handle(), ControlId(Control), Checked ? BST_CHECKED : BST_UNCHECKED);
}

void TOptionForm::SetEnabled(TOptionControl Control, bool Enabled) {
    ::EnableWindow(Item(ControlId(Control)), Enabled ? TRUE : FALSE);
}

void TOptionForm::Refuse(TOptionControl Control) {
    RefuseInput(Handle(), ControlId(Control));
}

INT_PTR TOptionForm::HandleMessage(UINT Message, WPARAM WParam, LPARAM) {
    switch (Message) {
        case WM_INITDIALOG:
            // A dialog that could not be filled closes as cancelled.
            if (FPresenter.FormCreate(*this)) {
                CenterOnScreen(Handle());
            } else {
                EndModal(IDCANCEL);
            }
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(WParam)) {
                case IDOK:
                    if (FPresenter.OkClicked(*this)) EndModal(IDOK);
                    return TRUE;
                case IDCANCEL: EndModal(IDCANCEL); return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace quorvel
