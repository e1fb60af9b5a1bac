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

class EditView final : public IAccountEditView {
public:
    std::vector<std::string> Choices;
    int Index = -1;
    std::map<TAccountField, std::string> Texts;
    std::string Fingerprint, Hint;
    bool Warning = false, FetchEnabled = false, Answer = true;
    std::vector<TAccountField> Refused;
    std::vector<std::string> Messages;  // "caption: text" of warnings and questions

    void SetSecurityChoices(const std::vector<std::string>& Captions) override { Choices = Captions; }
    void SetSecurityIndex(int I) override { Index = I; }
    std::string FieldText(TAccountField Field) const override { return Texts.at(Field); }
    void SetFieldText(TAccountField Field, const std::string& Text) override { Texts[Field] = Text; }
    void SetFingerprint(const std::string& F) override { Fingerprint = F; }
    void SetPortHint(const std::string& H) override { Hint = H; }
    void ShowPlaintextWarning(bool Shown) override { Warning = Shown; }
    void EnableFetchCertificate(bool Enabled) override { FetchEnabled = Enabled; }
    void RefuseField(TAccountField Field) override { Refused.push_back(Field); }
    void ShowWarning(const std::string& Caption, const std::string& Text) override {
        Messages.push_back(Caption + ": " + Text);
    }
    bool AskYesNo(const std::string& Caption, const std::string& Question) override {
        Messages.push_back(Caption + ": " + Question);
        return Answer;
    }
};

TShownCertificate Shown() {
    return {"CN=pop.example.jp", "CN=Test CA", "2026-01-01", "2027-01-01", std::string(64, 'a')};
}

class AccountEditPresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Edit.Fill(FieldsForNewAccount());
        Edit.SetSecurity(SecurityForNewAccount());
        Edit.FormCreate(View);
    }
    std::vector<std::string> Reports;
    std::vector<std::tuple<std::string, std::int32_t, TConnectionSecurity>> Fetches;
    TCertificateFetcher Fetcher = [this](const std::string& Host, std::int32_t Port, TConnectionSecurity Security) {
        Fetches.emplace_back(Host, Port, Security);
        if (Host == "down.example.jp") throw std::runtime_error("Connection refused");
        return Shown();
    };
    TAccountEditPresenter Edit{Fetcher, [this](const std::string& Message) { Reports.push_back(Message); }};
    EditView View;
};

}  // namespace

TEST_F(AccountEditPresenterTest, OkTakesOnlyPortsFromOneTo65535AndCancelNeverChecks) {
    const std::pair<const char*, bool> ports[] = {
        {"", false},      {"1 2", false}, {"110 ", false},        {"abc", false}, {"0", false},
        {"70000", false}, {"-1", false},  {"12345678901", false}, {"110", true},  {" 110", true},
        {"+110", true},   {"$6E", true},  {"0x6E", true},         {"1", true},    {"65535", true},
    };
    for (const auto& [port, taken] : ports) {
        View.Refused.clear();
        View.Texts[TAccountField::Port] = port;
        EXPECT_EQ(Edit.FormCloseQuery(true), taken) << port;
        if (taken) {
            EXPECT_EQ(Edit.Fields().Port, port);
        }
        EXPECT_TRUE(Edit.FormCloseQuery(false)) << port;
        EXPECT_EQ(View.Refused, taken ? std::vector<TAccountField>{} : std::vector{TAccountField::Port}) << port;
    }
}

