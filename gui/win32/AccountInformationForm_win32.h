#pragma once

#include <string>
#include <vector>

#include "app/AccountEditPresenter.h"
#include "gui/win32/WinDialog_win32.h"

namespace quorvel {

// The account edit dialog on Win32: a view of TAccountEditPresenter, which
// decides what it shows and whether it may close. Help is always disabled.
class TAccountInformationForm final : public TWinDialog, private IAccountEditView {
public:
    explicit TAccountInformationForm(TAccountEditPresenter& Presenter);

private:
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void FormCreate();
    int EditOf(TAccountField Field) const;

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
};

}  // namespace quorvel
