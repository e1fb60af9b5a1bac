// The account edit dialog's and the account list's decisions, with views
// that record what they are told: the same tests on Linux and, under Wine,
// on Windows.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <tuple>

#include "app/AccountListPresenter.h"

namespace quorvel {
namespace {

using TTexts = std::vector<std::string>;

class EditView final : public IAccountEditView {
public:
    TTexts Choices, AuthChoices, Messages;  // Messages: "caption: text" of every message and question
    std::map<TAccountField, std::string> Texts;
    std::string Fingerprint, Hint, SignInState, SignInCaption = "サインイン...", Note, Url;
    int Index = -1, AuthIndex = -1;
    bool Warning = false, FetchEnabled = false, Yes = true, OAuth = false, Custom = false;
    std::vector<TAccountField> Refused;

    void SetSecurityChoices(const TTexts& Captions) override { Choices = Captions; }
    void SetSecurityIndex(int I) override { Index = I; }
    std::string FieldText(TAccountField Field) const override {
        return Texts.contains(Field) ? Texts.at(Field) : std::string();
    }
    void SetFieldText(TAccountField Field, const std::string& Text) override { Texts[Field] = Text; }
    void SetFingerprint(const std::string& F) override { Fingerprint = F; }
    void SetPortHint(const std::string& H) override { Hint = H; }
    void ShowPlaintextWarning(bool Shown) override { Warning = Shown; }
    void EnableFetchCertificate(bool Enabled) override { FetchEnabled = Enabled; }
    void SetAuthChoices(const TTexts& Captions) override { AuthChoices = Captions; }
    void SetAuthIndex(int I) override { AuthIndex = I; }
    void ShowOAuth(bool O, bool C) override { std::tie(OAuth, Custom) = std::tuple(O, C); }
    void SetSignInState(const std::string& State) override { SignInState = State; }
    void SetSignInCaption(const std::string& Caption) override { SignInCaption = Caption; }
    void ShowSignInAddress(const std::string& N, const std::string& U) override {
        std::tie(Note, Url) = std::tie(N, U);
    }
    void RefuseField(TAccountField Field) override { Refused.push_back(Field); }
    void ShowWarning(const std::string& C, const std::string& T) override { Messages.push_back(C + ": " + T); }
    void ShowInformation(const std::string& C, const std::string& T) override { Messages.push_back(C + ": " + T); }
    bool AskYesNo(const std::string& C, const std::string& Q) override {
        Messages.push_back(C + ": " + Q);
        return Yes;
    }
};

// Signs in what it is told to, except a client id "refused" or when
// cancelled; tokens by name.
class FakeSignIn final : public IAccountSignIn {
public:
    std::vector<TAccount> Calls;
    std::function<void(ISignInProgress&)> During;  // what happens while it waits
    bool Cancelled = false;
    bool SignedIn(const TAccount& Account) override { return Account.OAuthClientId == Stored; }
    void SignIn(const TAccount& Account, ISignInProgress& Progress) override {
        Calls.push_back(Account);
        Cancelled = false;
        Progress.AddressReady("https://login.example/?client_id=" + Account.OAuthClientId);
        if (During) During(Progress);
        if (Cancelled) throw std::runtime_error("cancelled");
        if (Account.OAuthClientId == "refused") throw std::runtime_error("access_denied");
        Stored = Account.OAuthClientId;
    }
    void Cancel() override { Cancelled = true; }
    std::string Stored = "(none)";
};

class AccountEditPresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Edit.Fill(FieldsForNewAccount());
        Edit.SetSecurity(SecurityForNewAccount());
        Edit.FormCreate(View);
    }
    TTexts Fetches, Reports;
    TAccountEditPresenter Edit{
        [this](const std::string& Host, std::int32_t Port, TConnectionSecurity Security) {
            Fetches.push_back(Host + ":" + std::to_string(Port) + ":" + std::to_string(static_cast<int>(Security)));
            if (Host == "down.example.jp") throw std::runtime_error("Connection refused");
            return TShownCertificate{"CN=pop", "CN=CA", "2026-01-01", "2027-01-01", "ab"};
        },
        [this](const std::string& Message) { Reports.push_back(Message); }, &SignIn};
    FakeSignIn SignIn;
    EditView View;
};

}  // namespace

