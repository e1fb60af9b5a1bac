#include "app/AccountEditPresenter.h"

#include <exception>
#include <iterator>
#include <string_view>
#include <utility>

#include "settings/OAuthProvider.h"

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

struct TAuthChoice {
    const char* Caption;
    TAuthMethod Auth;
    std::string_view Provider;
};
constexpr TAuthChoice AuthChoices[] = {
    {"パスワード", TAuthMethod::Password, ""},
    {"OAuth 2.0 (Microsoft)", TAuthMethod::OAuth, OAuthMicrosoft},
    {"OAuth 2.0 (Google)", TAuthMethod::OAuth, OAuthGoogle},
    {"OAuth 2.0 (その他)", TAuthMethod::OAuth, OAuthCustom},
};
constexpr const char* SignInCaption = "サインイン";
constexpr const char* SignInButtonCaption = "サインイン...";
constexpr const char* CancelSignInCaption = "中止";
constexpr const char* WaitingText = "サインインを待っています";
constexpr const char* AddressNote = "ブラウザーが開かない場合は、次のアドレスをブラウザーで開いてください。";
constexpr const char* NoBrowserNote = "ブラウザーを開けませんでした。次のアドレスをブラウザーで開いてください。";
constexpr const char* NoClientIdText =
    "サインインにはクライアントIDが必要です。\nクライアントIDを入力するか、"
    "QUORVEL_OAUTH_MICROSOFT_CLIENT_ID / QUORVEL_OAUTH_GOOGLE_CLIENT_ID を指定して"
    "ビルドしてください (docs/OAUTH-CLIENT-IDS.md)。";

int AuthIndex(const TAccount& Account) {
    if (Account.Auth != TAuthMethod::OAuth) return 0;
    for (int i = 1; i < static_cast<int>(std::size(AuthChoices)); ++i) {
        if (AuthChoices[i].Provider == Account.OAuthProvider) return i;
    }
    return 0;
}

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

TAccountEditPresenter::TAccountEditPresenter(TCertificateFetcher Fetcher, TErrorReport Report, IAccountSignIn* SignIn)
    : FFetcher(std::move(Fetcher)), FReport(std::move(Report)), FSignIn(SignIn) {}

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

void TAccountEditPresenter::SetAuth(const TAccount& Account) {
    FBase = Account;
    FAuthIndex = AuthIndex(Account);
    if (FView == nullptr) return;
    FView->SetAuthIndex(FAuthIndex);
    ShowAuth();
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
    std::vector<std::string> authCaptions;
    for (const TAuthChoice& choice : AuthChoices) authCaptions.emplace_back(choice.Caption);
    View.SetAuthChoices(authCaptions);
    View.SetAuthIndex(FAuthIndex);
    ShowAuth();
}

void TAccountEditPresenter::SecurityChosen(int Index) {
    Guarded(FReport, [&] {
        if (FView == nullptr || Index < 0 || Index >= static_cast<int>(std::size(SecurityChoices))) return;
        const TConnectionSecurity chosen = SecurityChoices[Index].Security;
        if (chosen == TConnectionSecurity::None && AuthChoices[FAuthIndex].Auth == TAuthMethod::OAuth) {
            FView->SetSecurityIndex(ChoiceIndex(FSecurity));
            FView->ShowWarning(SignInCaption, "OAuth 2.0 は SSL/TLS か STARTTLS でだけ使えます。");
            return;
        }
        ChangeSecurity(chosen);
    });
}

void TAccountEditPresenter::ChangeSecurity(TConnectionSecurity Chosen) {
    if (FView->FieldText(TAccountField::Port) == std::to_string(UsualPort(FSecurity))) {
        FView->SetFieldText(TAccountField::Port, std::to_string(UsualPort(Chosen)));
    }
    FSecurity = Chosen;
    FView->SetSecurityIndex(ChoiceIndex(FSecurity));
    ShowSecurityHints();
}

void TAccountEditPresenter::AuthChosen(int Index) {
    Guarded(FReport, [&] {
        if (FView == nullptr || Index < 0 || Index >= static_cast<int>(std::size(AuthChoices))) return;
        if (FSigningIn && Index != FAuthIndex) {
            // The sign-in was for the log-in as it stood.
            FCancelled = true;
            FSignIn->Cancel();
        }
        FAuthIndex = Index;
        const TAuthChoice& choice = AuthChoices[Index];
        const TProviderServer server = OAuthProviderServer(choice.Provider);
        if (!server.Host.empty() && FView->FieldText(TAccountField::ServerName).empty()) {
            FView->SetFieldText(TAccountField::ServerName, server.Host);
            FView->SetFieldText(TAccountField::Port, std::to_string(server.Port));
            FSecurity = TConnectionSecurity::ImplicitTls;
            FView->SetSecurityIndex(ChoiceIndex(FSecurity));
            ShowSecurityHints();
        } else if (choice.Auth == TAuthMethod::OAuth && FSecurity == TConnectionSecurity::None) {
            ChangeSecurity(TConnectionSecurity::ImplicitTls);
        }
        ShowAuth();
    });
}

