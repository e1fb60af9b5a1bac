#include "gui/win32/AccountInformationForm_win32.h"

#include <imm.h>

#include "core/WideText_win32.h"
#include "resources/windows/DialogIds.h"

namespace quorvel {

TAccountInformationForm::TAccountInformationForm(TAccountEditPresenter& Presenter)
    : TWinDialog(IDD_ACCOUNT_INFORMATION), FPresenter(Presenter) {}

int TAccountInformationForm::EditOf(TAccountField Field) const {
    switch (Field) {
        case TAccountField::ServerName: return IDC_SERVER_NAME_EDIT;
        case TAccountField::Port: return IDC_SERVER_PORT_EDIT;
        case TAccountField::UserID: return IDC_USER_ID_EDIT;
        case TAccountField::Password: return IDC_PASSWORD_EDIT;
        case TAccountField::ClientId: return IDC_CLIENT_ID_EDIT;
        case TAccountField::AuthorizeUrl: return IDC_AUTHORIZE_URL_EDIT;
        case TAccountField::TokenUrl: return IDC_TOKEN_URL_EDIT;
        case TAccountField::Scope: return IDC_SCOPE_EDIT;
    }
    return IDC_SERVER_NAME_EDIT;
}

void TAccountInformationForm::FormCreate() {
    // Every character of the password shows as "*"; the port box takes only
    // direct input, no input method.
    ::SendMessageW(Item(IDC_PASSWORD_EDIT), EM_SETPASSWORDCHAR, L'*', 0);
    ::ImmAssociateContextEx(Item(IDC_SERVER_PORT_EDIT), nullptr, 0);
    FPresenter.FormCreate(*this);
    CenterOnScreen(Handle());
}

namespace {

void SetComboChoices(HWND Combo, const std::vector<std::string>& Captions) {
    ::SendMessageW(Combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& caption : Captions) {
        const std::wstring wide = WideFromUtf8(caption);
        ::SendMessageW(Combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

}  // namespace

void TAccountInformationForm::SetSecurityChoices(const std::vector<std::string>& Captions) {
    SetComboChoices(Item(IDC_SECURITY_COMBO), Captions);
}

void TAccountInformationForm::SetSecurityIndex(int Index) {
    ::SendMessageW(Item(IDC_SECURITY_COMBO), CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
}

void TAccountInformationForm::SetAuthChoices(const std::vector<std::string>& Captions) {
    SetComboChoices(Item(IDC_AUTH_COMBO), Captions);
}

void TAccountInformationForm::SetAuthIndex(int Index) {
    ::SendMessageW(Item(IDC_AUTH_COMBO), CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
}

void TAccountInformationForm::ShowOAuth(bool OAuth, bool Custom) {
    ::EnableWindow(Item(IDC_PASSWORD_EDIT), !OAuth);
    for (int id : {IDC_CLIENT_ID_LABEL, IDC_CLIENT_ID_EDIT, IDC_SIGN_IN, IDC_SIGN_IN_STATE}) {
        ::ShowWindow(Item(id), OAuth ? SW_SHOW : SW_HIDE);
    }
    for (int id : {IDC_AUTHORIZE_URL_LABEL, IDC_AUTHORIZE_URL_EDIT, IDC_TOKEN_URL_LABEL, IDC_TOKEN_URL_EDIT,
                   IDC_SCOPE_LABEL, IDC_SCOPE_EDIT}) {
        ::ShowWindow(Item(id), OAuth && Custom ? SW_SHOW : SW_HIDE);
    }
}

void TAccountInformationForm::SetSignInState(const std::string& State) {
    SetItemText(IDC_SIGN_IN_STATE, State);
}

void TAccountInformationForm::SetSignInCaption(const std::string& Caption) {
    SetItemText(IDC_SIGN_IN, Caption);
}

void TAccountInformationForm::ShowSignInAddress(const std::string& Note, const std::string& Url) {
    // A read-only box: the address scrolls within it and can be selected and copied.
    SetItemText(IDC_SIGN_IN_NOTE, Note);
    SetItemText(IDC_SIGN_IN_ADDRESS_EDIT, Url);
    // The focus never stays on a box that goes.
    if (Url.empty() && ::GetFocus() == Item(IDC_SIGN_IN_ADDRESS_EDIT)) {
        ::SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_SIGN_IN)), TRUE);
    }
    for (int id : {IDC_SIGN_IN_NOTE, IDC_SIGN_IN_ADDRESS_EDIT}) ::ShowWindow(Item(id), Url.empty() ? SW_HIDE : SW_SHOW);
}

std::string TAccountInformationForm::FieldText(TAccountField Field) const {
    return ItemText(EditOf(Field));
}

void TAccountInformationForm::SetFieldText(TAccountField Field, const std::string& Text) {
    SetItemText(EditOf(Field), Text);
}

void TAccountInformationForm::SetFingerprint(const std::string& Fingerprint) {
    SetItemText(IDC_FINGERPRINT_EDIT, Fingerprint);
}

void TAccountInformationForm::SetPortHint(const std::string& Hint) {
    SetItemText(IDC_PORT_HINT, Hint);
}

void TAccountInformationForm::ShowPlaintextWarning(bool Shown) {
    ::ShowWindow(Item(IDC_PLAINTEXT_WARNING), Shown ? SW_SHOW : SW_HIDE);
}

void TAccountInformationForm::EnableFetchCertificate(bool Enabled) {
    ::EnableWindow(Item(IDC_FETCH_CERTIFICATE), Enabled);
}

void TAccountInformationForm::RefuseField(TAccountField Field) {
    RefuseInput(Handle(), EditOf(Field));
}

void TAccountInformationForm::ShowWarning(const std::string& Caption, const std::string& Text) {
    ::MessageBoxW(Handle(), WideFromUtf8(Text).c_str(), WideFromUtf8(Caption).c_str(), MB_OK | MB_ICONWARNING);
}

void TAccountInformationForm::ShowInformation(const std::string& Caption, const std::string& Text) {
    ::MessageBoxW(Handle(), WideFromUtf8(Text).c_str(), WideFromUtf8(Caption).c_str(), MB_OK | MB_ICONINFORMATION);
}

bool TAccountInformationForm::AskYesNo(const std::string& Caption, const std::string& Question) {
    return ::MessageBoxW(Handle(), WideFromUtf8(Question).c_str(), WideFromUtf8(Caption).c_str(),
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

INT_PTR TAccountInformationForm::HandleMessage(UINT Message, WPARAM WParam, LPARAM) {
    switch (Message) {
        case WM_INITDIALOG: FormCreate(); return TRUE;
        case WM_COMMAND:
            switch (LOWORD(WParam)) {
                case IDOK:
                    if (FPresenter.FormCloseQuery(true)) EndModal(IDOK);
                    return TRUE;
                case IDCANCEL:
                    if (FPresenter.FormCloseQuery(false)) EndModal(IDCANCEL);
                    return TRUE;
                case IDC_SECURITY_COMBO:
                    if (HIWORD(WParam) == CBN_SELCHANGE) {
                        const LRESULT index = ::SendMessageW(Item(IDC_SECURITY_COMBO), CB_GETCURSEL, 0, 0);
                        FPresenter.SecurityChosen(static_cast<int>(index));
                    }
                    return TRUE;
                case IDC_AUTH_COMBO:
                    if (HIWORD(WParam) == CBN_SELCHANGE) {
                        const LRESULT index = ::SendMessageW(Item(IDC_AUTH_COMBO), CB_GETCURSEL, 0, 0);
                        FPresenter.AuthChosen(static_cast<int>(index));
                    }
                    return TRUE;
                case IDC_SIGN_IN: FPresenter.SignInClick(); return TRUE;
                case IDC_FETCH_CERTIFICATE: FPresenter.FetchCertificateClick(); return TRUE;
                case IDC_CLEAR_CERTIFICATE: FPresenter.ClearCertificateClick(); return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace quorvel
