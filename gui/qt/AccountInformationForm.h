#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/AccountEditPresenter.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel {

// The account edit dialog on Qt: a view of TAccountEditPresenter, which
// decides what it shows and whether it may close.
class TAccountInformationForm : public QDialog, private IAccountEditView {
    Q_OBJECT

public:
    TAccountInformationForm(QWidget* Owner, TAccountEditPresenter& Presenter);

    // Every way of closing comes here; OK is checked first.
    void done(int Result) override;
    void setVisible(bool Visible) override;

    QLineEdit* ServerNameEdit;
    QLineEdit* ServerPortEdit;
    QLineEdit* UserIDEdit;
    QLineEdit* PasswordEdit;
    QComboBox* SecurityCombo;
    QLabel* PortHintLabel;
    QLabel* PlaintextWarningLabel;
    QLineEdit* FingerprintEdit;  // read-only
    QPushButton* FetchCertificateButton;
    QPushButton* ClearCertificateButton;
    QComboBox* AuthCombo;
    QLineEdit* ClientIdEdit;
    QPushButton* SignInButton;
    QLabel* SignInStateLabel;
    QLabel* SignInNoteLabel;       // shown while a sign-in waits
    QLineEdit* SignInAddressEdit;  // read-only; shown while a sign-in waits
    QLineEdit* AuthorizeUrlEdit;
    QLineEdit* TokenUrlEdit;
    QLineEdit* ScopeEdit;
    QPushButton* OkButton;      // "&OK"
    QPushButton* CancelButton;  // "&Cancel"
    QPushButton* HelpButton;    // "&Help", always disabled

private:
    QLineEdit* Edit(TAccountField Field) const;

    void SetSecurityChoices(const std::vector<std::string>& Captions) override;
    void SetSecurityIndex(int Index) override;
    std::string FieldText(TAccountField Field) const override;
    void SetFieldText(TAccountField Field, const std::string& Text) override;
    void SetFingerprint(const std::string& Fingerprint) override;
    void SetPortHint(const std::string& Hint) override;
    void ShowPlaintextWarning(bool Shown) override;
    void EnableFetchCertificate(bool Enabled) override;
    void SetAuthChoices(const std::vector<std::string>& Captions) override;
    void SetAuthIndex(int Index) override;
    void ShowOAuth(bool OAuth, bool Custom) override;
    void SetSignInState(const std::string& State) override;
    void SetSignInCaption(const std::string& Caption) override;
    void ShowSignInAddress(const std::string& Note, const std::string& Url) override;
    void RefuseField(TAccountField Field) override;
    void ShowWarning(const std::string& Caption, const std::string& Text) override;
    void ShowInformation(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Question) override;

    TAccountEditPresenter& FPresenter;
    std::vector<QWidget*> FOAuthRows;   // shown for OAuth
    std::vector<QWidget*> FCustomRows;  // shown for a provider of the user's own
};

}  // namespace quorvel
