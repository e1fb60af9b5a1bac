#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/win32/WinDialog_win32.h"
#include "settings/DialogFields.h"

namespace quorvel {

// The dialog that edits the connection fields of one account, on Win32.
// The caller fills it, shows it modally and reads it back after OK. OK
// closes it only when the port is an integer from 1 to 65535; otherwise it
// beeps and puts the focus on the port box. Cancel, Esc and the close
// button close it without a check. Help is always disabled.
//
// Below the port, the protection ("接続の保護:") and the optional trusted
// certificate: its fingerprint is set only through "証明書を取得...", which
// fetches the server's certificate and shows it for the user to accept.
class TAccountInformationForm final : public TWinDialog {
public:
    // Fetches the certificate a server shows; raises std::exception with the
    // reason when it cannot.
    using TCertificateFetcher =
        std::function<TShownCertificate(const std::string& Host, std::int32_t Port, TConnectionSecurity Security)>;

    TAccountInformationForm();

    // Fills the boxes in the order given (before or while shown).
    void Fill(const std::vector<TFieldText>& Texts);
    // Shows Security without touching the port (a stored account's port stays).
    void SetSecurity(TConnectionSecurity Security) { FSecurity = Security; }
    void SetCertFingerprint(const std::string& Fingerprint) { FFingerprint = Fingerprint; }
    TCertificateFetcher CertificateFetcher;

    // The texts and choices as they were when OK closed the dialog.
    const TAccountFields& Fields() const { return FFields; }

private:
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void FormCreate();
    int EditOf(TAccountField Field) const;
    TConnectionSecurity ChosenSecurity() const;
    void SecurityChosen();
    void ShowSecurityHints();
    void FetchCertificate();
    bool FormCloseQuery();
    void KeepFields();

    std::vector<TFieldText> FTexts;  // filled before the window exists
    TConnectionSecurity FSecurity = TConnectionSecurity::ImplicitTls;
    TConnectionSecurity FShownSecurity = TConnectionSecurity::ImplicitTls;
    std::string FFingerprint;
    TAccountFields FFields;
};

}  // namespace quorvel
