#pragma once

#include "gui/win32/AccountInformationForm_win32.h"
#include "gui/win32/WinDialog_win32.h"
#include "settings/Account.h"

namespace quorvel {

// The account list on Win32: one row per account with a check box that
// switches it on or off, and "追加", "変更", "削除" and "閉じる". It works on
// the live collection: every add, change and delete takes effect at once,
// and closing copies the check boxes into the accounts. ShowModal gives
// IDOK only for "閉じる" (the caller then stores the accounts); the
// title-bar close and Alt+F4 give IDCANCEL. Esc does not close it.
class TAccountListForm final : public TWinDialog {
public:
    explicit TAccountListForm(TAccounts& Accounts);

    // Handed to each account edit dialog.
    TAccountInformationForm::TCertificateFetcher CertificateFetcher;

private:
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void FormCreate();
    void SetAccounts();
    // "追加" always enabled; "変更" and "削除" only while a row is selected.
    void UpdateActionStates();
    void AddAccountActionExecute();
    void ChangeAccountActionExecute();
    void DeleteAccountActionExecute();
    // Copies each row's check box into its account.
    void FormClose();
    void LayOut();

    int AddRow(TAccount& Account);
    void ShowRowTexts(int Row, const TAccount& Account);
    int SelectedRow() const;
    // The row's account while it is still in the collection.
    TAccount* RowAccount(int Row) const;

    TAccounts* FAccounts;
    HWND FList = nullptr;
    SIZE FMinimumSize{};  // of the window, the size it opened with
};

}  // namespace quorvel