void TAccountEditPresenter::ShowAuth() {
    const TAuthChoice& choice = AuthChoices[FAuthIndex];
    FView->ShowOAuth(choice.Auth == TAuthMethod::OAuth, choice.Provider == OAuthCustom && FSignInUrl.empty());
    ShowSignInState();
}

void TAccountEditPresenter::ShowSignInState() {
    if (AuthChoices[FAuthIndex].Auth != TAuthMethod::OAuth) {
        FView->SetSignInState("");
        return;
    }
    if (FSigningIn) {
        FView->SetSignInState(WaitingText);
        return;
    }
    bool signedIn = false;
    try {
        signedIn = FSignIn != nullptr && FSignIn->SignedIn(CurrentAccount());
    } catch (const std::exception&) {
        // A store that cannot be asked holds no tokens for the dialog.
    }
    FView->SetSignInState(signedIn ? "サインイン済み" : "サインインしていません");
}

void TAccountEditPresenter::SignInClick() {
    Guarded(FReport, [&] {
        if (FView == nullptr || AuthChoices[FAuthIndex].Auth != TAuthMethod::OAuth) return;
        if (FSigningIn) {
            FCancelled = true;
            FSignIn->Cancel();
            return;
        }
        const TAccount account = CurrentAccount();
        const std::optional<TOAuthClient> client = OAuthClientFor(account);
        if (!client || client->ClientId.empty()) {
            FView->ShowWarning(SignInCaption, NoClientIdText);
            return;
        }
        if (FSignIn == nullptr) {
            FView->ShowWarning(SignInCaption, "サインインはここでは使えません。");
            return;
        }
        FSigningIn = true;
        FCancelled = FClosed = false;
        FView->SetSignInCaption(CancelSignInCaption);
        ShowSignInState();
        std::string failure;
        try {
            FSignIn->SignIn(account, *this);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        FSigningIn = false;
        FSignInUrl.clear();
        // A dialog closed during the wait shows nothing more.
        if (FClosed) return;
        FView->ShowSignInAddress("", "");
        FView->SetSignInCaption(SignInButtonCaption);
        ShowAuth();
        if (FCancelled) return;  // the user knows; the state line says where it stands
        if (failure.empty()) {
            FView->ShowInformation(SignInCaption, "サインインしました。");
        } else {
            FView->ShowWarning(SignInCaption, "サインインできませんでした:\n" + failure);
        }
    });
}

void TAccountEditPresenter::AddressReady(const std::string& Url) {
    FSignInUrl = Url;
    ShowAuth();  // the address takes the place of the provider's boxes
    FView->ShowSignInAddress(AddressNote, Url);
}

void TAccountEditPresenter::BrowserFailed(const std::string&) {
    // The address is the way on: the wait goes on.
    FView->ShowSignInAddress(NoBrowserNote, FSignInUrl);
}

TAccountFields TAccountEditPresenter::CurrentFields() const {
    const TAuthChoice& choice = AuthChoices[FAuthIndex];
    TAccountFields fields{FView->FieldText(TAccountField::ServerName),
                          FView->FieldText(TAccountField::Port),
                          FView->FieldText(TAccountField::UserID),
                          FView->FieldText(TAccountField::Password),
                          FSecurity,
                          FFingerprint};
    fields.Auth = choice.Auth;
    if (choice.Auth == TAuthMethod::OAuth) {
        fields.OAuthProvider = choice.Provider;
        fields.OAuthClientId = FView->FieldText(TAccountField::ClientId);
        fields.OAuthAuthorizeUrl = FView->FieldText(TAccountField::AuthorizeUrl);
        fields.OAuthTokenUrl = FView->FieldText(TAccountField::TokenUrl);
        fields.OAuthScope = FView->FieldText(TAccountField::Scope);
    }
    return fields;
}

TAccount TAccountEditPresenter::CurrentAccount() const {
    TAccount account = FBase;
    ApplyAccountFields(account, CurrentFields());
    return account;
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
            FFields = CurrentFields();
        }
        mayClose = true;
        if (FSigningIn) {
            FCancelled = FClosed = true;
            FSignIn->Cancel();
        }
    });
    return mayClose;
}

}  // namespace quorvel