// Which texts are ports is DialogFieldsTest's; here what OK and Cancel do with them.
TEST_F(AccountEditPresenterTest, OkTakesOnlyAPortAndKeepsItAsTypedAndCancelNeverChecks) {
    const std::pair<const char*, bool> ports[] = {{"70000", false}, {"$6E", true}, {"", false}, {"65535", true}};
    std::string kept;
    for (const auto& [port, taken] : ports) {
        View.Refused.clear();
        View.Texts[TAccountField::Port] = port;
        EXPECT_EQ(Edit.FormCloseQuery(true), taken) << port;
        EXPECT_TRUE(Edit.FormCloseQuery(false)) << port;
        if (taken) kept = port;
        EXPECT_EQ(Edit.Fields().Port, kept) << port;
        EXPECT_EQ(View.Refused, taken ? std::vector<TAccountField>{} : std::vector{TAccountField::Port}) << port;
    }
}

// A new account starts with SSL/TLS on 995; the port follows the protection
// only while it holds the previous protection's usual number.
TEST_F(AccountEditPresenterTest, ThePortFollowsTheProtectionOnlyWhileItIsTheUsualOne) {
    EXPECT_EQ(View.Choices, (TTexts{"SSL/TLS", "STARTTLS", "なし"}));
    EXPECT_EQ(View.Index, 0);
    const struct {
        int Choice;
        const char *TypedPort, *Port, *Hint;  // TypedPort: typed before choosing
        bool Warning;
    } steps[] = {
        {0, nullptr, "995", "(通常は995です)", false}, {1, nullptr, "110", "(通常は110です)", false},
        {2, nullptr, "110", "(通常は110です)", true},  {0, nullptr, "995", "(通常は995です)", false},
        {1, "2525", "2525", "(通常は110です)", false}, {0, nullptr, "2525", "(通常は995です)", false},
    };
    for (const auto& step : steps) {
        if (step.TypedPort) View.Texts[TAccountField::Port] = step.TypedPort;
        Edit.SecurityChosen(step.Choice);
        SCOPED_TRACE(step.Choice);
        EXPECT_EQ(View.Texts[TAccountField::Port], step.Port);
        EXPECT_EQ(View.Hint, step.Hint);
        EXPECT_EQ(View.Warning, step.Warning);
        EXPECT_EQ(View.FetchEnabled, !step.Warning);
    }
    // A stored account's protection is shown without touching its port.
    Edit.SetSecurity(TConnectionSecurity::None);
    EXPECT_EQ(std::tie(View.Index, View.Texts[TAccountField::Port], View.Warning), std::tuple(2, "2525", true));
    ASSERT_TRUE(Edit.FormCloseQuery(true));
    EXPECT_EQ(Edit.Fields().Security, TConnectionSecurity::None);
}

