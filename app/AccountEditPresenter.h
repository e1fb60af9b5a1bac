#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Guarded.h"
#include "settings/DialogFields.h"

namespace quorvel {

// Fetches the certificate a server shows (see FetchShownCertificate); raises
// std::exception with the reason when it cannot.
using TCertificateFetcher =
    std::function<TShownCertificate(const std::string& Host, std::int32_t Port, TConnectionSecurity Security)>;

// What a sign-in tells the dialog while it waits for the browser.
class ISignInProgress {
public:
    virtual ~ISignInProgress() = default;
    // The address the browser is sent to, told before the browser starts.
    virtual void AddressReady(const std::string& Url) = 0;
    // No browser could be started (Reason says why); the wait goes on
    // unless the dialog cancels it.
    virtual void BrowserFailed(const std::string& Reason) = 0;
};

// The OAuth 2.0 sign-in as the account edit dialog runs it (see SignIn in
// app/OAuthAccess.h): the tokens go to the secret store.
class IAccountSignIn {
public:
    virtual ~IAccountSignIn() = default;
    // Whether tokens for Account are stored; raises when the store cannot be
    // asked.
    virtual bool SignedIn(const TAccount& Account) = 0;
    // Signs Account in, waiting in the program's event loop; raises
    // std::exception with the reason when it fails or is cancelled.
    virtual void SignIn(const TAccount& Account, ISignInProgress& Progress) = 0;
    // From a handler the wait runs: ends the sign-in under way, which then
    // raises and leaves nothing open.
    virtual void Cancel() = 0;
};

// What the account edit dialog of a toolkit shows, as its presenter tells it.
class IAccountEditView {
public:
    virtual ~IAccountEditView() = default;
    // Lists the protection choices, top to bottom.
    virtual void SetSecurityChoices(const std::vector<std::string>& Captions) = 0;
    // Shows the choice at Index as the chosen one.
    virtual void SetSecurityIndex(int Index) = 0;
    virtual std::string FieldText(TAccountField Field) const = 0;
    virtual void SetFieldText(TAccountField Field, const std::string& Text) = 0;
    // The read-only box of the trusted certificate's fingerprint.
    virtual void SetFingerprint(const std::string& Fingerprint) = 0;
    // The hint beside the port box.
    virtual void SetPortHint(const std::string& Hint) = 0;
    virtual void ShowPlaintextWarning(bool Shown) = 0;
    virtual void EnableFetchCertificate(bool Enabled) = 0;
    // Lists the log-in choices, top to bottom, and shows one as chosen.
    virtual void SetAuthChoices(const std::vector<std::string>& Captions) = 0;
    virtual void SetAuthIndex(int Index) = 0;
    // OAuth: the password box is disabled and the client id box, the
    // sign-in button and its state are shown; Custom: the authorize URL,
    // token URL and scope boxes are shown too.
    virtual void ShowOAuth(bool OAuth, bool Custom) = 0;
    // The text beside the sign-in button.
    virtual void SetSignInState(const std::string& State) = 0;
    // The sign-in button's caption.
    virtual void SetSignInCaption(const std::string& Caption) = 0;
    // While a sign-in waits: Note above the address the browser was given,
    // which is read-only and selectable and never widens the dialog. Both
    // empty: neither is shown.
    virtual void ShowSignInAddress(const std::string& Note, const std::string& Url) = 0;
    // Refuses the input: the focus goes to Field and the beep sounds; no
    // message is shown.
    virtual void RefuseField(TAccountField Field) = 0;
    // A message box with the warning icon and "OK".
    virtual void ShowWarning(const std::string& Caption, const std::string& Text) = 0;
    // A message box with the information icon and "OK".
    virtual void ShowInformation(const std::string& Caption, const std::string& Text) = 0;
    // A question with "Yes" and "No"; true for "Yes".
    virtual bool AskYesNo(const std::string& Caption, const std::string& Question) = 0;
};

// The decisions of the account edit dialog, which edits the connection
// fields of one account: the protection choices, the port that follows the
// chosen protection, the port hint and the plaintext warning, fetching and
// trusting the server's certificate, and the check before OK closes it (the
// port must be an integer from 1 to 65535; otherwise the port box is
// refused). Cancel, Esc and the close button close it without a check.
//
// The log-in is the password or OAuth 2.0 with one of three providers.
// OAuth needs TLS: choosing OAuth while the protection is "なし" switches to
// SSL/TLS, and "なし" is refused while OAuth is chosen (the choice goes
// back, with a warning). Microsoft and Google fill an empty server name with
// their server, and its port and SSL/TLS. "サインイン..." signs the account
// in as the boxes stand, after checking there is a client id. While the
// sign-in waits for the browser, the dialog shows the address the browser
// was given, in place of the provider's boxes, for a user whose browser did
// not open; a browser that could not be started at all leaves that address
// as the way on. The button reads "中止" then and ends the wait, as does
// closing the dialog.
//
// The caller fills it, shows a view on it modally and reads Fields() after
// OK. The filling raises what it meets to the caller; the handlers that the
// view forwards the user's actions to report it to the error report.
class TAccountEditPresenter : private ISignInProgress {
public:
    // Fetcher may be empty: then no certificate can be fetched. SignIn may
    // be null: then the sign-in says it is not available.
    TAccountEditPresenter(TCertificateFetcher Fetcher, TErrorReport Report, IAccountSignIn* SignIn = nullptr);