// A new account starts with SSL/TLS on 995; the port follows the protection
// only while it holds the previous protection's usual number.
TEST_F(AccountEditPresenterTest, ThePortFollowsTheProtectionOnlyWhileItIsTheUsualOne) {
    EXPECT_EQ(View.Choices, (std::vector<std::string>{"SSL/TLS", "STARTTLS", "なし"}));
    EXPECT_EQ(View.Index, 0);
    EXPECT_EQ(View.Texts[TAccountField::Port], "995");
    EXPECT_EQ(View.Hint, "(通常は995です)");
    struct Step {
        int Choice;
        const char* TypedPort;  // typed before choosing; nullptr: none
        const char *Port, *Hint;
        bool Warning;
    };
    const Step steps[] = {
        {1, nullptr, "110", "(通常は110です)", false},  {2, nullptr, "110", "(通常は110です)", true},
        {0, nullptr, "995", "(通常は995です)", false},  {1, "2525", "2525", "(通常は110です)", false},
        {0, nullptr, "2525", "(通常は995です)", false},
    };
    for (const Step& step : steps) {
        if (step.TypedPort) View.Texts[TAccountField::Port] = step.TypedPort;
        Edit.SecurityChosen(step.Choice);
        SCOPED_TRACE(step.Choice);
        EXPECT_EQ(View.Texts[TAccountField::Port], step.Port);
        EXPECT_EQ(View.Hint, step.Hint);
        EXPECT_EQ(View.Warning, step.Warning);
        EXPECT_EQ(View.FetchEnabled, !step.Warning);
    }
    // A stored account keeps its port when its protection is shown.
    Edit.SetSecurity(TConnectionSecurity::None);
    EXPECT_EQ(View.Index, 2);
    EXPECT_EQ(View.Texts[TAccountField::Port], "2525");
    EXPECT_TRUE(View.Warning);
    ASSERT_TRUE(Edit.FormCloseQuery(true));
    EXPECT_EQ(Edit.Fields().Security, TConnectionSecurity::None);
}