TEST_F(AccountEditPresenterTest, TheFetchedCertificateIsTrustedOnlyOnYes) {
    const std::string question =
        "証明書: サーバーの証明書:\n\n発行先: CN=pop\n発行者: CN=CA\n有効期間: 2026-01-01 から 2027-01-01 まで\n"
        "SHA-256: ab\n\nこの証明書を信頼しますか?";
    const struct {
        const char *Host, *Port;
        bool Yes, Refused;
        TTexts Messages;
        const char* Fingerprint;
    } cases[] = {
        {"pop.example.jp", "abc", true, true, {}, "old"},
        {"down.example.jp", "995", true, false, {"証明書: Connection refused"}, "old"},
        {"pop.example.jp", "995", false, false, {question}, "old"},
        {"pop.example.jp", "995", true, false, {question}, "ab"},
    };
    for (const auto& c : cases) {
        Edit.SetCertFingerprint("old");
        View.Texts[TAccountField::ServerName] = c.Host;
        View.Texts[TAccountField::Port] = c.Port;
        View.Yes = c.Yes;
        View.Messages.clear();
        View.Refused.clear();
        Edit.FetchCertificateClick();
        SCOPED_TRACE(c.Host + std::string(" ") + c.Port);
        EXPECT_EQ(View.Refused.size(), c.Refused ? 1U : 0U);
        EXPECT_EQ(View.Messages, c.Messages);
        EXPECT_EQ(View.Fingerprint, c.Fingerprint);
    }
    EXPECT_EQ(Fetches.back(),
              "pop.example.jp:995:" + std::to_string(static_cast<int>(TConnectionSecurity::ImplicitTls)));
    ASSERT_TRUE(Edit.FormCloseQuery(true));
    EXPECT_EQ(Edit.Fields().CertFingerprint, "ab");
    Edit.ClearCertificateClick();
    ASSERT_TRUE(Edit.FormCloseQuery(true));
    EXPECT_EQ(std::tie(View.Fingerprint, Edit.Fields().CertFingerprint), std::tuple("", ""));
    EXPECT_EQ(Reports, TTexts{});

    // Without a way to fetch, the button stays greyed and the port box is refused.
    TAccountEditPresenter noFetch(nullptr, nullptr);
    EditView view;
    noFetch.FormCreate(view);
    noFetch.Fill(FieldsForNewAccount());
    noFetch.FetchCertificateClick();
    EXPECT_EQ(std::tie(view.FetchEnabled, view.Refused), std::tuple(false, std::vector{TAccountField::Port}));
}

// OAuth needs TLS; Microsoft and Google fill an empty server with theirs.
TEST_F(AccountEditPresenterTest, TheLogInChoiceShowsItsRowsAndKeepsTls) {
    EXPECT_EQ(View.AuthChoices,
              (TTexts{"パスワード", "OAuth 2.0 (Microsoft)", "OAuth 2.0 (Google)", "OAuth 2.0 (その他)"}));
    const std::string refused = "サインイン: OAuth 2.0 は SSL/TLS か STARTTLS でだけ使えます。";
    const struct {
        int Auth, Security;  // -1: not chosen in this step
        const char* Host;    // typed before
        const char *ShownHost, *Port;
        int Index;
        bool OAuth, Custom, Refused;
    } steps[] = {
        {-1, 2, "", "", "110", 2, false, false, false},
        {2, -1, "", "pop.gmail.com", "995", 0, true, false, false},
        {-1, 2, nullptr, "pop.gmail.com", "995", 0, true, false, true},
        {3, 1, "pop.my.jp", "pop.my.jp", "110", 1, true, true, false},
        {0, 2, nullptr, "pop.my.jp", "110", 2, false, false, false},
        {1, -1, nullptr, "pop.my.jp", "995", 0, true, false, false},
    };
    for (const auto& step : steps) {
        if (step.Host) View.Texts[TAccountField::ServerName] = step.Host;
        View.Messages.clear();
        if (step.Auth >= 0) Edit.AuthChosen(step.Auth);
        if (step.Security >= 0) Edit.SecurityChosen(step.Security);
        SCOPED_TRACE(std::to_string(step.Auth) + " " + std::to_string(step.Security));
        EXPECT_EQ(std::tie(View.Texts[TAccountField::ServerName], View.Texts[TAccountField::Port], View.Index),
                  std::tuple(step.ShownHost, step.Port, step.Index));
        EXPECT_EQ(std::tie(View.OAuth, View.Custom), std::tuple(step.OAuth, step.Custom));
        EXPECT_EQ(View.Messages, step.Refused ? TTexts{refused} : TTexts{});
    }
    View.Texts[TAccountField::ClientId] = "id";
    ASSERT_TRUE(Edit.FormCloseQuery(true));
    EXPECT_EQ(
        std::tie(Edit.Fields().Auth, Edit.Fields().OAuthProvider, Edit.Fields().OAuthClientId, Edit.Fields().Security),
        std::tuple(TAuthMethod::OAuth, "microsoft", "id", TConnectionSecurity::ImplicitTls));
}

