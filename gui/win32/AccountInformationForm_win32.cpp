#include "gui/win32/AccountInformationForm_win32.h"

#include <imm.h>

#include <exception>

#include "core/WideText_win32.h"
#include "resources/windows/DialogIds.h"

namespace quorvel {

namespace {

struct TSecurityChoice {
    const wchar_t* Caption;
    TConnectionSecurity Security;
};
constexpr TSecurityChoice SecurityChoices[] = {
    {L"SSL/TLS", TConnectionSecurity::ImplicitTls},
    {L"STARTTLS", TConnectionSecurity::Stls},
    {L"なし", TConnectionSecurity::None},
};

}  // namespace

TAccountInformationForm::TAccountInformationForm() : TWinDialog(IDD_ACCOUNT_INFORMATION) {}

void TAccountInformationForm::Fill(const std::vector<TFieldText>& Texts) {
    if (Handle() == nullptr) {
        FTexts.insert(FTexts.end(), Texts.begin(), Texts.end());
        return;
    }
    for (const TFieldText& text : Texts) SetItemText(EditOf(text.Field), text.Text);
}

int TAccountInformationForm::EditOf(TAccountField Field) const {
    switch (Field) {
        case TAccountField::ServerName: return IDC_SERVER_NAME_EDIT;
        case TAccountField::Port: return IDC_SERVER_PORT_EDIT;
        case TAccountField::UserID: return IDC_USER_ID_EDIT;
        case TAccountField::Password: return IDC_PASSWORD_EDIT;
    }
    return IDC_SERVER_NAME_EDIT;
}

void TAccountInformationForm::FormCreate() {
    HWND combo = Item(IDC_SECURITY_COMBO);
    for (const TSecurityChoice& choice : SecurityChoices) {
        const LRESULT index = ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.Caption));
        ::SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(choice.Security));
        if (choice.Security == FSecurity) ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    FShownSecurity = FSecurity;
    // Every character of the password shows as "*"; the port box takes only
    // direct input, no input method.
    ::SendMessageW(Item(IDC_PASSWORD_EDIT), EM_SETPASSWORDCHAR, L'*', 0);
    ::ImmAssociateContextEx(Item(IDC_SERVER_PORT_EDIT), nullptr, 0);
    SetItemText(IDC_FINGERPRINT_EDIT, FFingerprint);
    for (const TFieldText& text : FTexts) SetItemText(EditOf(text.Field), text.Text);
    FTexts.clear();
    ShowSecurityHints();
    CenterOnScreen(Handle());
}

TConnectionSecurity TAccountInformationForm::ChosenSecurity() const {
    HWND combo = Item(IDC_SECURITY_COMBO);
    const LRESULT index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return FShownSecurity;
    return static_cast<TConnectionSecurity>(::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void TAccountInformationForm::SecurityChosen() {
    const TConnectionSecurity chosen = ChosenSecurity();
    // The port follows while it still holds the previous protection's usual number.
    if (ItemText(IDC_SERVER_PORT_EDIT) == std::to_string(UsualPort(FShownSecurity))) {
        SetItemText(IDC_SERVER_PORT_EDIT, std::to_string(UsualPort(chosen)));
    }
    FShownSecurity = chosen;
    ShowSecurityHints();
}

void TAccountInformationForm::ShowSecurityHints() {
    const TConnectionSecurity chosen = ChosenSecurity();
    SetItemText(IDC_PORT_HINT, "(通常は" + std::to_string(UsualPort(chosen)) + "です)");
    ::ShowWindow(Item(IDC_PLAINTEXT_WARNING), chosen == TConnectionSecurity::None ? SW_SHOW : SW_HIDE);
    ::EnableWindow(Item(IDC_FETCH_CERTIFICATE), chosen != TConnectionSecurity::None && CertificateFetcher != nullptr);
}

void TAccountInformationForm::FetchCertificate() {
    const std::optional<std::int32_t> port = PortFromText(ItemText(IDC_SERVER_PORT_EDIT));
    if (!port || !CertificateFetcher) {
        RefuseInput(Handle(), IDC_SERVER_PORT_EDIT);
        return;
    }
    TShownCertificate shown;
    try {
        shown = CertificateFetcher(ItemText(IDC_SERVER_NAME_EDIT), *port, ChosenSecurity());
    } catch (const std::exception& error) {
        ::MessageBoxW(Handle(), WideFromUtf8(error.what()).c_str(), L"証明書", MB_OK | MB_ICONWARNING);
        return;
    }
    const std::string text = "サーバーの証明書:\n\n発行先: " + shown.Subject + "\n発行者: " + shown.Issuer +
                             "\n有効期間: " + shown.NotBefore + " から " + shown.NotAfter +
                             " まで\nSHA-256: " + shown.Sha256 + "\n\nこの証明書を信頼しますか?";
    if (::MessageBoxW(Handle(), WideFromUtf8(text).c_str(), L"証明書", MB_YESNO | MB_ICONQUESTION) == IDYES) {
        SetItemText(IDC_FINGERPRINT_EDIT, shown.Sha256);
    }
}

bool TAccountInformationForm::FormCloseQuery() {
    if (!PortFromText(ItemText(IDC_SERVER_PORT_EDIT))) {
        RefuseInput(Handle(), IDC_SERVER_PORT_EDIT);
        return false;
    }
    return true;
}

void TAccountInformationForm::KeepFields() {
    FFields = {ItemText(IDC_SERVER_NAME_EDIT),
               ItemText(IDC_SERVER_PORT_EDIT),
               ItemText(IDC_USER_ID_EDIT),
               ItemText(IDC_PASSWORD_EDIT),
               ChosenSecurity(),
               ItemText(IDC_FINGERPRINT_EDIT)};
}

INT_PTR TAccountInformationForm::HandleMessage(UINT Message, WPARAM WParam, LPARAM) {
    switch (Message) {
        case WM_INITDIALOG: FormCreate(); return TRUE;
        case WM_COMMAND:
            switch (LOWORD(WParam)) {
                case IDOK:
                    if (FormCloseQuery()) {
                        KeepFields();
                        EndModal(IDOK);
                    }
                    return TRUE;
                case IDCANCEL: EndModal(IDCANCEL); return TRUE;
                case IDC_SECURITY_COMBO:
                    if (HIWORD(WParam) == CBN_SELCHANGE) SecurityChosen();
                    return TRUE;
                case IDC_FETCH_CERTIFICATE: FetchCertificate(); return TRUE;
                case IDC_CLEAR_CERTIFICATE: SetItemText(IDC_FINGERPRINT_EDIT, ""); return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace quorvel