TEST_F(AccountEditPresenterTest, TheFetchedCertificateIsTrustedOnlyOnYes) {
    const std::string question =
        "証明書: サーバーの証明書:\n\n発行先: CN=pop.example.jp\n発行者: CN=Test CA\n"
        "有効期間: 2026-01-01 から 2027-01-01 まで\nSHA-256: " +
        std::string(64, 'a') + "\n\nこの証明書を信頼しますか?";
    struct Case {
        const char *Host, *Port;
        bool Yes;
        const char* Message;  // nullptr: the trust question; "": none (refused)
        const char* Fingerprint;
    };
    const Case cases[] = {
        {"pop.example.jp", "abc", true, "", "old"},
        {"down.example.jp", "995", true, "証明書: Connection refused", "old"},
        {"pop.example.jp", "995", false, nullptr, "old"},
        {"pop.example.jp", "995", true, nullptr, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
    };
    for (const Case& c : cases) {
        Edit.SetCertFingerprint("old");
        View.Texts[TAccountField::ServerName] = c.Host;
        View.Texts[TAccountField::Port] = c.Port;
        View.Answer = c.Yes;
        View.Messages.clear();
        View.Refused.clear();
        Edit.FetchCertificateClick();
        SCOPED_TRACE(c.Host + std::string(" ") + c.Port);
        EXPECT_EQ(View.Refused.size(), c.Message && !*c.Message ? 1U : 0U);
        std::vector<std::string> messages;
        if (!c.Message) {
            messages = {question};
        } else if (*c.Message) {
            messages = {c.Message};
        }
        EXPECT_EQ(View.Messages, messages);
        EXPECT_EQ(View.Fingerprint, c.Fingerprint);
    }
    EXPECT_EQ(std::get<1>(Fetches.back()), 995);
    EXPECT_EQ(std::get<2>(Fetches.back()), TConnectionSecurity::ImplicitTls);
    ASSERT_TRUE(Edit.FormCloseQuery(true));
    EXPECT_EQ(Edit.Fields().CertFingerprint, std::string(64, 'a'));
    Edit.ClearCertificateClick();
    EXPECT_EQ(View.Fingerprint, "");
    ASSERT_TRUE(Edit.FormCloseQuery(true));
    EXPECT_EQ(Edit.Fields().CertFingerprint, "");
    EXPECT_EQ(Reports, std::vector<std::string>{});

    // Without a way to fetch, the button stays greyed and the port box is refused.
    TAccountEditPresenter noFetch(nullptr, nullptr);
    noFetch.Fill(FieldsForNewAccount());
    EditView view;
    noFetch.FormCreate(view);
    EXPECT_FALSE(view.FetchEnabled);
    noFetch.FetchCertificateClick();
    EXPECT_EQ(view.Refused, std::vector{TAccountField::Port});
}

namespace {

class ListView final : public IAccountListView {
public:
    struct Row {
        TAccountRowTexts Texts;
        bool Ticked;
    };
    std::vector<Row> Rows;
    int Selected = -1;
    std::tuple<bool, bool, bool> Enabled;
    std::vector<std::string> Questions;
    bool Answer = true;
    std::string RefusedHost = "(none)";  // a row the list cannot take
    std::function<bool(TAccountEditPresenter&, EditView&)> OnEdit;

    void AddRow(const TAccountRowTexts& Texts, bool Ticked) override {
        if (Texts.Host == RefusedHost) throw std::runtime_error("no room");
        Rows.push_back({Texts, Ticked});
    }
    void SetRowTexts(int R, const TAccountRowTexts& Texts) override { Rows.at(R).Texts = Texts; }
    void DeleteRow(int R) override { Rows.erase(Rows.begin() + R); }
    bool RowTicked(int R) const override { return Rows.at(R).Ticked; }
    int SelectedRow() const override { return Selected; }
    void ClearSelection() override { Selected = -1; }
    void EnableButtons(bool Add, bool Change, bool Delete) override { Enabled = {Add, Change, Delete}; }
    bool AskOkCancel(const std::string& Caption, const std::string& Question) override {
        Questions.push_back(Caption + ": " + Question);
        return Answer;
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
    void Show() { List.FormCreate(View); }

    std::vector<std::string> Reports;
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
    Show();
    ASSERT_EQ(View.Rows.size(), 3U);  // the row the list could not take is left out
    EXPECT_EQ(View.Rows[0].Texts, (TAccountRowTexts{"pop.example.jp", "110", "taro", "*****"}));
    EXPECT_TRUE(View.Rows[0].Ticked);
    EXPECT_FALSE(View.Rows[1].Ticked);
    EXPECT_EQ(View.Rows[2].Texts.Password, "*");  // no text in any code page: one "*" per byte
    EXPECT_EQ(View.Enabled, OnlyAdd);

    struct Delete {
        int Row;
        bool Ok;
        const char* Question;
        const char* HostsLeft;
    };
    const Delete deletes[] = {
        {2, false, "確認: \"jiro@pop.last.jp\" を削除してよろしいですか？", "pop.example.jp,,left.out,pop.last.jp,"},
        {1, false, "確認: 名称なし を削除してよろしいですか？", "pop.example.jp,,left.out,pop.last.jp,"},
        {2, true, "確認: \"jiro@pop.last.jp\" を削除してよろしいですか？", "pop.example.jp,,left.out,"},
        {0, true, "確認: \"taro@pop.example.jp\" を削除してよろしいですか？", ",left.out,"},
    };
    for (const Delete& d : deletes) {
        View.Selected = d.Row;
        List.SelectionChanged();
        EXPECT_EQ(View.Enabled, AllThree);
        View.Answer = d.Ok;
        View.Questions.clear();
        List.DeleteClick();
        EXPECT_EQ(View.Questions, std::vector<std::string>{d.Question});
        std::string hosts;
        for (std::int32_t i = 0; i < Accounts.Count(); ++i) hosts += Accounts.Items(i).Host + ",";
        EXPECT_EQ(hosts, d.HostsLeft);
        EXPECT_EQ(View.Rows.size(), static_cast<std::size_t>(Accounts.Count() - 1));
        EXPECT_EQ(View.Enabled, d.Ok ? OnlyAdd : AllThree);
    }
    // Nothing selected: nothing asked.
    View.Questions.clear();
    List.DeleteClick();
    List.ChangeClick();
    EXPECT_EQ(View.Questions, std::vector<std::string>{});
    EXPECT_EQ(Reports, std::vector<std::string>{});
}

TEST_F(AccountListPresenterTest, AddAppendsATickedAccountAndChangeKeepsTheAccountsState) {
    Show();
    View.OnEdit = [](TAccountEditPresenter&, EditView& Dialog) {
        EXPECT_EQ(Dialog.Texts, (std::map<TAccountField, std::string>{{TAccountField::ServerName, ""},
                                                                      {TAccountField::Port, "995"},
                                                                      {TAccountField::UserID, ""},
                                                                      {TAccountField::Password, ""}}));
        EXPECT_EQ(Dialog.Index, 0);
        Dialog.Texts[TAccountField::ServerName] = "pop.new.jp";
        return true;
    };
    List.AddClick();
    ASSERT_EQ(Accounts.Count(), 3);
    EXPECT_EQ(Accounts.Items(2).Host, "pop.new.jp");
    EXPECT_EQ(Accounts.Items(2).Port, 995);
    EXPECT_FALSE(Accounts.Items(2).Enabled);  // until the list closes
    ASSERT_EQ(View.Rows.size(), 3U);
    EXPECT_TRUE(View.Rows[2].Ticked);

    View.Selected = 1;
    View.OnEdit = [](TAccountEditPresenter& Presenter, EditView& Dialog) {
        EXPECT_EQ(Dialog.Texts[TAccountField::Port], "995");  // a stored port stays
        EXPECT_EQ(Dialog.Index, 1);
        EXPECT_EQ(Dialog.Fingerprint, "ff");
        Dialog.Texts[TAccountField::Port] = "$3E3";
        Dialog.Texts[TAccountField::Password] = "xy";
        Presenter.SecurityChosen(0);
        return true;
    };
    List.ChangeClick();
    EXPECT_EQ(Accounts.Items(1).Port, 995);
    EXPECT_EQ(Accounts.Items(1).Security, TConnectionSecurity::ImplicitTls);
    EXPECT_FALSE(Accounts.Items(1).Enabled);
    EXPECT_EQ(View.Rows[1].Texts, (TAccountRowTexts{"", "995", "", "**"}));

    // Cancel changes nothing; an account removed meanwhile is not touched.
    View.OnEdit = [](TAccountEditPresenter&, EditView& Dialog) {
        Dialog.Texts[TAccountField::Port] = "1";
        return false;
    };
    List.AddClick();
    List.ChangeClick();
    View.OnEdit = [this](TAccountEditPresenter&, EditView&) {
        Accounts.Remove(Accounts.Items(1));
        return true;
    };
    List.ChangeClick();
    EXPECT_EQ(Accounts.Count(), 2);
    EXPECT_EQ(View.Rows[1].Texts.Password, "**");

    // What a handler lets escape goes to the report.
    View.OnEdit = [](TAccountEditPresenter&, EditView&) -> bool { throw std::runtime_error("no dialog"); };
    List.AddClick();
    EXPECT_EQ(Reports, std::vector<std::string>{"no dialog"});
    EXPECT_EQ(Accounts.Count(), 2);
}

TEST_F(AccountListPresenterTest, ClosingCopiesTheTicksAndOnlyTheCloseButtonStores) {
    for (const bool closeButton : {true, false}) {
        TAccountListPresenter list(Accounts, nullptr, nullptr);
        ListView view;
        list.FormCreate(view);
        const bool first = Accounts.Items(0).Enabled;
        view.Rows[0].Ticked = !first;
        list.FormClose(closeButton);
        EXPECT_EQ(list.StoreAccounts(), closeButton);
        EXPECT_EQ(Accounts.Items(0).Enabled, !first);
        EXPECT_FALSE(Accounts.Items(1).Enabled);
    }
}

}  // namespace quorvel
