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
    void RefuseField(TAccountField Field) override;
    void ShowWarning(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Question) override;

    TAccountEditPresenter& FPresenter;
};

}  // namespace quorvel
