#pragma once

#include <QDialog>
#include <string>

#include "app/AccountListPresenter.h"

class QAction;
class QKeyEvent;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quorvel {

// The account list on Qt: a view of TAccountListPresenter, which decides
// what the rows show, which buttons are enabled and what closing does.
// exec() gives Accepted for "閉じる" and Rejected for the title-bar close.
// Esc does not close it.
class TAccountListForm : public QDialog, private IAccountListView {
    Q_OBJECT

public:
    TAccountListForm(QWidget* Owner, TAccountListPresenter& Presenter);

    void done(int Result) override;
    void setVisible(bool Visible) override;

    QTreeWidget* AccountListView;
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
    void AddRow(const TAccountRowTexts& Texts, bool Ticked) override;
    void SetRowTexts(int Row, const TAccountRowTexts& Texts) override;
    void DeleteRow(int Row) override;
    bool RowTicked(int Row) const override;
    int SelectedRow() const override;
    void ClearSelection() override;
    void EnableButtons(bool Add, bool Change, bool Delete) override;
    bool AskOkCancel(const std::string& Caption, const std::string& Question) override;
    bool ShowAccountEdit(TAccountEditPresenter& Edit) override;

    TAccountListPresenter& FPresenter;
};

}  // namespace quorvel