TEST_F(AccountEditPresenterTest, SignInNeedsAClientIdAndShowsItsOutcome) {
    TAccount stored{"pop.my.jp", 995, "", "taro", true, 0};
    std::tie(stored.Auth, stored.OAuthProvider, stored.OAuthClientId, stored.OAuthClientSecret) =
        std::tuple(TAuthMethod::OAuth, "custom", "ok", "secret");
    Edit.SetAuth(stored);
    EXPECT_EQ(std::tie(View.AuthIndex, View.SignInState), std::tuple(3, "サインインしていません"));
    // While it waits: the address in place of the provider's boxes and "中止",
    // which ends it quietly, as closing does; no browser leaves the address.
    enum TWhile { Nothing, NoBrowser, Click, Close };
    const std::string opened = "ブラウザーが開かない場合は、次のアドレスをブラウザーで開いてください。|";
    const std::string failed = "ブラウザーを開けませんでした。次のアドレスをブラウザーで開いてください。|";
    const struct {
        const char* ClientId;
        TWhile While;
        std::string Note, Message, State;
    } cases[] = {
        {"", Nothing, "", "サインインにはクライアントIDが必要です。", "サインインしていません"},
        {"refused", Nothing, opened, "サインインできませんでした:\naccess_denied", "サインインしていません"},
        {"ok", Click, opened, "", "サインインしていません"},
        {"ok", NoBrowser, failed, "サインインしました。", "サインイン済み"},
        {"other", Close, opened, "", "サインインを待っています"},
    };
    for (const auto& c : cases) {
        View.Texts[TAccountField::ClientId] = c.ClientId;
        View.Messages.clear();
        std::string waiting;
        SignIn.During = [&](ISignInProgress& Progress) {
            if (c.While == NoBrowser) Progress.BrowserFailed("no browser");
            waiting = View.Note + "|" + View.Url + View.SignInCaption + View.SignInState + (View.Custom ? "+" : "");
            if (c.While == Click) Edit.SignInClick();
            if (c.While == Close && !Edit.FormCloseQuery(false)) ADD_FAILURE() << "not closed";
        };
        Edit.SignInClick();
        const std::string url = c.Note.empty() ? "" : "https://login.example/?client_id=" + std::string(c.ClientId);
        EXPECT_EQ(waiting, c.Note.empty() ? "" : c.Note + url + "中止サインインを待っています");
        const std::string message = c.Message.empty() ? "" : "サインイン: " + c.Message;
        EXPECT_EQ(View.Messages.size() == 1 ? View.Messages[0].substr(0, message.size()) : "", message);
        EXPECT_EQ(View.SignInState, c.State) << c.ClientId;
        // Afterwards the boxes are back, unless the dialog closed.
        EXPECT_EQ(View.Url.empty() && View.SignInCaption == "サインイン..." && View.Custom, c.While != Close);
    }
    // The account signed in is the one the boxes show; a secret stays with its own client id.
    ASSERT_EQ(SignIn.Calls.size(), 4U);
    EXPECT_EQ(std::tie(SignIn.Calls[1].UserID, SignIn.Calls[1].OAuthClientSecret, SignIn.Calls[0].OAuthClientSecret),
              std::tuple("", "secret", ""));
    EXPECT_EQ(Reports, TTexts{});
}

