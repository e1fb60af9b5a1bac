#pragma once

#include <string>
#include <vector>

#include "app/AccountEditPresenter.h"
#include "core/Guarded.h"
#include "settings/Account.h"
#include "settings/AccountListText.h"

namespace quorvel {

// What the account list of a toolkit shows, as its presenter tells it: one
// row per account, by index from the top, each with a check box.
class IAccountListView {
public:
    virtual ~IAccountListView() = default;
    // Appends a row; raises when the list cannot take it (no row is left).
    virtual void AddRow(const TAccountRowTexts& Texts, bool Ticked) = 0;
    virtual void SetRowTexts(int Row, const TAccountRowTexts& Texts) = 0;
    virtual void DeleteRow(int Row) = 0;
    virtual bool RowTicked(int Row) const = 0;
    // The selected row; -1 when none is.
    virtual int SelectedRow() const = 0;
    virtual void ClearSelection() = 0;
    virtual void EnableButtons(bool Add, bool Change, bool Delete) = 0;
    // A question with "OK" (the default) and "キャンセル"; true for "OK".
    virtual bool AskOkCancel(const std::string& Caption, const std::string& Question) = 0;
    // Shows the account edit dialog on Edit modally over the list; true when
    // OK closed it.
    virtual bool ShowAccountEdit(TAccountEditPresenter& Edit) = 0;
};

// The decisions of the account list: the rows it shows, "追加", "変更" and
// "削除" with their enabled states and the delete question, and closing. It
// works on the live collection: every add, change and delete takes effect at
// once, and closing copies the check boxes into the accounts. Closing with
// "閉じる" asks the caller to store the accounts; the title-bar close does
// not. Every handler reports what it lets escape to the error report.
class TAccountListPresenter {
public:
    // Fetcher is handed to each account edit dialog.
    // SignIn (may be null) runs the edit dialog's OAuth 2.0 sign-in.
    TAccountListPresenter(TAccounts& Accounts, TCertificateFetcher Fetcher, TErrorReport Report,
                          IAccountSignIn* SignIn = nullptr);

    // The view's controls exist: shows one row per account (a row that
    // cannot be made is left out) and the buttons' states. Raises what else
    // it meets, so that a list that cannot be filled is not shown (the
    // view's caller reports it).
    void FormCreate(IAccountListView& View);

    // The selection or a check box changed.
    void SelectionChanged();
    void AddClick();
    void ChangeClick();
    void DeleteClick();
    // The list closes, with "閉じる" (CloseButton true) or otherwise.
    void FormClose(bool CloseButton);

    // Closed with "閉じる": the caller stores the accounts.
    bool StoreAccounts() const { return FStore; }

    // What a row shows: the password as one "*" per byte of the system code
    // page (of UTF-8 where the code page cannot hold it).
    static TAccountRowTexts RowTexts(const TAccount& Account);

private:
    void AddRow(TAccount& Account, bool Ticked);
    // "追加" always enabled; "変更" and "削除" only while a row is selected.
    void UpdateActionStates();
    // The row's account while it is still in the collection.
    TAccount* RowAccount(int Row) const;

    TAccounts& FAccounts;
    TCertificateFetcher FFetcher;
    IAccountSignIn* FSignIn;
    TErrorReport FReport;
    IAccountListView* FView = nullptr;
    std::vector<TAccount*> FRows;  // each row's account, top to bottom
    bool FStore = false;
};

}  // namespace quorvel
