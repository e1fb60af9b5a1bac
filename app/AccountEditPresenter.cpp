#include "app/AccountEditPresenter.h"

#include <exception>
#include <iterator>
#include <utility>

namespace quorvel {

namespace {

struct TSecurityChoice {
    const char* Caption;
    TConnectionSecurity Security;
};
constexpr TSecurityChoice SecurityChoices[] = {
    {"SSL/TLS", TConnectionSecurity::ImplicitTls},
    {"STARTTLS", TConnectionSecurity::Stls},
    {"なし", TConnectionSecurity::None},
};
constexpr const char* CertificateCaption = "証明書";

int ChoiceIndex(TConnectionSecurity Security) {
    for (int i = 0; i < static_cast<int>(std::size(SecurityChoices)); ++i) {
        if (SecurityChoices[i].Security == Security) return i;
    }
    return -1;
}

std::string TrustQuestion(const TShownCertificate& Shown) {
    return "サーバーの証明書:\n\n発行先: " + Shown.Subject + "\n発行者: " + Shown.Issuer +
           "\n有効期間: " + Shown.NotBefore + " から " + Shown.NotAfter + " まで\nSHA-256: " + Shown.Sha256 +
           "\n\nこの証明書を信頼しますか?";
}

}  // namespace

TAccountEditPresenter::TAccountEditPresenter(TCertificateFetcher Fetcher, TErrorReport Report)
    : FFetcher(std::move(Fetcher)), FReport(std::move(Report)) {}

void TAccountEditPresenter::Fill(const std::vector<TFieldText>& Texts) {
    if (FView == nullptr) {
        FTexts.insert(FTexts.end(), Texts.begin(), Texts.end());
        return;
    }
    for (const TFieldText& text : Texts) FView->SetFieldText(text.Field, text.Text);
}

void TAccountEditPresenter::SetSecurity(TConnectionSecurity Security) {
    FSecurity = Security;
    if (FView == nullptr) return;
    FView->SetSecurityIndex(ChoiceIndex(Security));
    ShowSecurityHints();
}

void TAccountEditPresenter::SetCertFingerprint(const std::string& Fingerprint) {
    FFingerprint = Fingerprint;
    if (FView != nullptr) FView->SetFingerprint(Fingerprint);
}

void TAccountEditPresenter::FormCreate(IAccountEditView& View) {
    FView = &View;
    std::vector<std::string> captions;
    for (const TSecurityChoice& choice : SecurityChoices) captions.emplace_back(choice.Caption);
    View.SetSecurityChoices(captions);
    View.SetSecurityIndex(ChoiceIndex(FSecurity));
    View.SetFingerprint(FFingerprint);
    for (const TFieldText& text : FTexts) View.SetFieldText(text.Field, text.Text);
    FTexts.clear();
    ShowSecurityHints();
}

void TAccountEditPresenter::SecurityChosen(int Index) {
    Guarded(FReport, [&] {
        if (FView == nullptr || Index < 0 || Index >= static_cast<int>(std::size(SecurityChoices))) return;
        const TConnectionSecurity chosen = SecurityChoices[Index].Security;
        if (FView->FieldText(TAccountField::Port) == std::to_string(UsualPort(FSecurity))) {
            FView->SetFieldText(TAccountField::Port, std::to_string(UsualPort(chosen)));
        }
        FSecurity = chosen;
        ShowSecurityHints();
    });
}

void TAccountEditPresenter::ShowSecurityHints() {
    FView->SetPortHint("(通常は" + std::to_string(UsualPort(FSecurity)) + "です)");
    FView->ShowPlaintextWarning(FSecurity == TConnectionSecurity::None);
    FView->EnableFetchCertificate(FSecurity != TConnectionSecurity::None && FFetcher != nullptr);
}

void TAccountEditPresenter::FetchCertificateClick() {
    Guarded(FReport, [&] {
        if (FView == nullptr) return;
        const std::optional<std::int32_t> port = PortFromText(FView->FieldText(TAccountField::Port));
        if (!port || !FFetcher) {
            FView->RefuseField(TAccountField::Port);
            return;
        }
        TShownCertificate shown;
        try {
            shown = FFetcher(FView->FieldText(TAccountField::ServerName), *port, FSecurity);
        } catch (const std::exception& error) {
            FView->ShowWarning(CertificateCaption, error.what());
            return;
        }
        if (FView->AskYesNo(CertificateCaption, TrustQuestion(shown))) {
            FFingerprint = shown.Sha256;
            FView->SetFingerprint(FFingerprint);
        }
    });
}

void TAccountEditPresenter::ClearCertificateClick() {
    Guarded(FReport, [&] {
        FFingerprint.clear();
        if (FView != nullptr) FView->SetFingerprint(FFingerprint);
    });
}

bool TAccountEditPresenter::FormCloseQuery(bool Ok) {
    bool mayClose = false;
    Guarded(FReport, [&] {
        if (Ok && FView != nullptr) {
            if (!PortFromText(FView->FieldText(TAccountField::Port))) {
                FView->RefuseField(TAccountField::Port);
                return;
            }
            FFields = {FView->FieldText(TAccountField::ServerName),
                       FView->FieldText(TAccountField::Port),
                       FView->FieldText(TAccountField::UserID),
                       FView->FieldText(TAccountField::Password),
                       FSecurity,
                       FFingerprint};
        }
        mayClose = true;
    });
    return mayClose;
}

}  // namespace quorvel