namespace {

class ListView final : public IAccountListView {
public:
    std::vector<std::pair<TAccountRowTexts, bool>> Rows;  // texts, ticked
    int Selected = -1;
    std::tuple<bool, bool, bool> Enabled;
    TTexts Questions;
    bool Ok = true;
    std::string RefusedHost = "(none)";  // a row the list cannot take
    std::function<bool(TAccountEditPresenter&, EditView&)> OnEdit;

    void AddRow(const TAccountRowTexts& Texts, bool Ticked) override {
        if (Texts.Host == RefusedHost) throw std::runtime_error("no room");
        Rows.emplace_back(Texts, Ticked);
    }
    void SetRowTexts(int R, const TAccountRowTexts& Texts) override { Rows.at(R).first = Texts; }
    void DeleteRow(int R) override { Rows.erase(Rows.begin() + R); }
    bool RowTicked(int R) const override { return Rows.at(R).second; }
    int SelectedRow() const override { return Selected; }
    void ClearSelection() override { Selected = -1; }
    void EnableButtons(bool Add, bool Change, bool Delete) override { Enabled = {Add, Change, Delete}; }
    bool AskOkCancel(const std::string& C, const std::string& Q) override {
        Questions.push_back(C + ": " + Q);
        return Ok;
    }
    bool ShowAccountEdit(TAccountEditPresenter& Edit) override {
        EditView view;
        Edit.FormCreate(view);
        return OnEdit(Edit, view) && Edit.FormCloseQuery(true);
    }
};

class AccountListPresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Accounts.Add() = TAccount{"pop.example.jp", 110, "abcde", "taro", true, 4};
        Accounts.Add() = TAccount{"", 995, "", "", false, 0};
        Accounts.Items(1).Security = TConnectionSecurity::Stls;
        Accounts.Items(1).CertFingerprint = "ff";
    }
    std::string Hosts() const {
        std::string hosts;
        for (std::int32_t i = 0; i < Accounts.Count(); ++i) hosts += Accounts.Items(i).Host + ",";
        return hosts;
    }

    TTexts Reports;
    TAccounts Accounts;
    TAccountListPresenter List{Accounts, nullptr, [this](const std::string& Message) { Reports.push_back(Message); }};
    ListView View;
};

const std::tuple<bool, bool, bool> OnlyAdd{true, false, false}, AllThree{true, true, true};

}  // namespace

TEST_F(AccountListPresenterTest, RowsChangeAndDeleteWithASelectedRowAndAsk) {
    View.RefusedHost = "left.out";
    Accounts.Add() = TAccount{"left.out", 1, "", "", true, 0};
    Accounts.Add() = TAccount{"pop.last.jp", 2, "\xff", "jiro", true, 0};
    List.FormCreate(View);
    ASSERT_EQ(View.Rows.size(), 3U);  // the row the list could not take is left out
    EXPECT_EQ(View.Rows[0], std::pair(TAccountRowTexts{"pop.example.jp", "110", "taro", "*****"}, true));
    EXPECT_FALSE(View.Rows[1].second);
    EXPECT_EQ(View.Rows[2].first.Password, "*");  // no text in any code page: one "*" per byte
    EXPECT_EQ(View.Enabled, OnlyAdd);
    const struct {
        int Row;
        bool Ok;
        const char *Question, *HostsLeft;
    } deletes[] = {
        {2, false, "確認: \"jiro@pop.last.jp\" を削除してよろしいですか？", "pop.example.jp,,left.out,pop.last.jp,"},
        {1, false, "確認: 名称なし を削除してよろしいですか？", "pop.example.jp,,left.out,pop.last.jp,"},
        {2, true, "確認: \"jiro@pop.last.jp\" を削除してよろしいですか？", "pop.example.jp,,left.out,"},
        {0, true, "確認: \"taro@pop.example.jp\" を削除してよろしいですか？", ",left.out,"},
    };
    for (const auto& d : deletes) {
        View.Selected = d.Row;
        List.SelectionChanged();
        EXPECT_EQ(View.Enabled, AllThree);
        View.Ok = d.Ok;
        View.Questions.clear();
        List.DeleteClick();
        EXPECT_EQ(View.Questions, TTexts{d.Question});
        EXPECT_EQ(Hosts(), d.HostsLeft);
        EXPECT_EQ(View.Rows.size(), static_cast<std::size_t>(Accounts.Count() - 1));
        EXPECT_EQ(View.Enabled, d.Ok ? OnlyAdd : AllThree);
    }
    View.Questions.clear();
    List.DeleteClick();  // nothing selected: nothing asked
    List.ChangeClick();
    EXPECT_EQ(View.Questions, TTexts{});
    // The title-bar close copies the ticks and stores nothing; the account
    // without a row keeps its state.
    View.Rows[0].second = true;
    List.FormClose(false);
    EXPECT_EQ(std::tuple(List.StoreAccounts(), Accounts.Items(0).Enabled), std::tuple(false, true));
    EXPECT_EQ(Accounts.Items(1).Host + (Accounts.Items(1).Enabled ? " on" : " off"), "left.out on");
    EXPECT_EQ(Reports, TTexts{});
}

