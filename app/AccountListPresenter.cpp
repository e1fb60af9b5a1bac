#include "app/AccountListPresenter.h"

#include <exception>
#include <utility>

#include "settings/SystemCodePage.h"

namespace quorvel {

TAccountListPresenter::TAccountListPresenter(TAccounts& Accounts, TCertificateFetcher Fetcher, TErrorReport Report,
                                             IAccountSignIn* SignIn)
    : FAccounts(Accounts), FFetcher(std::move(Fetcher)), FSignIn(SignIn), FReport(std::move(Report)) {}

TAccountRowTexts TAccountListPresenter::RowTexts(const TAccount& Account) {
    TAccountRowTexts texts = AccountRowTexts(Account);
    try {
        texts.Password = MaskedText(ToSystemCodePage(Account.Password));
    } catch (const std::exception&) {
        // Counted in UTF-8 as AccountRowTexts does.
    }
    return texts;
}

void TAccountListPresenter::FormCreate(IAccountListView& View) {
    FView = &View;
    FRows.clear();
    for (std::int32_t i = 0; i < FAccounts.Count(); ++i) {
        try {
            AddRow(FAccounts.Items(i), FAccounts.Items(i).Enabled);
        } catch (const std::exception&) {}
    }
    UpdateActionStates();
}

void TAccountListPresenter::AddRow(TAccount& Account, bool Ticked) {
    const TAccountRowTexts texts = RowTexts(Account);
    FRows.push_back(&Account);
    try {
        FView->AddRow(texts, Ticked);
    } catch (...) {
        FRows.pop_back();
        throw;
    }
}

TAccount* TAccountListPresenter::RowAccount(int Row) const {
    if (Row < 0 || Row >= static_cast<int>(FRows.size())) return nullptr;
    TAccount* account = FRows[static_cast<std::size_t>(Row)];
    if (FAccounts.IndexOf(*account) < 0) return nullptr;
    return account;
}

void TAccountListPresenter::UpdateActionStates() {
    const bool selected = FView->SelectedRow() >= 0;
    FView->EnableButtons(true, selected, selected);
}

void TAccountListPresenter::SelectionChanged() {
    Guarded(FReport, [&] {
        if (FView != nullptr) UpdateActionStates();
    });
}

void TAccountListPresenter::AddClick() {
    Guarded(FReport, [&] {
        if (FView == nullptr) return;
        TAccountEditPresenter edit(FFetcher, FReport, FSignIn);
        edit.Fill(FieldsForNewAccount());
        edit.SetSecurity(SecurityForNewAccount());
        if (!FView->ShowAccountEdit(edit)) return;
        TAccount& account = FAccounts.Add();
        try {
            ApplyAccountFields(account, edit.Fields());
            // Ticked; the account is switched on when the list closes.
            AddRow(account, true);
        } catch (const std::exception&) {
            // A half-made account does not stay.
            FAccounts.Remove(account);
        }
    });
}

void TAccountListPresenter::ChangeClick() {
    Guarded(FReport, [&] {
        if (FView == nullptr) return;
        const int row = FView->SelectedRow();
        TAccount* account = RowAccount(row);
        if (account == nullptr) return;
        TAccountEditPresenter edit(FFetcher, FReport, FSignIn);
        edit.Fill(FieldsForAccount(*account));
        edit.SetSecurity(account->Security);
        edit.SetCertFingerprint(account->CertFingerprint);
        edit.SetAuth(*account);
        if (!FView->ShowAccountEdit(edit)) return;
        // The account may have gone while the dialog was open.
        account = RowAccount(row);
        if (account == nullptr) return;
        ApplyAccountFields(*account, edit.Fields());
        FView->SetRowTexts(row, RowTexts(*account));
    });
}

void TAccountListPresenter::DeleteClick() {
    Guarded(FReport, [&] {
        if (FView == nullptr) return;
        const int row = FView->SelectedRow();
        const TAccount* account = RowAccount(row);
        if (account == nullptr) return;
        if (!FView->AskOkCancel("確認", DeleteAccountQuestion(*account))) return;
        account = RowAccount(row);
        if (account != nullptr) FAccounts.Remove(*account);
        FRows.erase(FRows.begin() + row);
        FView->DeleteRow(row);
        // No row is selected after a delete.
        FView->ClearSelection();
        UpdateActionStates();
    });
}

void TAccountListPresenter::FormClose(bool CloseButton) {
    Guarded(FReport, [&] {
        FStore = CloseButton;
        if (FView == nullptr) return;
        for (int i = 0; i < static_cast<int>(FRows.size()); ++i) {
            TAccount* account = RowAccount(i);
            if (account == nullptr) continue;
            const bool ticked = FView->RowTicked(i);
            if (account->Enabled != ticked) account->Enabled = ticked;
        }
    });
}

}  // namespace quorvel
