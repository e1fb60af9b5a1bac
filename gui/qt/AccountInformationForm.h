#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "settings/DialogFields.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel {

// The dialog that edits the four connection fields of one account. The
// caller fills the boxes, shows it modally and reads them back after OK.
// OK closes it only when the port is an integer from 1 to 65535; otherwise
// it beeps and puts the focus on the port box. Cancel, Esc and the close
// button close it without a check.
//
// Below the port, the protection ("接続の保護:") and the optional trusted
// certificate: its fingerprint is set only through "証明書を取得...", which
// fetches the server's certificate and shows it for the user to accept.
class TAccountInformationForm : public QDialog {
    Q_OBJECT

public:
    // Fetches the certificate a server shows; raises std::exception with
    // the reason when it cannot.
    using TCertificateFetcher =
        std::function<TShownCertificate(const std::string& Host, std::int32_t Port, TConnectionSecurity Security)>;

    explicit TAccountInformationForm(QWidget* Owner);

    void SetFieldText(TAccountField Field, const std::string& Text);
    std::string FieldText(TAccountField Field) const;
    // Fills the boxes in the order given.
    void Fill(const std::vector<TFieldText>& Texts);
    TAccountFields Fields() const;
    // Shows Security without touching the port (a stored account's port stays).
    void SetSecurity(TConnectionSecurity Security);
    void SetCertFingerprint(const std::string& Fingerprint);
    TCertificateFetcher CertificateFetcher;

    // Every way of closing comes here; OK is checked first.
    void done(int Result) override;
    void setVisible(bool Visible) override;

    QLineEdit* ServerNameEdit;
    QLineEdit* ServerPortEdit;
    QLineEdit* UserIDEdit;
    QLineEdit* PasswordEdit;
    QComboBox* SecurityCombo;       // "SSL/TLS", "STARTTLS", "なし"
    QLabel* PortHintLabel;          // "(通常は995です)" for the chosen protection
    QLabel* PlaintextWarningLabel;  // shown for "なし" only
    QLineEdit* FingerprintEdit;     // read-only; empty: no certificate trusted beyond the normal check
    QPushButton* FetchCertificateButton;
    QPushButton* ClearCertificateButton;
    QPushButton* OkButton;      // "&OK"
    QPushButton* CancelButton;  // "&Cancel"
    QPushButton* HelpButton;    // "&Help", always disabled

private:
    // Whether the dialog may close with Result.
    bool FormCloseQuery(int Result);
    QLineEdit* Edit(TAccountField Field) const;
    TConnectionSecurity ChosenSecurity() const;
    // The user picked another protection: the port follows while it still
    // holds the previous protection's usual number.
    void SecurityChosen();
    void ShowSecurityHints();
    void FetchCertificate();

    TConnectionSecurity ShownSecurity = TConnectionSecurity::ImplicitTls;
};

}  // namespace quorvel
