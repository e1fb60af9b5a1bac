#pragma once

#include <QDialog>

#include "gui/qt/AccountInformationForm.h"
#include "settings/Account.h"

class QAction;
class QKeyEvent;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quorvel {

// The account list: one row per account with a check box that switches it
// on or off, and buttons to add, change and delete accounts. It works on the
// live collection: every add, change and delete takes effect at once, and
// closing copies the check boxes into the accounts. exec() gives Accepted
// only for "閉じる" (the caller then stores the accounts); the title-bar
// close gives Rejected. Esc does not close it.
class TAccountListForm : public QDialog {
    Q_OBJECT

public:
    TAccountListForm(QWidget* Owner, TAccounts& Accounts);

    // Shows Accounts, replacing every row.
    void SetAccounts(TAccounts& Accounts);
    // "追加" always enabled; "変更" and "削除" only while a row is selected.
    void UpdateActionStates();

    void done(int Result) override;
    void setVisible(bool Visible) override;

    QTreeWidget* AccountListView;
    // Handed to each account edit dialog (see TAccountInformationForm).
    TAccountInformationForm::TCertificateFetcher CertificateFetcher;
    QPushButton* CloseButton;   // "閉じる"
    QPushButton* AddButton;     // "追加"
    QPushButton* ChangeButton;  // "変更"
    QPushButton* DeleteButton;  // "削除"
    QAction* AddAccountAction;
    QAction* ChangeAccountAction;
    QAction* DeleteAccountAction;

protected:
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void AddAccountActionExecute();
    void ChangeAccountActionExecute();
    void DeleteAccountActionExecute();
    // Copies each row's check box into its account.
    void FormClose();

    QTreeWidgetItem* AddRow(TAccount& Account);
    static void ShowRowTexts(QTreeWidgetItem& Row, const TAccount& Account);
    QTreeWidgetItem* SelectedRow() const;
    // The row's account while it is still in the collection.
    TAccount* RowAccount(const QTreeWidgetItem& Row) const;

    TAccounts* FAccounts;
};

}  // namespace quorvel