    // What the dialog starts with, given before or after FormCreate: the
    // boxes in the order given; the protection, without touching the port (a
    // stored account's port stays); the trusted certificate.
    void Fill(const std::vector<TFieldText>& Texts);
    void SetSecurity(TConnectionSecurity Security);
    void SetCertFingerprint(const std::string& Fingerprint);
    // The account's log-in and what the dialog does not show of it (the
    // client secret), which a sign-in from the dialog uses.
    void SetAuth(const TAccount& Account);

    // The view's controls exist: shows the choices and what was given so
    // far. Raises what it meets, so that a dialog that cannot be filled is
    // not shown (the view's caller reports it).
    void FormCreate(IAccountEditView& View);

    // The user picked the choice at Index: the port follows while it still
    // holds the previous protection's usual number.
    void SecurityChosen(int Index);
    // "証明書を取得...": fetches the certificate and asks whether to trust it.
    void FetchCertificateClick();
    // The user picked the log-in choice at Index.
    void AuthChosen(int Index);
    // "サインイン...": signs in and shows the outcome; a click while the
    // sign-in waits ("中止") cancels it, without a message.
    void SignInClick();
    // "解除": no certificate is trusted beyond the normal check.
    void ClearCertificateClick();
    // Whether the dialog may close, with OK (Ok true) or otherwise. On OK the
    // fields are kept for Fields(). A sign-in under way ends when it closes.
    bool FormCloseQuery(bool Ok);

    // The texts and choices as they were when OK closed the dialog.
    const TAccountFields& Fields() const { return FFields; }

private:
    void AddressReady(const std::string& Url) override;
    void BrowserFailed(const std::string& Reason) override;
    void ShowSecurityHints();
    void ShowAuth();
    void ShowSignInState();
    void ChangeSecurity(TConnectionSecurity Chosen);
    // The account as the boxes and choices stand.
    TAccountFields CurrentFields() const;
    TAccount CurrentAccount() const;

    TCertificateFetcher FFetcher;
    TErrorReport FReport;
    IAccountSignIn* FSignIn;
    TAccount FBase;  // the account edited, for what the dialog does not show
    int FAuthIndex = 0;
    bool FSigningIn = false;
    bool FCancelled = false;  // the user ended the sign-in under way
    bool FClosed = false;     // ... by closing the dialog
    std::string FSignInUrl;
    IAccountEditView* FView = nullptr;
    std::vector<TFieldText> FTexts;  // given before the view existed
    TConnectionSecurity FSecurity = TConnectionSecurity::ImplicitTls;
    std::string FFingerprint;
    TAccountFields FFields;
};

}  // namespace quorvel