TEST_F(AccountListPresenterTest, AddAppendsATickedAccountAndChangeKeepsTheAccountsState) {
    List.FormCreate(View);
    View.OnEdit = [](TAccountEditPresenter&, EditView& Dialog) {  // a new account's fields: DialogFieldsTest
        EXPECT_EQ(std::tie(Dialog.Texts[TAccountField::Port], Dialog.Index), std::tuple("995", 0));
        Dialog.Texts[TAccountField::ServerName] = "pop.new.jp";
        return true;
    };
    List.AddClick();
    EXPECT_EQ(Hosts(), "pop.example.jp,,pop.new.jp,");
    EXPECT_FALSE(Accounts.Items(2).Enabled);  // until the list closes
    EXPECT_EQ(View.Rows.at(2), std::pair(TAccountRowTexts{"pop.new.jp", "995", "", ""}, true));

    View.Selected = 1;
    View.OnEdit = [](TAccountEditPresenter& Presenter, EditView& Dialog) {
        EXPECT_EQ(std::tie(Dialog.Texts[TAccountField::Port], Dialog.Index, Dialog.Fingerprint),
                  std::tuple("995", 1, "ff"));
        Dialog.Texts[TAccountField::Port] = "$3E3";
        Dialog.Texts[TAccountField::Password] = "xy";
        Presenter.SecurityChosen(0);
        return true;
    };
    List.ChangeClick();
    const TAccount& changed = Accounts.Items(1);
    EXPECT_EQ(std::tie(changed.Port, changed.Security, changed.Enabled),
              std::tuple(995, TConnectionSecurity::ImplicitTls, false));
    EXPECT_EQ(View.Rows[1].first, (TAccountRowTexts{"", "995", "", "**"}));

    // Cancel changes nothing; an account removed meanwhile is not touched.
    View.OnEdit = [](TAccountEditPresenter&, EditView&) { return false; };
    List.AddClick();
    List.ChangeClick();
    View.OnEdit = [this](TAccountEditPresenter&, EditView&) { return Accounts.Remove(Accounts.Items(1)), true; };
    List.ChangeClick();
    EXPECT_EQ(Hosts(), "pop.example.jp,pop.new.jp,");
    EXPECT_EQ(View.Rows[1].first.Password, "**");

    // What a handler lets escape goes to the report.
    View.OnEdit = [](TAccountEditPresenter&, EditView&) -> bool { throw std::runtime_error("no dialog"); };
    List.AddClick();
    EXPECT_EQ(Reports, TTexts{"no dialog"});
    // "閉じる" switches the new account on and stores.
    List.FormClose(true);
    EXPECT_EQ(std::tuple(List.StoreAccounts(), Accounts.Items(1).Enabled), std::tuple(true, true));
}

}  // namespace quorvel
